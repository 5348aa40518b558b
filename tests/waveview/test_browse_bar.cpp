// The browse bar on an 840-pixel view: track 800 between the two arrows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "waveview/browse_bar.h"
#include "waveview/wav_view.h"

namespace {

class BrowseBar : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(840, 400);
    view.waveInfo.sampleRate = 44100;
    view.totalFrames = 8'000'000;
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    bar = view.browseBar();
    ASSERT_EQ(bar->geometry(), QRect(0, 380, 840, 20));
  }
  void Zoom(double z) {
    view.SetZoom(z);
    bar->repaint();
  }
  void Click(int x) {
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(x, 10));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(x, 10));
  }
  // A drag move whose only meaningful coordinate is the screen position.
  void MoveGlobal(int globalX) {
    const QPoint global(globalX, bar->mapToGlobal(QPoint(0, 10)).y());
    QMouseEvent event(QEvent::MouseMove, QPoint(-500, -500), global, Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &event);
  }

  CWavView view;
  CBrowseBar* bar = nullptr;
};

TEST_F(BrowseBar, AtZoomOneNothingScrolls) {
  Zoom(1.0);
  EXPECT_EQ(bar->trackWidth(), 800);
  EXPECT_EQ(bar->thumbWidth(), 800);
  EXPECT_EQ(bar->thumbOffset(), 0);
  for (const int x : {5, 835, 400}) {
    Click(x);
    EXPECT_EQ(view.viewStart, 0) << x;
    EXPECT_EQ(bar->thumbOffset(), 0) << x;
  }
}

TEST_F(BrowseBar, PageClicksMoveByTheThumbAndStopAtTheEnd) {
  Zoom(4.0);
  EXPECT_EQ(bar->thumbWidth(), 200);
  Click(500);
  EXPECT_EQ(bar->thumbOffset(), 200);
  EXPECT_EQ(view.viewStart, 2'000'000);
  Click(700);
  EXPECT_EQ(bar->thumbOffset(), 400);
  EXPECT_EQ(view.viewStart, 4'000'000);
  Click(700);  // 400 + 400 is not below 800: straight to the end
  EXPECT_EQ(bar->thumbOffset(), 600);
  EXPECT_EQ(view.viewStart, 6'000'000);
  Click(100);
  EXPECT_EQ(bar->thumbOffset(), 400);
  Click(100);
  Click(100);
  EXPECT_EQ(bar->thumbOffset(), 0);
  EXPECT_EQ(view.viewStart, 0);
  Zoom(100.0);
  EXPECT_EQ(bar->thumbWidth(), 40);  // 8 raised to the floor
}

TEST_F(BrowseBar, ArrowStepsOnePixelThenRepeatsAfterFiveTicks) {
  Zoom(4.0);
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(830, 10));
  EXPECT_TRUE(bar->repeating());
  EXPECT_EQ(bar->thumbOffset(), 1);
  EXPECT_EQ(view.viewStart, 10'000);
  for (int i = 0; i < 5; ++i) bar->TimerTick();
  EXPECT_EQ(bar->thumbOffset(), 1);
  bar->TimerTick();
  EXPECT_EQ(bar->thumbOffset(), 2);
  for (int i = 0; i < 1'000; ++i) bar->TimerTick();
  EXPECT_EQ(bar->thumbOffset(), 400);  // below track − twice the thumb, not once
  EXPECT_EQ(view.viewStart, 4'000'000);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(830, 10));
  EXPECT_FALSE(bar->repeating());
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(bar->thumbOffset(), 399);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(20, 10));
}

TEST_F(BrowseBar, HeldArrowRepeatsOnItsTimerUntilReleased) {
  Zoom(4.0);
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(830, 10));
  QTRY_VERIFY_WITH_TIMEOUT(bar->thumbOffset() > 2, 10'000);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(830, 10));
  const int stopped = bar->thumbOffset();
  QTest::qWait(350);
  EXPECT_EQ(bar->thumbOffset(), stopped);
}

TEST_F(BrowseBar, OwnOffsetSurvivesRepaintsButFollowsZoom) {
  view.totalFrames = 8'000'001;  // offset 1 → frame 10,000 would map back to offset 0
  Zoom(4.0);
  Click(835);
  EXPECT_EQ(bar->thumbOffset(), 1);
  bar->repaint();
  EXPECT_EQ(bar->thumbOffset(), 1);
  view.SetViewStart(3'000'000);
  Zoom(4.0);
  EXPECT_EQ(bar->thumbOffset(), 299);  // 600 × 3,000,000 × 4 ÷ 3 ÷ 8,000,001, truncated
}

TEST_F(BrowseBar, ThumbDragFollowsTheScreenAndIsPinnedAtBothEnds) {
  Zoom(4.0);
  const int x0 = bar->mapToGlobal(QPoint(100, 10)).x();
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 10));
  EXPECT_TRUE(bar->dragging());
  EXPECT_EQ(bar->thumbOffset(), 0);
  MoveGlobal(x0 + 300);
  EXPECT_EQ(bar->thumbOffset(), 300);
  EXPECT_EQ(view.viewStart, 3'000'000);
  MoveGlobal(x0 + 5'000);
  EXPECT_EQ(bar->thumbOffset(), 600);
  EXPECT_EQ(view.viewStart, 6'000'000);
  MoveGlobal(x0 - 5'000);
  EXPECT_EQ(bar->thumbOffset(), 0);
  EXPECT_EQ(view.viewStart, 0);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(100, 10));
  EXPECT_FALSE(bar->dragging());
  MoveGlobal(x0 + 300);
  EXPECT_EQ(bar->thumbOffset(), 0);
}

TEST_F(BrowseBar, NoFileNoScroll) {
  view.totalFrames = 0;
  Zoom(4.0);
  Click(500);
  EXPECT_EQ(view.viewStart, 0);
  bar->ApplyThumbOffset(300);
  EXPECT_EQ(view.viewStart, 0);
}

}  // namespace
