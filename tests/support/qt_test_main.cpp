// main() of the widget tests: an offscreen QApplication around the GoogleTest run; audio goes
// to ALSA's null device unless a test or the caller names another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/qt/qt_message_target.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("WAVELATHE_AUDIO_DEVICE", "null", 0);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  platform::InstallQtUiTargetFactory();
  return RUN_ALL_TESTS();
}
