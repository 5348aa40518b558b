// The main window's command table, toolbar, menus, status panes, drops and window placement.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>
#include <cstdlib>

#include "codecs/music_registry.h"
#include "core/app_settings.h"
#include "core/command_ids.h"
#include "core/file_dialogs.h"
#include "core/main_frame.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"
#include "waveview/wav_view.h"

using testing_support::TempDir;

namespace {

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("WAVELATHE_HOME", home_.path().c_str(), 1); }
  void TearDown() override {
    SetFileDialogHook({});
    unsetenv("WAVELATHE_HOME");
  }

  std::string MakeWav(const std::string& name, int rate, int channels, int bits,
                      std::int64_t frames) {
    const std::string path = media_.File(name);
    testing_support::WriteWav(path, rate, channels, bits, frames, [bits](std::int64_t f, int c) {
      const int v = testing_support::NoiseSample(f, c);
      return bits == 8 ? (v >> 8) + 128 : v;
    });
    return path;
  }

  TempDir home_;
  TempDir media_;
  testing_support::RecordingMessageBox boxes_;
};

QStringList MenuTitles(QMainWindow& frame) {
  QStringList titles;
  for (QAction* action : frame.menuBar()->actions()) titles << action->text();
  return titles;
}

QStringList ItemTexts(QMainWindow& frame, int menu) {
  QStringList texts;
  for (QAction* action : frame.menuBar()->actions().at(menu)->menu()->actions())
    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return texts;
}

QLabel* Pane(CMainFrame& frame, int index) {
  return frame.statusBar()->findChildren<QLabel*>().at(index);
}

}  // namespace

TEST_F(MainFrameTest, MenusCarryTheirTextsInOrder) {
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Wavelathe"));
  EXPECT_EQ(MenuTitles(frame).mid(0, 4),
            (QStringList{"文件(&F)", "播放(&P)", "编辑(&E)", "视图(&V)"}));
  EXPECT_EQ(ItemTexts(frame, 0),
            (QStringList{"打开音乐(&O) ...\tF2", "立即分割(&C) ...\tF5", "-", "退出(&X)"}));
  EXPECT_EQ(ItemTexts(frame, 1),
            (QStringList{"移到开头(&B)", "移到结尾(&E)", "播放(&L)", "暂停(&A)", "停止(&S)", "-",
                         "移到片段开头(&S)", "移到片段结尾(&E)", "播放片段(&Y)"}));
  EXPECT_EQ(ItemTexts(frame, 3), (QStringList{"放大(&I)", "缩小(&O)", "最适合(&B)"}));
}

TEST_F(MainFrameTest, ToolbarHasSixteenButtonsInFiveSeparatedGroups) {
  CMainFrame frame;
  auto* bar = frame.findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  QStringList layout;
  for (QAction* action : bar->actions())
    layout << (action->isSeparator() ? QStringLiteral("|") : action->toolTip());
  EXPECT_EQ(layout.join(' '),
            QStringLiteral(
                "打开文件 | 移到开头 播放 暂停 停止 移到结尾 | 标记为片段开头 标记为片段结尾 "
                "标记全部 | 移到片段开头 播放片断 移到片断结尾 | 放大 缩小 最适合 | 立即分割"));
}

TEST_F(MainFrameTest, ToolbarAndContextIdsReachTheSameActions) {
  EXPECT_EQ(cmd::Canonical(1), cmd::kOpen);
  EXPECT_EQ(cmd::Canonical(11), cmd::kPlaySeg);
  EXPECT_EQ(cmd::Canonical(12), cmd::kMoveSegEnd);
  EXPECT_EQ(cmd::Canonical(16), cmd::kSplit);
  EXPECT_EQ(cmd::Canonical(32797), cmd::kMarkAll);
  EXPECT_EQ(cmd::Canonical(32800), cmd::kPlaySeg);
  EXPECT_EQ(cmd::Canonical(32804), cmd::kSplit);
  EXPECT_EQ(cmd::Canonical(cmd::kZoomIn), cmd::kZoomIn);
}

TEST_F(MainFrameTest, OpeningShowsFormatLengthAndTitle) {
  CMainFrame frame;
  frame.resize(900, 600);
  const std::string stereo = MakeWav("a.WAV", 44100, 2, 16, 22050);
  frame.OpenMusic(QString::fromStdString(stereo));
  EXPECT_EQ(frame.windowTitle(), QString::fromStdString("Wavelathe - " + stereo));
  EXPECT_EQ(Pane(frame, 2)->text(), QStringLiteral("44100:16:立体声"));
  EXPECT_EQ(Pane(frame, 3)->text(), QStringLiteral("长度: .500"));
  EXPECT_EQ(frame.view()->totalFrames, 22050);
  EXPECT_TRUE(frame.tempFileName().empty());

  frame.OpenMusic(QString::fromStdString(MakeWav("m.wav", 8000, 1, 8, 16000)));
  EXPECT_EQ(Pane(frame, 2)->text(), QStringLiteral("8000:8:单音"));
  EXPECT_EQ(Pane(frame, 3)->text(), QStringLiteral("长度: 2.000"));
}

TEST_F(MainFrameTest, EditAndMoveCommandsWorkOnTheView) {
  CMainFrame frame;
  frame.OpenMusic(QString::fromStdString(MakeWav("a.wav", 44100, 2, 16, 44100)));
  CWavView& view = *frame.view();
  view.MoveCursor(1000);
  frame.OnCommand(cmd::kMarkEnd);
  frame.OnCommand(cmd::kMoveEnd);
  EXPECT_EQ(view.cursorPos, 44100);
  frame.OnCommand(32795);  // context menu: mark as segment start
  EXPECT_EQ(view.segStart, 44100);
  EXPECT_EQ(view.segEnd, 1000);
  frame.OnCommand(cmd::kMoveSegEnd);
  EXPECT_EQ(view.cursorPos, 1000);
  frame.OnCommand(2);  // toolbar: move to beginning
  EXPECT_EQ(view.cursorPos, 0);
  frame.OnCommand(cmd::kMoveSegStart);
  EXPECT_EQ(view.cursorPos, 44100);
  frame.OnCommand(9);  // toolbar: mark all
  EXPECT_EQ(view.segStart, 0);
  EXPECT_EQ(view.segEnd, 44100);
}

TEST_F(MainFrameTest, ZoomCommandsAndWheel) {
  CMainFrame frame;
  CWavView& view = *frame.view();
  frame.OnCommand(cmd::kZoomIn);
  EXPECT_DOUBLE_EQ(view.zoom, 1.3333333333333333);
  view.SetZoom(1.2);
  frame.OnCommand(cmd::kZoomOut);
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);
  frame.OnCommand(cmd::kZoomOut);
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);
  for (int i = 0; i < 3; ++i) frame.OnCommand(32801);
  EXPECT_NEAR(view.zoom, 64.0 / 27.0, 1e-12);
  frame.OnCommand(15);  // toolbar: best fit
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);

  const QPointF at(100, 100);
  QWheelEvent up(at, frame.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                 Qt::NoScrollPhase, false);
  QApplication::sendEvent(&frame, &up);
  EXPECT_DOUBLE_EQ(view.zoom, 1.3333333333333333);
  QWheelEvent down(at, frame.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&frame, &down);
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);
  frame.OnCommand(cmd::kZoomIn);
  QWheelEvent sideways(at, frame.mapToGlobal(at), QPoint(), QPoint(120, 0), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&frame, &sideways);
  EXPECT_DOUBLE_EQ(view.zoom, 1.3333333333333333);
}

TEST_F(MainFrameTest, DroppingSeveralFilesOpensOnlyTheFirst) {
  CMainFrame frame;
  const std::string first = MakeWav("first.wav", 44100, 2, 16, 4410);
  const std::string second = MakeWav("second.wav", 44100, 2, 16, 8820);
  frame.OpenDropped({QUrl::fromLocalFile(QString::fromStdString(first)),
                     QUrl::fromLocalFile(QString::fromStdString(second))});
  EXPECT_EQ(frame.windowTitle(), QString::fromStdString("Wavelathe - " + first));
  EXPECT_EQ(frame.view()->totalFrames, 4410);
}

TEST_F(MainFrameTest, OpenCommandUsesTheOpenDialogAndItsFilters) {
  const std::string path = MakeWav("dialog.wav", 22050, 1, 16, 22050);
  QString filter;
  SetFileDialogHook([&](const FileDialogRequest& request) {
    filter = request.filter;
    return request.save ? QString() : QString::fromStdString(path);
  });
  CMainFrame frame;
  frame.OnCommand(1);
  EXPECT_EQ(frame.view()->totalFrames, 22050);
  const QStringList entries = filter.split(QStringLiteral(";;"));
  ASSERT_EQ(entries.size(), 8);
  EXPECT_TRUE(entries.first().startsWith(QStringLiteral("所有支持的音乐文件")));
  EXPECT_TRUE(entries.first().contains(QStringLiteral("*.cda")));
  EXPECT_EQ(entries.at(4), QStringLiteral("cda 文件 (*.cda)"));
  EXPECT_TRUE(entries.last().startsWith(QStringLiteral("所有文件")));
}

TEST_F(MainFrameTest, WindowPlacementRoundTrip) {
  const std::string ini = home_.File("placement.ini");
  {
    QWidget window;
    window.setGeometry(120, 140, 500, 300);
    SaveWindowPlacement(window, ini);
  }
  QSettings saved(QString::fromStdString(ini), QSettings::IniFormat);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Max")).toInt(), 0);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Left")).toInt(), 120);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Top")).toInt(), 140);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Right")).toInt(), 620);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Bottom")).toInt(), 440);

  QWidget restored;
  RestoreWindowPlacement(restored, ini);
  EXPECT_EQ(restored.geometry(), QRect(120, 140, 500, 300));

  // An edge at 0 (the screen's edge) is not restored; Max wins over the rectangle.
  saved.setValue(QStringLiteral("WindowState/Left"), 0);
  saved.sync();
  QWidget untouched;
  const QRect before = untouched.geometry();
  RestoreWindowPlacement(untouched, ini);
  EXPECT_EQ(untouched.geometry(), before);
  saved.setValue(QStringLiteral("WindowState/Max"), 1);
  saved.sync();
  QWidget maximised;
  RestoreWindowPlacement(maximised, ini);
  EXPECT_TRUE(maximised.windowState() & Qt::WindowMaximized);
}
