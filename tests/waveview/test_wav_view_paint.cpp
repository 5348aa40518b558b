// Pixels of the view drawn from a known cache at 840 × 400: W = 800, h = 320, q = 80,
// channel centre lines at y 110 and 270, ruler at y 350, browse bar from y 380.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>
#include <filesystem>

#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"
#include "waveview/wav_view.h"

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGray = 0xFF404040;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGreen = 0xFF00C000;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000C0;

// 80,000 frames at 8 kHz (10 s): 100 frames per column at zoom 1. Channel 0 is 32767 in the
// first half and −32768 in the second; channel 1 is −16384 throughout.
class ViewPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.File("cache.wav");
    testing_support::WriteWav(path, 8000, channels, bits, 80'000, [](std::int64_t f, int c) {
      if (c == 1) return -16'384;
      return f < 40'000 ? 32'767 : -32'768;
    });
    view.resize(840, 400);
    info.fileName = path;
    info.type = kMusicWav;
    info.sampleRate = 8000;
    info.channels = channels;
    info.bitsPerSample = bits;
    info.durationMs = 10'000;
  }
  void Load() {
    view.SetZoom(1.0);
    view.SetMusic(info);
    view.RenderAll();
  }
  QRgb At(int x, int y) const { return view.BackBuffer().pixel(x, y); }

  int channels = 2;
  int bits = 16;
  testing_support::TempDir dir;
  std::string path;
  MusicInfo info;
  CWavView view;
};

TEST_F(ViewPixels, WaveformGridAndFullScaleSamples) {
  Load();
  // 32767 lies q − 1 = 79 pixels below c0, −32768 exactly q above it.
  EXPECT_EQ(At(200, 189), kGreen);
  EXPECT_NE(At(200, 188), kGreen);
  EXPECT_NE(At(200, 190), kGreen);
  EXPECT_EQ(At(600, 30), kGreen);
  EXPECT_EQ(At(600, 31), kBlack);
  // Channel 1 at half scale negative: 40 above c1.
  EXPECT_EQ(At(200, 230), kGreen);
  EXPECT_EQ(At(600, 230), kGreen);
  // The step between the halves is one vertical line joining both levels.
  EXPECT_EQ(At(400, 150), kGreen);
  EXPECT_EQ(At(401, 60), kGreen);
  // Grid lines where no wave lies, plain black between them.
  EXPECT_EQ(At(300, 110), kGray);
  EXPECT_EQ(At(300, 190), kGray);
  EXPECT_EQ(At(300, 270), kGray);
  EXPECT_EQ(At(300, 150), kBlack);
  EXPECT_EQ(At(799, 110), kGray);
  // Level panel: grey with a white left edge; marker bar grey with its white base line.
  EXPECT_EQ(At(800, 200), kWhite);
  EXPECT_EQ(At(838, 200), kGray);
  EXPECT_EQ(At(300, 5), kGray);
  // Cursor at frame 0: dotted red over the first column.
  EXPECT_EQ(At(0, 40), kRed);
  EXPECT_EQ(At(0, 41), kBlack);
}

TEST_F(ViewPixels, RulerTicksAndMarkers) {
  Load();
  for (int x = 80; x <= 720; x += 80) {
    EXPECT_EQ(At(x, 353), kWhite) << x;
    EXPECT_EQ(At(x, 355), kGray) << x;
  }
  EXPECT_EQ(At(800, 353), kWhite);
  EXPECT_EQ(At(120, 353), kGray);
  EXPECT_EQ(At(400, 350), kWhite);  // base line
  view.SetSegment(50'000, 70'000);
  // Start marker x 500, y 30 up to 27; end marker x 700, y 30 up to 13.
  EXPECT_EQ(At(500, 28), kWhite);
  EXPECT_EQ(At(500, 26), kGray);
  EXPECT_EQ(At(700, 20), kWhite);
  EXPECT_EQ(At(700, 13), kWhite);
  EXPECT_EQ(At(700, 12), kGray);
  // Their times sit in the label rectangles: some white text pixels in each.
  auto whiteIn = [&](const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += At(x, y) == kWhite;
    return n;
  };
  EXPECT_GT(whiteIn(QRect(690, 0, 40, 8)), 0);
  EXPECT_GT(whiteIn(QRect(486, 14, 40, 8)), 0);
  EXPECT_GT(whiteIn(QRect(805, 102, 30, 10)), 0);  // "0" of channel 0
}

TEST_F(ViewPixels, CursorAndSelectionAreExclusiveOrAndUndoExactly) {
  Load();
  view.MoveCursor(25'000);
  EXPECT_EQ(At(250, 40), kRed);
  EXPECT_EQ(At(250, 30), 0xFF00FFFFu);  // red over the white base line
  EXPECT_EQ(At(0, 40), kBlack);         // the old line is gone
  view.SetSegment(50'000, 70'000);
  EXPECT_EQ(At(550, 60), kBlue);
  EXPECT_EQ(At(550, 230), 0xFF00C0C0u);  // green wave under the highlight
  EXPECT_EQ(At(699, 60), kBlue);
  EXPECT_EQ(At(700, 60), kBlack);
  EXPECT_EQ(At(499, 60), kBlack);
  const QImage before = view.BackBuffer().copy();
  // Partial updates must leave exactly what a full repaint of the same state draws.
  view.RenderAll();
  EXPECT_EQ(view.BackBuffer(), before);
  view.MoveCursor(61'000);
  view.SetSegment(10'000, 65'000);
  EXPECT_NE(view.BackBuffer(), before);
  view.MoveCursor(25'000);
  view.SetSegment(50'000, 70'000);
  EXPECT_EQ(view.BackBuffer(), before);
  // What is painted on screen is the buffer.
  EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(0, 0, 840, 380),
            before.copy(0, 0, 840, 380));
}

TEST_F(ViewPixels, DragsLeaveWhatAFullRepaintDraws) {
  Load();
  auto move = [&](int x, int y) {
    QMouseEvent event(QEvent::MouseMove, QPoint(x, y), view.mapToGlobal(QPoint(x, y)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
  };
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(300, 200));
  for (const int x : {310, 350, 290, 120, 900, 640}) move(x, 200);
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(640, 200));
  ASSERT_EQ(view.segStart, 30'000);
  ASSERT_EQ(view.segEnd, 64'000);
  // Drag the start label across the end label.
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(300, 16));
  for (const int x : {320, 700, 660}) move(x, 16);
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(660, 16));
  ASSERT_EQ(view.segStart, 66'000);
  const QImage incremental = view.BackBuffer().copy();
  EXPECT_EQ(At(650, 100), kBlue);
  view.RenderAll();
  EXPECT_EQ(view.BackBuffer(), incremental);
}

TEST_F(ViewPixels, NoWaveformWhileSuspendedOrWithoutMusic) {
  Load();
  view.drawingSuspended = true;
  view.RenderAll();
  EXPECT_EQ(At(200, 189), kBlack);
  EXPECT_EQ(At(300, 110), kGray);
  view.drawingSuspended = false;
  view.ClearMusic();
  view.RenderAll();
  EXPECT_EQ(At(200, 189), kBlack);
  EXPECT_EQ(At(80, 353), kWhite);  // the rest still drawn from the previous state
}

// A cache that can no longer be mapped: no waveform and no box during the paints; the failure
// is shown once, after them, however often the view repaints.
TEST_F(ViewPixels, AnUnmappableCacheIsReportedOnceAndNeverInsideAPaint) {
  Load();
  testing_support::RecordingMessageBox boxes;
  std::filesystem::remove(path);
  for (int paint = 0; paint < 3; ++paint) {
    const std::size_t before = boxes.Texts().size();
    view.SetZoom(1.0);
    view.RenderAll();
    EXPECT_EQ(At(200, 189), kBlack);
    EXPECT_EQ(At(300, 110), kGray);
    EXPECT_EQ(boxes.Texts().size(), before);
    QApplication::processEvents();
  }
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"OpenFile 失败。2"});
}

TEST_F(ViewPixels, EmptyViewDrawsFrameButNoMarkers) {
  view.RenderAll();
  EXPECT_EQ(At(0, 40), kRed);  // cursor at x 0
  EXPECT_EQ(At(300, 110), kGray);
  EXPECT_EQ(At(800, 200), kWhite);
  EXPECT_EQ(At(80, 353), kGray);  // no ticks
  EXPECT_EQ(At(800, 353), kGray);
  EXPECT_EQ(At(0, 20), kGray);  // no marker line
}

TEST_F(ViewPixels, TinyViewsDrawAndTrackWithinTheirBounds) {
  Load();
  for (const QSize size : {QSize(1, 1), QSize(30, 30), QSize(41, 81), QSize(120, 60)}) {
    view.resize(size);
    view.RenderAll();
    view.MoveCursor(60'000);
    view.SetSegment(10'000, 70'000);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(size.width() / 2, 1));
    QMouseEvent event(QEvent::MouseMove, QPoint(size.width(), 1), QPoint(size.width(), 1),
                      Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(size.width(), 1));
    EXPECT_EQ(view.BackBuffer().size(), size);
  }
}

// Wider samples are shown by their top 16 bits and more channels by the first two: the same
// signal as 24- or 32-bit, or with further channels, draws exactly the 16-bit stereo picture.
TEST(WideCachePixels, WiderSamplesAndMoreChannelsDrawAsSixteenBitStereo) {
  const auto render = [](int channels, int bits) {
    testing_support::TempDir dir;
    const std::string path = dir.File("cache.wav");
    testing_support::WriteWav(path, 8000, channels, bits, 80'000, [bits](std::int64_t f, int c) {
      const std::int32_t v = c == 1 ? -16'384 : c >= 2 ? 5'000 : f < 40'000 ? 32'767 : -32'768;
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << (bits - 16));
    });
    CWavView view;
    view.resize(840, 400);
    view.SetZoom(1.0);
    view.SetMusic({path, kMusicWav, 8000, channels, 0, bits, 10'000, {}});
    view.RenderAll();
    return view.BackBuffer().copy();
  };
  const QImage reference = render(2, 16);
  struct Case {
    int channels, bits;
  };
  for (const Case c : {Case{2, 24}, Case{2, 32}, Case{3, 16}, Case{6, 24}}) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits");
    EXPECT_TRUE(render(c.channels, c.bits) == reference);
  }
}

}  // namespace
