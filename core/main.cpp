#include <QApplication>

#include "core/main_frame.h"
#include "platform/qt/fonts.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_message_target.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::InstallFontSubstitutions();
  platform::InstallQtUiTargetFactory();
  platform::QtMessageBoxHandler boxes;
  platform::InstallMessageBoxHandler(&boxes);
  int result = 0;
  {
    CMainFrame frame;
    boxes.SetOwner(&frame);
    frame.show();
    result = QApplication::exec();
  }
  platform::InstallMessageBoxHandler(nullptr);
  return result;
}
