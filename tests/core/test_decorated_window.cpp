// The main window on an X display with a window manager (run through
// tests/support/with_window_manager.sh): there, windows have frames with title bars and borders
// and captions can be highlighted, which an offscreen window cannot show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QWindow>
#include <cstdlib>

#include "core/main_frame.h"
#include "platform/qt/qt_message_box.h"
#include "tests/support/test_files.h"

using testing_support::TempDir;

void PrintTo(const QRect& r, std::ostream* out) {
  *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace {

class DecoratedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* why = std::getenv("WAVELATHE_NO_WINDOW_MANAGER")) GTEST_SKIP() << why;
    setenv("WAVELATHE_HOME", home_.path().c_str(), 1);
  }
  void TearDown() override { unsetenv("WAVELATHE_HOME"); }

  // Shows `window` and waits until the window manager has framed it; false when it is not.
  // The waits are long: on a busy machine the window manager may take seconds.
  static bool ShowFramed(QWidget& window) {
    constexpr int kWaitMs = 30000;
    window.show();
    return QTest::qWaitForWindowExposed(&window, kWaitMs) &&
           QTest::qWaitFor([&window] { return !window.windowHandle()->frameMargins().isNull(); },
                           kWaitMs);
  }

  TempDir home_;
};

QRect SavedRect(const std::string& ini) {
  QSettings saved(QString::fromStdString(ini), QSettings::IniFormat);
  saved.beginGroup(QStringLiteral("WindowState"));
  const auto key = [&saved](const char* name) {
    return saved.value(QString::fromLatin1(name)).toInt();
  };
  return QRect(QPoint(key("Left"), key("Top")), QPoint(key("Right") - 1, key("Bottom") - 1));
}

// Started and closed again and again, the window keeps the place and size it was given.
TEST_F(DecoratedWindow, PlacementSurvivesRestartsUnchanged) {
  const std::string ini = home_.File("lathe.ini");
  const QRect placed(210, 160, 700, 480);
  {
    QSettings settings(QString::fromStdString(ini), QSettings::IniFormat);
    settings.setValue(QStringLiteral("WindowState/Max"), 0);
    settings.setValue(QStringLiteral("WindowState/Left"), placed.left());
    settings.setValue(QStringLiteral("WindowState/Top"), placed.top());
    settings.setValue(QStringLiteral("WindowState/Right"), placed.left() + placed.width());
    settings.setValue(QStringLiteral("WindowState/Bottom"), placed.top() + placed.height());
  }
  for (int start = 1; start <= 3; ++start) {
    SCOPED_TRACE(start);
    CMainFrame frame;
    ASSERT_TRUE(ShowFramed(frame)) << "the window manager gave the window no frame";
    EXPECT_EQ(frame.geometry(), placed);
    frame.close();
    EXPECT_EQ(SavedRect(ini), placed);
  }
}

// A reported error returns the main window's caption to normal: it never highlights it.
TEST_F(DecoratedWindow, FlashingTheMainWindowLeavesItsCaptionNormal) {
  QWidget main;
  QWidget other;
  ASSERT_TRUE(ShowFramed(main)) << "main window not framed";
  ASSERT_TRUE(ShowFramed(other)) << "other window not framed";
  // An alert only shows on a window that is not the active one.
  other.raise();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&main] { return !main.isActiveWindow(); }, 30000))
      << "the window manager kept the main window active";
  platform::QtMessageBoxHandler boxes;
  boxes.SetOwner(&main);
  platform::MessageBoxHandler* previous = platform::InstallMessageBoxHandler(&boxes);
  platform::FlashMainWindow();
  QTest::qWait(300);
  platform::InstallMessageBoxHandler(previous);
  const std::string state =
      testing_support::RunCommand("xprop -id " + std::to_string(main.winId()) + " _NET_WM_STATE");
  EXPECT_EQ(state.find("_NET_WM_STATE_DEMANDS_ATTENTION"), std::string::npos) << state;
}

}  // namespace
