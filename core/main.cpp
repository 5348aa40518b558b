#include <QApplication>

#include "core/main_frame.h"
#include "platform/qt/program_look.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_message_target.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::InstallProgramLook(app);
  platform::InstallQtUiTargetFactory();
  platform::QtMessageBoxHandler boxes;
  platform::InstallMessageBoxHandler(&boxes);
  int result = 0;
  {
    CMainFrame frame;
    boxes.SetOwner(&frame);
    frame.show();
    frame.OpenFromCommandLine(QApplication::arguments());
    result = QApplication::exec();
  }
  platform::InstallMessageBoxHandler(nullptr);
  return result;
}
