// The main window's command table, toolbar, menus, status panes, drops and the file named on
// the command line.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>
#include <array>
#include <cstdlib>
#include <functional>

#include "codecs/music_registry.h"
#include "core/command_ids.h"
#include "core/file_dialogs.h"
#include "core/main_frame.h"
#include "playback/wave_player.h"
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

// Every popup of the menu bar as "title: text=id, -, …" (a separator as "-").
QStringList MenuBarLayout(QMainWindow& frame) {
  QStringList layout;
  for (QAction* popup : frame.menuBar()->actions()) {
    QStringList items;
    for (QAction* item : popup->menu()->actions())
      items << (item->isSeparator() ? QStringLiteral("-")
                                    : item->text() + '=' + item->data().toString());
    layout << popup->text() + QStringLiteral(": ") + items.join(QStringLiteral(", "));
  }
  return layout;
}

QAction* MenuItem(QMainWindow& frame, int id) {
  for (QAction* popup : frame.menuBar()->actions())
    for (QAction* item : popup->menu()->actions())
      if (!item->isSeparator() && item->data().toInt() == id) return item;
  return nullptr;
}

// Gives command `id` the way the user gives it: toolbar button 1–16, the view's context menu
// 32790–32804, otherwise the menu item. Returns the class and caption of the modal dialog it
// opened (rejected again at once after `inside` ran on it), or "" when it opened none.
QString Drive(CMainFrame& frame, int id, const std::function<void(QDialog&)>& inside = {}) {
  QString opened;
  QTimer probe;
  probe.setSingleShot(true);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    opened = QString::fromLatin1(dialog->metaObject()->className()) + ' ' + dialog->windowTitle();
    if (inside) inside(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  probe.start(0);
  if (id >= 1 && id <= cmd::kToolbarCount) {
    QList<QAction*> buttons = frame.findChild<QToolBar*>()->actions();
    buttons.removeIf([](QAction* a) { return a->isSeparator(); });
    buttons.at(id - 1)->trigger();
  } else if (id >= cmd::kContextFirst && id <= cmd::kContextLast) {
    frame.OnViewCommand(id);
  } else if (QAction* item = MenuItem(frame, id)) {
    item->trigger();
  } else {
    ADD_FAILURE() << "no menu item for " << id;
  }
  return opened;
}

QLabel* Pane(CMainFrame& frame, int index) {
  return frame.statusBar()->findChildren<QLabel*>().at(index);
}

}  // namespace

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

TEST_F(MainFrameTest, ZoomOutStopsAtTheWholeFileAndTheWheelZooms) {
  CMainFrame frame;
  CWavView& view = *frame.view();
  view.SetZoom(1.2);
  frame.OnCommand(cmd::kZoomOut);
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);
  frame.OnCommand(cmd::kZoomOut);
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

TEST_F(MainFrameTest, MenuBarHoldsEveryCommandInOrder) {
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Wavelathe"));
  EXPECT_EQ(
      MenuBarLayout(frame),
      (QStringList{
          "文件(&F): 打开音乐(&O) ...\tF2=32772, 立即分割(&C) ...\tF5=32775, -, 退出(&X)=57665",
          "播放(&P): 移到开头(&B)=32776, 移到结尾(&E)=32777, 播放(&L)=32778, 暂停(&A)=32779, "
          "停止(&S)=32780, -, 移到片段开头(&S)=32784, 移到片段结尾(&E)=32785, "
          "播放片段(&Y)=32786",
          "编辑(&E): 标记为片段开头(&B)=32781, 标记为片段结尾(&E)=32782, 标记全部(&A)=32783, -, "
          "编辑片段开始位置(&T)=32808, 编辑片段结束位置(&D)=32809, 编辑当前位置(&C)=32810",
          "视图(&V): 放大(&I)=32787, 缩小(&O)=32788, 最适合(&B)=32789",
          "配置(&H): &MP3 编码 ...=32811, &OGG 编码 ...=32812, &APE 编码 ...=32813",
          "帮助(&H): 关于(&A) Wavelathe...=57664"}));
}

TEST_F(MainFrameTest, EveryViewCommandReachesTheView) {
  struct State {
    std::int64_t cursor, segStart, segEnd;
    double zoom;
  };
  struct Case {
    std::vector<int> ids;  // menu, context menu, toolbar
    State after;           // from cursor 1000, segment 3000…2000, zoom 2
  };
  const Case cases[] = {
      {{32776, 32790, 2}, {0, 3000, 2000, 2}},
      {{32777, 32791, 6}, {44100, 3000, 2000, 2}},
      {{32781, 32795, 7}, {1000, 1000, 2000, 2}},
      {{32782, 32796, 8}, {1000, 3000, 1000, 2}},
      {{32783, 32797, 9}, {1000, 0, 44100, 2}},
      {{32784, 32798, 10}, {3000, 3000, 2000, 2}},
      {{32785, 32799, 12}, {2000, 3000, 2000, 2}},
      {{32787, 32801, 13}, {1000, 3000, 2000, 8.0 / 3}},
      {{32788, 32802, 14}, {1000, 3000, 2000, 1.5}},
      {{32789, 32803, 15}, {1000, 3000, 2000, 1}},
  };
  CMainFrame frame;
  frame.OpenMusic(QString::fromStdString(MakeWav("a.wav", 44100, 2, 16, 44100)));
  CWavView& view = *frame.view();
  for (const Case& c : cases) {
    for (const int id : c.ids) {
      SCOPED_TRACE(id);
      view.SetZoom(2.0);
      view.MoveCursor(1000);
      view.SetSegment(3000, 2000);
      EXPECT_EQ(Drive(frame, id), QString());
      EXPECT_EQ(view.cursorPos, c.after.cursor);
      EXPECT_EQ(view.segStart, c.after.segStart);
      EXPECT_EQ(view.segEnd, c.after.segEnd);
      EXPECT_DOUBLE_EQ(view.zoom, c.after.zoom);
    }
  }
}

TEST_F(MainFrameTest, PlayCommandsDriveThePlayer) {
  CMainFrame frame;
  frame.OpenMusic(QString::fromStdString(MakeWav("a.wav", 44100, 2, 16, 441000)));
  frame.view()->SetSegment(44100, 88200);
  const WavePlayer& player = *frame.player();
  // play, pause, stop, play segment as menu, context menu and toolbar send them
  const std::array<int, 4> routes[] = {
      {32778, 32779, 32780, 32786}, {32792, 32793, 32794, 32800}, {3, 4, 5, 11}};
  for (const auto& [play, pause, stop, playSegment] : routes) {
    SCOPED_TRACE(play);
    Drive(frame, play);
    EXPECT_TRUE(player.playing());
    Drive(frame, pause);
    EXPECT_TRUE(player.paused());
    Drive(frame, pause);
    EXPECT_FALSE(player.paused());
    Drive(frame, stop);
    EXPECT_FALSE(player.playing());
    Drive(frame, playSegment);
    EXPECT_TRUE(player.playing());
    frame.player()->Stop();
  }
}

TEST_F(MainFrameTest, CommandsOpenTheirDialogsOrCloseTheWindow) {
  int openDialogs = 0;
  SetFileDialogHook([&](const FileDialogRequest&) {
    ++openDialogs;
    return QString();
  });
  CMainFrame frame;
  frame.OpenMusic(QString::fromStdString(MakeWav("a.wav", 44100, 2, 16, 44100)));
  const std::pair<int, const char*> cases[] = {{32775, "CExportNowDlg 立即分割 ..."},
                                               {32804, "CExportNowDlg 立即分割 ..."},
                                               {16, "CExportNowDlg 立即分割 ..."},
                                               {57664, "CAboutDlg 关于 Wavelathe"},
                                               {32808, "CEditTimeDlg 编辑片断开头"},
                                               {32809, "CEditTimeDlg 编辑片断结尾"},
                                               {32810, "CEditTimeDlg 编辑当前位置"},
                                               {32772, ""},
                                               {1, ""}};
  for (const auto& [id, dialog] : cases)
    EXPECT_EQ(Drive(frame, id), QString::fromUtf8(dialog)) << id;
  EXPECT_EQ(openDialogs, 2);

  // The accelerators, on the active window.
  frame.show();
  QApplication::setActiveWindow(&frame);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  QTest::keyClick(&frame, Qt::Key_F2);
  EXPECT_EQ(openDialogs, 3);
  QString split;
  QTimer::singleShot(0, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      split = dialog->windowTitle();
      dialog->close();
    }
  });
  QTest::keyClick(&frame, Qt::Key_F5);
  EXPECT_EQ(split, QStringLiteral("立即分割 ..."));

  EXPECT_EQ(Drive(frame, 57665), QString());
  EXPECT_FALSE(frame.isVisible());
  EXPECT_FALSE(testing_support::ReadFileBytes(home_.File("lathe.ini")).empty());
}

TEST_F(MainFrameTest, TimeEntryMovesTheCursorOrTheSegmentInsideTheFile) {
  struct Case {
    int id;
    std::array<const char*, 4> typed;   // nullptr: Cancel
    std::array<std::int64_t, 3> after;  // cursor, segment start, segment end
  };
  const Case cases[] = {
      {32810, {"0", "0", "0", "500"}, {22050, 3000, 2000}},
      {32808, {"0", "0", "0", "500"}, {1000, 22050, 2000}},
      {32809, {"", "", "", "500"}, {1000, 3000, 22050}},
      {32810, {"99", "0", "0", "0"}, {44100, 3000, 2000}},  // past the end
      {32808, {nullptr}, {1000, 3000, 2000}},
  };
  CMainFrame frame;
  frame.OpenMusic(QString::fromStdString(MakeWav("a.wav", 44100, 2, 16, 44100)));
  CWavView& view = *frame.view();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    view.MoveCursor(1000);
    view.SetSegment(3000, 2000);
    Drive(frame, c.id, [&c](QDialog& dialog) {
      const QList<QLineEdit*> fields = dialog.findChildren<QLineEdit*>();
      if (c.typed[0] == nullptr) return;
      for (int i = 0; i < 4; ++i) fields[i]->setText(QString::fromUtf8(c.typed[i]));
      dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    EXPECT_EQ((std::array{view.cursorPos, view.segStart, view.segEnd}), c.after);
  }
  // The dialog opens with the position's time: 1000 frames are 22 ms.
  Drive(frame, 32810, [](QDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("1025"))->text(), QStringLiteral("22"));
  });
}

TEST_F(MainFrameTest, AFileNamedOnTheCommandLineOpensOnceTheWindowRuns) {
  const std::string wav = MakeWav("a.wav", 44100, 2, 16, 22050);
  const QString url = QUrl::fromLocalFile(QString::fromStdString(wav)).toString();
  const std::string missing = media_.File("missing.wav");
  struct Case {
    QStringList arguments;
    std::string title;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {{"wavelathe"}, "Wavelathe", {}},
      {{"wavelathe", "--verbose", "a.wav"}, "Wavelathe - " + wav, {}},  // relative to here
      {{"wavelathe", url}, "Wavelathe - " + wav, {}},
      {{"wavelathe", QString::fromStdString(missing)},
       "Wavelathe",
       {"mmioOpen 失败，未知错误 - " + missing}},
  };
  const QString here = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(media_.path()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    boxes_.Clear();
    CMainFrame frame;
    frame.show();
    frame.OpenFromCommandLine(c.arguments);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Wavelathe"));  // not before the loop runs
    QTest::qWait(50);
    EXPECT_EQ(frame.windowTitle().toStdString(), c.title);
    EXPECT_EQ(boxes_.Texts(), c.messages);
    EXPECT_TRUE(frame.isVisible());
    if (c.messages.empty() && c.arguments.size() > 1) {
      EXPECT_EQ(Pane(frame, 3)->text(), QStringLiteral("长度: .500"));
    }
  }
  QDir::setCurrent(here);
}
