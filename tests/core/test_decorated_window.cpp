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
#include "platform/paths.h"
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

void WritePlacement(const std::string& ini, const QRect& placed, int max) {
  QSettings settings(QString::fromStdString(ini), QSettings::IniFormat);
  settings.setValue(QStringLiteral("WindowState/Max"), max);
  settings.setValue(QStringLiteral("WindowState/Left"), placed.left());
  settings.setValue(QStringLiteral("WindowState/Top"), placed.top());
  settings.setValue(QStringLiteral("WindowState/Right"), placed.left() + placed.width());
  settings.setValue(QStringLiteral("WindowState/Bottom"), placed.top() + placed.height());
}

// Started and closed again and again, the window keeps the place and size it was given, also
// right at the screen's left edge.
TEST_F(DecoratedWindow, PlacementSurvivesRestartsUnchanged) {
  const std::string ini = home_.File("lathe.ini");
  for (const QRect& placed : {QRect(210, 160, 700, 480), QRect(0, 160, 640, 400)}) {
    WritePlacement(ini, placed, 0);
    for (int start = 1; start <= 3; ++start) {
      SCOPED_TRACE(start);
      CMainFrame frame;
      ASSERT_TRUE(ShowFramed(frame)) << "the window manager gave the window no frame";
      EXPECT_EQ(frame.geometry(), placed);
      frame.close();
      EXPECT_EQ(SavedRect(ini), placed);
    }
  }
}

// Placed, maximised by the window manager (a double click on the title bar) and closed, the
// window starts maximised and restores down to where it was placed.
TEST_F(DecoratedWindow, AMaximisedWindowRestoresDownToItsPlace) {
  const std::string ini = home_.File("lathe.ini");
  const QRect placed(230, 180, 660, 420);
  {
    CMainFrame frame;
    ASSERT_TRUE(ShowFramed(frame)) << "the window manager gave the window no frame";
    frame.setGeometry(placed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.geometry() == placed; }, 30000));
    const QRect outer = frame.frameGeometry();
    const int titleY = outer.top() + frame.windowHandle()->frameMargins().top() / 2;
    testing_support::RunCommand("xdotool mousemove " + std::to_string(outer.center().x()) + " " +
                                std::to_string(titleY) + " click --repeat 2 --delay 80 1");
    ASSERT_TRUE(QTest::qWaitFor([&frame] { return frame.isMaximized(); }, 30000))
        << "the window manager did not maximise the window";
    frame.close();
  }
  QSettings saved(QString::fromStdString(ini), QSettings::IniFormat);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Max")).toInt(), 1);
  EXPECT_EQ(SavedRect(ini), placed);

  CMainFrame frame;
  ASSERT_TRUE(ShowFramed(frame)) << "the window manager gave the window no frame";
  EXPECT_TRUE(QTest::qWaitFor([&frame] { return frame.isMaximized(); }, 30000));
  frame.showNormal();
  EXPECT_TRUE(QTest::qWaitFor([&] { return frame.geometry() == placed; }, 30000))
      << frame.geometry().x() << "," << frame.geometry().y();
}

// The program itself, started with a file the way a file manager starts it: its window comes
// up with the file loaded, and closes normally (writing its placement).
TEST_F(DecoratedWindow, TheProgramOpensTheFileNamedOnItsCommandLine) {
  const std::string wav = home_.File("song.wav");
  testing_support::WriteWav(wav, 44100, 2, 16, 44100, testing_support::NoiseSample);
  const std::string exe = platform::ExecutableDir() + "/wavelathe";
  const std::string command =
      "WAVELATHE_AUDIO_DEVICE=null '" + exe + "' '" + wav +
      "' & pid=$!; w=$(timeout 60 xdotool search --sync --name "
      "'^Wavelathe - " +
      wav +
      "$' | head -n 1); "
      "[ -n \"$w\" ] && echo shown; xdotool windowactivate --sync \"$w\" key alt+F4; "
      "wait $pid; echo exit=$?";
  const std::string output = testing_support::RunCommand(command);
  EXPECT_NE(output.find("shown"), std::string::npos) << output;
  EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
  EXPECT_FALSE(testing_support::ReadFileBytes(home_.File("lathe.ini")).empty());
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
