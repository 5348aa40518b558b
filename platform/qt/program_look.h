// The program's look beyond its own windows: every widget, Qt's own dialogs and buttons
// included, uses the program's font, and Qt's own texts (file dialogs, standard buttons, the
// overwrite question) are Chinese like the rest of the program.
#pragma once

class QApplication;

namespace platform {

// Call once, after the application object exists. Returns false when Qt's Chinese
// translations are not installed; Qt's own texts then stay English.
bool InstallProgramLook(QApplication& app);

}  // namespace platform
