// Mouse rules of the view: clicks, select drags, label drags, the hover cursor and the
// right-button menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <vector>

#include "tests/waveview/recording_frame.h"
#include "waveview/wav_view.h"

namespace {

// 800,000 frames on W = 800: 1,000 frames per pixel at zoom 1.
class ViewMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    view.SetFrame(&frame);
    view.resize(840, 400);
    view.waveInfo.sampleRate = 44100;
    view.totalFrames = 800'000;
    view.show();
  }

  // A move with the given buttons held, sent straight to the view.
  void Move(QPoint pos, Qt::MouseButtons buttons) {
    QMouseEvent event(QEvent::MouseMove, pos, view.mapToGlobal(pos), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(&view, Qt::LeftButton, {}, from);
    Move(to, Qt::LeftButton);
  }
  void Release(QPoint at) { QTest::mouseRelease(&view, Qt::LeftButton, {}, at); }

  RecordingFrame frame;
  CWavView view;
};

TEST_F(ViewMouse, ClickMovesOnlyTheCursor) {
  view.SetSegment(10'000, 20'000);
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 200));
  EXPECT_EQ(view.cursorPos, 100'000);
  EXPECT_EQ(view.segStart, 10'000);
  EXPECT_EQ(view.segEnd, 20'000);
  EXPECT_EQ(frame.cursor, QString::fromUtf8("当前位置: 2.267"));
  // In the level panel the click lands past the visible range, unclamped.
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(830, 200));
  EXPECT_EQ(view.cursorPos, 830'000);
  // A move without buttons after the click changes nothing.
  Move(QPoint(300, 200), Qt::NoButton);
  EXPECT_EQ(view.segStart, 10'000);
  EXPECT_EQ(view.segEnd, 20'000);
}

TEST_F(ViewMouse, DragMarksTheSegmentEitherWay) {
  Drag(QPoint(100, 200), QPoint(101, 200));
  EXPECT_EQ(view.segStart, 100'000);
  EXPECT_EQ(view.segEnd, 101'000);
  Move(QPoint(300, 200), Qt::LeftButton);
  Release(QPoint(300, 200));
  EXPECT_EQ(view.segStart, 100'000);
  EXPECT_EQ(view.segEnd, 300'000);
  EXPECT_EQ(view.cursorPos, 100'000);
  // Leftwards: the segment start stays after the end; past the area the end is pinned.
  Drag(QPoint(500, 200), QPoint(200, 200));
  EXPECT_EQ(view.segStart, 500'000);
  EXPECT_EQ(view.segEnd, 200'000);
  Move(QPoint(-50, 200), Qt::LeftButton);
  EXPECT_EQ(view.segEnd, 0);
  Move(QPoint(900, 200), Qt::LeftButton);
  EXPECT_EQ(view.segEnd, 800'000);
  Release(QPoint(900, 200));
  Move(QPoint(400, 200), Qt::NoButton);
  EXPECT_EQ(view.segEnd, 800'000);
  EXPECT_EQ(frame.mouse, QString::fromUtf8("鼠标位置: 9.070"));
}

TEST_F(ViewMouse, LabelsAreDraggedWithoutMovingTheCursor) {
  view.MoveCursor(50'000);
  view.SetSegment(200'000, 600'000);
  // Start label: x 185..234, y 14..21.
  Drag(QPoint(190, 16), QPoint(250, 16));
  Release(QPoint(250, 16));
  EXPECT_EQ(view.segStart, 250'000);
  EXPECT_EQ(view.cursorPos, 50'000);
  // End label: x 585..634, y 0..7, dragged past the start label.
  Drag(QPoint(634, 7), QPoint(100, 7));
  Release(QPoint(100, 7));
  EXPECT_EQ(view.segEnd, 100'000);
  EXPECT_EQ(view.segStart, 250'000);
  EXPECT_EQ(view.cursorPos, 50'000);
  // Just outside a label (right edge) is an ordinary click.
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(285, 16));
  EXPECT_EQ(view.cursorPos, 285'000);
  // Both labels at one place: each row drags its own label.
  view.SetSegment(400'000, 400'000);
  Drag(QPoint(400, 20), QPoint(420, 20));
  Release(QPoint(420, 20));
  EXPECT_EQ(view.segStart, 420'000);
  EXPECT_EQ(view.segEnd, 400'000);
}

TEST_F(ViewMouse, HoveringALabelShowsTheResizeCursor) {
  view.SetSegment(200'000, 600'000);
  Move(QPoint(200, 18), Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::SizeHorCursor);
  Move(QPoint(600, 2), Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::SizeHorCursor);
  Move(QPoint(600, 10), Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
  view.totalFrames = 0;  // no file: no labels
  Move(QPoint(200, 18), Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
}

TEST(ViewContextMenu, HoldsTheCommandsInOrder) {
  QMenu menu;
  CWavView::BuildContextMenu(menu);
  std::vector<std::pair<QString, int>> items;
  for (QAction* a : menu.actions()) {
    items.emplace_back(a->isSeparator() ? QString() : a->text(),
                       a->isSeparator() ? 0 : a->data().toInt());
  }
  const std::vector<std::pair<const char*, int>> expected = {
      {"移到开头(&B)", 32790},       {"移到结尾(&E)", 32791},
      {"播放(&P)", 32792},           {"暂停(&A)", 32793},
      {"停止(&S)", 32794},           {"", 0},
      {"标记为片段开头(&G)", 32795}, {"标记为片段结尾(&D)", 32796},
      {"标记全部(&L)", 32797},       {"", 0},
      {"移到片段开头(&M)", 32798},   {"移到片段结尾(&T)", 32799},
      {"播放片段(&Y)", 32800},       {"", 0},
      {"放大(&I)", 32801},           {"缩小(&O)", 32802},
      {"最适合(&T)", 32803},         {"", 0},
      {"立即分割(&C) ...", 32804}};
  ASSERT_EQ(items.size(), expected.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].first, QString::fromUtf8(expected[i].first)) << i;
    EXPECT_EQ(items[i].second, expected[i].second) << i;
  }
}

// Picks the item with `id` in the open popup menu.
void ChooseFromPopup(int id, bool* seen) {
  QTimer::singleShot(0, [id, seen] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    *seen = true;
    for (QAction* a : menu->actions()) {
      if (!a->isSeparator() && a->data().toInt() == id) menu->setActiveAction(a);
    }
    QTest::keyClick(menu, id == 0 ? Qt::Key_Escape : Qt::Key_Return);
  });
}

TEST_F(ViewMouse, RightClickPlacesTheCursorAndSendsTheChosenCommand) {
  bool popped = false;
  ChooseFromPopup(32797, &popped);
  QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(250, 200));
  EXPECT_TRUE(popped);
  EXPECT_EQ(view.cursorPos, 250'000);
  EXPECT_EQ(frame.commands, std::vector<int>{32797});
  // Dismissed: no command.
  popped = false;
  ChooseFromPopup(0, &popped);
  QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(50, 200));
  EXPECT_TRUE(popped);
  EXPECT_EQ(view.cursorPos, 50'000);
  EXPECT_EQ(frame.commands.size(), 1u);
}

TEST_F(ViewMouse, RightClickWithoutAFileDoesNothing) {
  view.totalFrames = 0;
  view.cursorPos = 0;
  bool popped = false;
  ChooseFromPopup(32797, &popped);
  QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(250, 200));
  QApplication::processEvents();
  EXPECT_FALSE(popped);
  EXPECT_EQ(view.cursorPos, 0);
  EXPECT_TRUE(frame.commands.empty());
}

}  // namespace
