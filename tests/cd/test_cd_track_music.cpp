// A CD track as a source: its fixed stream, its sectors copied unchanged into the cache (read
// back by sox), the failures that end a read early or refuse to start one, and the writer
// slots of a format that is never written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>

#include "cd/cd_track_music.h"
#include "codecs/music_registry.h"
#include "platform/byte_order.h"
#include "tests/support/disc_image.h"
#include "tests/support/full_disk.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"

using namespace cd_testing;
using testing_support::QueueTarget;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;

namespace {

// Lookups fail at once on this machine; these tests are about the samples.
const bool kLocalCddbServer = setenv("WAVELATHE_CDDB_SERVER", "127.0.0.1:1", 0) == 0;

// The samples of a WAV file as sox reads them, as little-endian bytes.
std::vector<std::uint8_t> SoxSamples(const std::string& wav) {
  const std::string raw = testing_support::RunCommand(
      "sox '" + wav + "' -t raw -e signed-integer -b 16 -L - 2>/dev/null");
  return {raw.begin(), raw.end()};
}

// A track file copied to `path` naming `first` and `count`, whose drive is `image`.
std::string CopiedTrack(const std::string& image, const std::string& path, std::uint32_t first,
                        std::uint32_t count) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  EXPECT_TRUE(CopyTrackFile(image, 1, path));
  std::vector<std::uint8_t> bytes = testing_support::ReadFileBytes(path);
  platform::StoreLe32(&bytes[28], first);
  platform::StoreLe32(&bytes[32], count);
  testing_support::WriteFileBytes(path, bytes);
  return path;
}

}  // namespace

TEST(CdTrackMusic, DecodesTheTrackSectorsUnchangedAndEndsEarlyOnFailures) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "disc", {{true, 600}, {true, 18}});
  const struct {
    const char* name;
    std::string path;
    std::uint32_t first, sectors;  // the sectors the cache must hold
    std::int64_t durationMs;
    std::int64_t writeLimit;  // bytes the cache may grow to; 0 = no limit
    std::string message;
  } cases[] = {
      {"eight seconds", TrackPath(image, 1), 0, 600, 8000, 0, ""},
      {"copied, empty", CopiedTrack(image, dir.File("a/Track09.cda"), 5, 0), 5, 0, 0, 0, ""},
      {"copied, past the disc", CopiedTrack(image, dir.File("b/Track09.cda"), 600, 40), 600, 16,
       533, 0, "DeviceIoControl 调用失败， LastError = 27."},
      {"refused write", TrackPath(image, 1), 0, 0, 8000, 60000, "写入采样失败。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessageBox boxes;
    MusicInfo info;
    info.fileName = c.path;
    info.type = MusicTypeFromFileName(c.path);
    ASSERT_TRUE(ProbeMusicFile(info));
    EXPECT_EQ(std::vector<int>({info.sampleRate, info.channels, info.bitsPerSample, info.bitrate}),
              std::vector<int>({44100, 2, 16, 1378}));
    EXPECT_EQ(info.durationMs, c.durationMs);
    boxes.Clear();  // the lookup's failure to find a server

    QueueTarget window;
    CdTrackMusic source(c.path);
    auto cache = CreateMusic(kMusicWav, dir.File("cache.wav"));
    cache->info = info;
    cache->info.type = kMusicWav;
    cache->progressWindow = &window;
    std::optional<testing_support::FileSizeLimit> limit;
    if (c.writeLimit > 0) limit.emplace(c.writeLimit);
    ASSERT_TRUE(cache->InitWriter());
    ASSERT_TRUE(source.StartConvert(cache.get()));
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
    limit.reset();
    source.CancelConvert();  // after the end: changes nothing
    cache.reset();
    int done = 0;
    for (const auto& m : window.All()) done += m.msg == WM_MUSIC_DONE;
    EXPECT_EQ(done, 1);
    const std::vector<std::string> texts = boxes.Texts();
    EXPECT_EQ(texts.empty() ? "" : texts.back(),
              c.message.empty() ? "" : c.message + " - " + c.path);
    if (c.writeLimit == 0) {
      EXPECT_TRUE(SoxSamples(dir.File("cache.wav")) == ImageBytes(c.first, c.sectors));
    }
  }
}

TEST(CdTrackMusic, StartRefusalsAreReportedAndTouchNoTarget) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "disc", {{true, 30}});
  const std::string orphan = CopiedTrack(image, dir.File("gone/Track01.cda"), 0, 30);
  std::ofstream(dir.File("gone/.cdrive")) << dir.File("missing.cue") << "\n";
  const struct {
    std::string path;
    bool withTarget;
    std::string message;
  } cases[] = {
      {TrackPath(image, 1), false, "TargetMusic 为 NULL."},
      {TrackPath(image, 2), true, "无法打开文件，因为 文件不存在。"},
      {orphan, true, "打开 CD 驱动器失败。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    RecordingMessageBox boxes;
    QueueTarget window;
    CdTrackMusic target(dir.File("never.cda"));
    target.progressWindow = &window;
    CdTrackMusic source(c.path);
    EXPECT_FALSE(source.StartConvert(c.withTarget ? &target : nullptr));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message + " - " + c.path});
    EXPECT_TRUE(window.All().empty());
  }
}

TEST(CdTrackMusic, WriterSlotsWriteNothingButEveryCloseCompletes) {
  TempDir dir;
  QueueTarget window;
  CdTrackMusic writer(dir.File("Track01.cda"));
  writer.progressWindow = &window;
  const std::uint8_t pcm[4] = {1, 2, 3, 4};
  EXPECT_TRUE(writer.InitWriter());
  EXPECT_TRUE(writer.WriteSamples(pcm, 4));
  writer.finalizeOnClose = false;
  EXPECT_TRUE(writer.CloseWriter());
  writer.finalizeOnClose = true;
  EXPECT_TRUE(writer.CloseWriter());
  EXPECT_EQ(window.All().size(), 2u);
  EXPECT_EQ(window.All().back().msg, WM_MUSIC_DONE);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Track01.cda")));
}
