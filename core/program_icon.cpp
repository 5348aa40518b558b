#include "core/program_icon.h"

#include <QString>

// The resources live in a static library; naming them keeps the linker from dropping them.
// (The macro declares its function in the enclosing namespace, so this stays global.)
static void InitProgramResources() { Q_INIT_RESOURCE(wavelathe); }

QIcon ProgramIcon() {
  static const bool initialised = (InitProgramResources(), true);
  (void)initialised;
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/wavelathe-%1.png").arg(size), QSize(size, size));
  return icon;
}
