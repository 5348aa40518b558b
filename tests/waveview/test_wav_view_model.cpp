// The view's state: time texts, frame/pixel mapping, clamping, zoom and the status texts.
#include <gtest/gtest.h>

#include <QString>
#include <cmath>
#include <vector>

#include "tests/waveview/recording_frame.h"
#include "waveview/wav_view.h"

namespace {

// A view 840 × 400 (W = 800) over `total` frames at 44.1 kHz, without a file.
void Prepare(CWavView& view, std::int64_t total) {
  view.resize(840, 400);
  view.waveInfo.sampleRate = 44100;
  view.totalFrames = total;
}

TEST(WavViewModel, FormatTimeStripsLeadingZerosAndColons) {
  CWavView view;
  view.waveInfo.sampleRate = 44100;
  EXPECT_EQ(view.FormatTime(2'888'550), "1:05.500");
  EXPECT_EQ(view.FormatTime(22'050), ".500");
  EXPECT_EQ(view.FormatTime(308'700), "7.000");
  EXPECT_EQ(view.FormatTime(158'760'000), "1:00:00.000");
  EXPECT_EQ(view.FormatTime(1), ".000");
  EXPECT_EQ(view.FormatTime(0), "0");
  EXPECT_EQ(view.FormatTime(-3), "0");
  // Ten seconds keep their zero; 100 hours need more than two digits.
  EXPECT_EQ(view.FormatTime(441'000), "10.000");
  EXPECT_EQ(view.FormatTime(44'100LL * 360'000), "100:00:00.000");
  view.waveInfo.sampleRate = 8000;
  EXPECT_EQ(view.FormatTime(12'000), "1.500");
  view.waveInfo.sampleRate = 0;  // no file: never a division by zero
  EXPECT_EQ(view.FormatTime(12'000), "0");
}

TEST(WavViewModel, PixelsAndFramesRoundTripAtEveryZoom) {
  CWavView view;
  Prepare(view, 2'646'000);  // one minute
  ASSERT_EQ(view.WaveWidth(), 800);
  for (const double zoom : {1.0, 4.0}) {
    view.SetZoom(zoom);
    view.SetViewStart(zoom == 1.0 ? 0 : 1'000'000);
    for (int x = 0; x <= 800; ++x) {
      ASSERT_EQ(view.PosToPixel(view.PixelToPos(x), false), x) << "zoom " << zoom << " x " << x;
    }
  }
  // Zoom 4 from frame 1,000,000 shows 661,500 frames.
  EXPECT_EQ(view.PixelToPos(0), 1'000'000);
  EXPECT_EQ(view.PixelToPos(800), 1'661'500);
  EXPECT_EQ(view.PixelToPos(-8), 993'385);  // not clamped
  EXPECT_EQ(view.PosToPixel(999'999, true), -1);
  EXPECT_EQ(view.PosToPixel(999'999, false), 0);
  EXPECT_EQ(view.PosToPixel(2'000'000, true), 800);
  view.totalFrames = 0;
  EXPECT_EQ(view.PosToPixel(1'000'000, false), 0);
  EXPECT_EQ(view.PosToPixel(5'000'000, true), 0);
}

TEST(WavViewModel, CursorAndSegmentAreClampedToTheFile) {
  CWavView view;
  RecordingFrame frame;
  view.SetFrame(&frame);
  Prepare(view, 100'000);
  view.MoveCursor(-5);
  EXPECT_EQ(view.cursorPos, 0);
  view.MoveCursor(100'001);
  EXPECT_EQ(view.cursorPos, 100'000);
  view.MoveCursor(22'050);
  EXPECT_EQ(frame.cursor, QString::fromUtf8("当前位置: .500"));
  view.SetSegment(100'010, -1);
  EXPECT_EQ(view.segStart, 100'000);
  EXPECT_EQ(view.segEnd, 0);  // not ordered
  view.SetSegment(70'000, 30'000);
  EXPECT_EQ(view.segStart, 70'000);
  EXPECT_EQ(view.segEnd, 30'000);
  view.ShowLengthTime();
  EXPECT_EQ(frame.length, QString::fromUtf8("长度: 2.267"));
}

TEST(WavViewModel, ZoomKeepsTheLeftEdgeUnlessTheSpanPassesTheEnd) {
  CWavView view;
  Prepare(view, 1'000'000);
  view.SetZoom(4.0);
  view.SetViewStart(600'000);
  view.SetZoom(4.0 * 4.0 / 3.0);  // zoom in: left edge stays
  EXPECT_EQ(view.viewStart, 600'000);
  view.SetZoom(2.0);  // zoom out near the end: back to the last full span
  EXPECT_EQ(view.viewStart, 500'000);
  view.SetZoom(1.0);
  EXPECT_EQ(view.viewStart, 0);
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);
  view.SetZoom(0.75);  // never below the whole file
  EXPECT_DOUBLE_EQ(view.zoom, 1.0);
  EXPECT_EQ(view.viewStart, 0);
  // Endless zooming in stays finite, so the view and the bar keep valid positions.
  double z = 1.0;
  for (int i = 0; i < 3000; ++i) view.SetZoom(z = view.zoom * (4.0 / 3.0));
  EXPECT_TRUE(std::isinf(z) || z > CWavView::kMaxZoom);
  EXPECT_DOUBLE_EQ(view.zoom, CWavView::kMaxZoom);
  EXPECT_GE(view.PixelToPos(400), 0);
  view.SetZoom(1.0 * (4.0 / 3.0));
  EXPECT_DOUBLE_EQ(view.zoom, 1.3333333333333333);
  // An odd maximum start is truncated: (z − 1) ÷ z × total.
  view.SetViewStart(999'999);
  view.SetZoom(3.0);
  EXPECT_EQ(view.viewStart, 666'666);
}

}  // namespace
