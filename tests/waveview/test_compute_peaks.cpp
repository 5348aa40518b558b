// The peak computation on real cache files, and the modal dialog that runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QApplication>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/sparse_dir.h"
#include "tests/support/test_files.h"
#include "tests/waveview/recording_frame.h"
#include "waveview/calc_buf_dlg.h"
#include "waveview/wav_view.h"

namespace {

using testing_support::WriteWav;

MusicInfo CacheInfo(const std::string& path, int rate, int channels, int bits,
                    std::int64_t frames) {
  MusicInfo info;
  info.fileName = path;
  info.type = kMusicWav;
  info.sampleRate = rate;
  info.channels = channels;
  info.bitsPerSample = bits;
  info.durationMs = frames * 1000 / rate;
  return info;
}

// Block j of 100 frames has channel 0 = j on its sampled frames and −j − 1 on channel 1;
// unsampled frames are loud so that reading them would show.
std::int32_t BlockPattern(std::int64_t f, int c) {
  if (f % 10 != 0) return 30'000;
  const auto j = static_cast<std::int32_t>(f / 100);
  return c == 0 ? j : -j - 1;
}

TEST(ComputePeaks, FillsTheTableFromSampledFramesAndResetsTheState) {
  testing_support::TempDir dir;
  const std::string path = dir.File("cache.wav");
  WriteWav(path, 44100, 2, 16, 441'000, BlockPattern);
  CWavView view;
  view.waveInfo = CacheInfo(path, 44100, 2, 16, 441'000);
  view.cursorPos = view.segStart = view.segEnd = view.viewStart = 77;
  testing_support::QueueTarget progress;
  view.ComputePeaks(&progress);
  EXPECT_EQ(view.totalFrames, 441'000);
  EXPECT_EQ(view.dataOffset, 44);
  EXPECT_EQ(view.cursorPos + view.segStart + view.segEnd + view.viewStart, 0);
  const PeakTable& table = view.peaks();
  ASSERT_EQ(table.blockCount(), 4'410);
  for (const std::int64_t j : {0, 1, 2'000, 4'409}) {
    const Envelope e = table.Entry(j);
    EXPECT_EQ(e.minL, j) << j;
    EXPECT_EQ(e.maxL, j) << j;
    EXPECT_EQ(e.minR, -j - 1) << j;
    EXPECT_EQ(e.maxR, -j - 1) << j;
  }
  // Progress runs 1 … 100, each value once, in order.
  const auto messages = progress.All();
  ASSERT_EQ(messages.size(), 100u);
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].msg, WM_CALC_PROGRESS);
    EXPECT_EQ(messages[i].w, i + 1);
  }
}

TEST(ComputePeaks, CacheShorterThanItsHeaderReadsOnlyWhatIsThere) {
  testing_support::TempDir dir;
  const std::string path = dir.File("short.wav");
  WriteWav(path, 44100, 2, 16, 88'200, [](std::int64_t, int c) { return c == 0 ? 1'000 : -1'000; });
  // Cut the file in the middle of a frame, 30,000.5 frames after the header.
  std::filesystem::resize_file(path, 44 + 30'000 * 4 + 2);
  CWavView view;
  view.waveInfo = CacheInfo(path, 44100, 2, 16, 88'200);
  view.ComputePeaks(nullptr);
  const PeakTable& table = view.peaks();
  ASSERT_EQ(table.blockCount(), 882);
  EXPECT_EQ(table.Entry(299).maxL, 1'000);
  EXPECT_EQ(table.Entry(299).minR, -1'000);
  for (const std::int64_t j : {300, 500, 881}) {
    const Envelope e = table.Entry(j);
    EXPECT_EQ(e.minL | e.maxL | e.minR | e.maxR, 0) << j;
  }
  // Drawing the whole file stays inside the mapping too.
  view.resize(840, 400);
  view.hasMusic = true;
  view.RenderAll();
}

TEST(ComputePeaks, MissingCacheLeavesNothingToDrawPlayOrExport) {
  testing_support::RecordingMessageBox boxes;
  testing_support::TempDir dir;
  CWavView view;
  view.resize(840, 400);
  const std::string previous = dir.File("previous.wav");
  WriteWav(previous, 44100, 2, 16, 44'100, testing_support::NoiseSample);
  view.SetMusic(CacheInfo(previous, 44100, 2, 16, 44'100));
  ASSERT_EQ(view.dataOffset, 44);
  view.SetMusic(CacheInfo(dir.File("gone.wav"), 44100, 2, 16, 882'000));
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_NE(boxes.Texts()[0].find("gone.wav"), std::string::npos);
  EXPECT_TRUE(view.hasMusic);
  // Neither the header's length nor the previous file's data offset survives.
  EXPECT_EQ(view.totalFrames, 0);
  EXPECT_EQ(view.dataOffset, 0);
  EXPECT_EQ(view.peaks().blockCount(), 0);
  // No sample data was found, so painting tries no mapping (and shows no further box).
  view.RenderAll();
  EXPECT_EQ(boxes.Texts().size(), 1u);
}

// Of a three-hour cache the table samples about a fifth of the pages. The pass asks for those
// alone: afterwards no more than that share of the file is in the page cache (reading the
// file through the kernel's read-ahead would have brought in all of it).
TEST(ComputePeaks, ReadsOnlyThePagesItSamples) {
  constexpr std::int64_t kFrames = std::int64_t{44100} * 3 * 3600;
  testing_support::SparseDir dir;
  if (const std::string why = dir.Unusable(kFrames * 4); !why.empty())
    GTEST_SKIP() << "large sparse files: " << why;
  const std::string path = dir.File("cache.wav");
  using namespace testing_support;
  WriteSparseFile(path,
                  Concat({RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16))},
                                   static_cast<std::uint32_t>(36 + kFrames * 4)),
                          Chunk("data", {}, kFrames * 4)}),
                  44 + kFrames * 4, {}, false);
  CWavView view;
  view.waveInfo = CacheInfo(path, 44100, 2, 16, kFrames);
  view.ComputePeaks(nullptr);
  ASSERT_EQ(view.dataOffset, 44);
  const std::size_t size = static_cast<std::size_t>(44 + kFrames * 4);
  const int fd = ::open(path.c_str(), O_RDONLY);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ASSERT_NE(map, MAP_FAILED);
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  ASSERT_EQ(::mincore(map, size, resident.data()), 0);
  ::munmap(map, size);
  ::close(fd);
  const auto cached =
      std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; });
  EXPECT_LT(static_cast<double>(cached) / resident.size(), 0.3) << cached << " pages";
}

TEST(CalcBufDlg, RunsTheComputationAndCannotBeClosedBeforeItEnds) {
  testing_support::TempDir dir;
  const std::string path = dir.File("cache.wav");
  WriteWav(path, 44100, 2, 16, 1'984'500, testing_support::NoiseSample);
  CWavView view;
  view.waveInfo = CacheInfo(path, 44100, 2, 16, 1'984'500);
  CCalcBufDlg dialog(&view);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("正缓冲 ..."));
  EXPECT_EQ(dialog.progressBar()->minimum(), 1);
  EXPECT_EQ(dialog.progressBar()->maximum(), 100);
  QTimer::singleShot(0, &dialog, [&dialog] {
    dialog.reject();
    dialog.close();
  });
  dialog.exec();
  EXPECT_TRUE(dialog.finished());
  EXPECT_EQ(dialog.progressBar()->value(), 100);
  EXPECT_EQ(view.totalFrames, 1'984'500);
  ASSERT_EQ(view.peaks().blockCount(), 10'022);
  EXPECT_NE(view.peaks().Entry(10'021).maxL, 0);
}

TEST(CalcBufDlg, SetMusicShowsLengthAndCursorWhenDone) {
  RecordingFrame frame;
  testing_support::TempDir dir;
  const std::string path = dir.File("cache.wav");
  WriteWav(path, 44100, 1, 16, 44'100, testing_support::NoiseSample);
  CWavView view;
  view.resize(840, 400);
  view.SetFrame(&frame);
  view.show();
  view.MoveCursor(0);
  view.SetMusic(CacheInfo(path, 44100, 1, 16, 44'100));
  EXPECT_TRUE(view.hasMusic);
  EXPECT_FALSE(view.PeaksRunning());
  EXPECT_EQ(view.totalFrames, 44'100);
  EXPECT_EQ(view.dataOffset, 44);
  EXPECT_EQ(frame.length, QString::fromUtf8("长度: 1.000"));
  EXPECT_EQ(frame.cursor, QString::fromUtf8("当前位置: 0"));
}

}  // namespace
