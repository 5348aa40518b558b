// The player on ALSA's "null" device (plays as fast as it is fed) and its "file" device
// (records every frame handed to the device), with a cache whose frames carry their index.
#include <algorithm>

#include "platform/wave_out.h"
#include "tests/playback/player_fixture.h"

namespace player_test {
namespace {

// Frame indexes recorded by the "file" device.
std::vector<std::int64_t> PlayedFrames(const std::string& raw) {
  const std::vector<std::uint8_t> bytes = testing_support::ReadFileBytes(raw);
  std::vector<std::int64_t> out;
  const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) out.push_back(IndexOf(samples + i / 2));
  return out;
}

std::vector<std::int64_t> Range(std::int64_t from, std::int64_t to) {
  std::vector<std::int64_t> out;
  for (std::int64_t f = from; f < to; ++f) out.push_back(f);
  return out;
}

TEST_F(PlayerTest, SplitsTheRangeIntoTenthSecondBuffersAndPlaysEveryFrameOnce) {
  MakeCache(44100, 2, 30000);
  const std::string raw = dir.File("played.raw");
  DeviceEnv env("file:'" + raw + "',raw");
  WavePlayer player(&view);
  view.MoveCursor(500);
  log.moves.clear();
  ASSERT_TRUE(player.Play(cache, 500, 10000));
  EXPECT_TRUE(player.playing());
  // Three buffers are queued at once, the cursor following each: 4,410 + 4,410 + 1,180.
  EXPECT_EQ(log.moves, (std::vector<std::int64_t>{4910, 9320, 10500}));
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(view.cursorPos, 500) << "the cursor returns to where playback began";
  EXPECT_EQ(PlayedFrames(raw), Range(500, 10500));
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_FALSE(IsMapped(cache.fileName));
}

TEST_F(PlayerTest, KeepsThreeBuffersQueuedAndRefillsAsTheyReturn) {
  MakeCache(11025, 1, 8000);
  WavePlayer player(&view);
  log.moves.clear();
  ASSERT_TRUE(player.Play(cache, 0, 8000));
  // 11,025 Hz mono: 2,205 bytes per 100 ms, so 1,102 whole frames (2,204 bytes) per buffer.
  EXPECT_EQ(log.moves, (std::vector<std::int64_t>{1102, 2204, 3306}));
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(log.moves,
            (std::vector<std::int64_t>{1102, 2204, 3306, 4408, 5510, 6612, 7714, 8000, 0}));
}

TEST_F(PlayerTest, PlayWhilePlayingRestartsFromTheCursorReadBeforeTheStop) {
  MakeCache(44100, 2, 100000);
  WavePlayer player(&view);
  PlayFromCursor(player, view, cache);
  ASSERT_TRUE(player.playing());
  const std::int64_t ahead = view.cursorPos;
  EXPECT_EQ(ahead, 3 * 4410);
  PlayFromCursor(player, view, cache);
  ASSERT_TRUE(player.playing());
  EXPECT_EQ(view.cursorPos, ahead + 3 * 4410) << "the new playback queued from " << ahead;
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(view.cursorPos, ahead);
  // Play from the very end starts again at the beginning.
  view.MoveCursor(view.totalFrames);
  PlayFromCursor(player, view, cache);
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(view.cursorPos, 0);
}

TEST_F(PlayerTest, PauseTwiceResumesWithoutLosingOrRepeatingAFrame) {
  MakeCache(44100, 2, 60000);
  const std::string raw = dir.File("played.raw");
  DeviceEnv env("file:'" + raw + "',raw");
  WavePlayer player(&view);
  ASSERT_TRUE(player.Play(cache, 1000, 50000));
  player.TogglePause();
  EXPECT_TRUE(player.paused());
  RunUntil([] { return false; }, 300ms);
  EXPECT_TRUE(player.playing()) << "a paused playback does not end";
  player.TogglePause();
  EXPECT_FALSE(player.paused());
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(PlayedFrames(raw), Range(1000, 51000));
  EXPECT_EQ(view.cursorPos, 1000);
}

TEST_F(PlayerTest, PauseAndStopWhileIdleDoNothing) {
  MakeCache(44100, 2, 1000);
  view.MoveCursor(300);
  const int threads = BaselineThreads();
  WavePlayer player(&view);
  player.TogglePause();
  EXPECT_FALSE(player.paused());
  player.Stop();
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(view.cursorPos, 300);
  EXPECT_EQ(ThreadCount(), threads);
  // An empty range plays nothing and says nothing.
  EXPECT_FALSE(player.Play(cache, 1000, 0));
  EXPECT_FALSE(player.Play(cache, 10, -5));
  EXPECT_FALSE(player.playing());
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PlayerTest, StopDuringPlaybackReturnsEverythingAndLeavesNoThreadOrMapping) {
  MakeCache(44100, 2, 200000);
  const int threads = BaselineThreads();
  {
    WavePlayer player(&view);
    ASSERT_TRUE(player.Play(cache, 2000, 150000));
    // Paused, the device keeps the buffers queued after the first returns were handled.
    player.TogglePause();
    RunUntil([] { return false; }, 20ms);
    ASSERT_TRUE(player.playing());
    EXPECT_TRUE(IsMapped(cache.fileName));
    EXPECT_GT(ThreadCount(), threads);
    player.Stop();
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.paused());
    EXPECT_EQ(view.cursorPos, 2000);
    EXPECT_FALSE(IsMapped(cache.fileName));
    EXPECT_EQ(ThreadCount(), threads);
    // Nothing of the stopped playback arrives later.
    RunUntil([] { return false; }, 50ms);
    EXPECT_EQ(view.cursorPos, 2000);
    // The destructor stops a running playback too.
    ASSERT_TRUE(player.Play(cache, 7000, 150000));
  }
  EXPECT_EQ(view.cursorPos, 7000);
  EXPECT_FALSE(IsMapped(cache.fileName));
  EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(PlayerTest, MissingDeviceShowsTheOpenFailureAndStaysIdle) {
  MakeCache(44100, 2, 10000);
  DeviceEnv env("nonexistent_device");
  WavePlayer player(&view);
  view.MoveCursor(100);
  EXPECT_FALSE(player.Play(cache, 100, 5000));
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"waveOutOpen 失败。"}));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::kPlain);
  EXPECT_FALSE(IsMapped(cache.fileName));
  EXPECT_EQ(view.cursorPos, 100);
}

TEST_F(PlayerTest, UnmappableCacheShowsBothMessagesAndClosesTheDevice) {
  MakeCache(44100, 2, 10000);
  const int threads = BaselineThreads();
  WavePlayer player(&view);
  cache.fileName = dir.File("gone.wav");
  view.MoveCursor(4000);
  EXPECT_FALSE(player.Play(cache, 1234, 5000));
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(boxes.Texts(),
            (std::vector<std::string>{"OpenFile 失败。2", "FileMap 播放时打开失败。"}));
  EXPECT_EQ(view.cursorPos, 1234) << "the cursor goes to the start of the failed playback";
  EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(PlayerTest, ACacheShorterThanItsHeaderPlaysOnlyWhatItHolds) {
  MakeCache(44100, 2, 6000, /*claimed=*/50000);
  const std::string raw = dir.File("played.raw");
  DeviceEnv env("file:'" + raw + "',raw");
  WavePlayer player(&view);
  ASSERT_TRUE(player.Play(cache, 1000, 40000));
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(PlayedFrames(raw), Range(1000, 6000));
  EXPECT_EQ(view.cursorPos, 1000);
  // Starting past the data plays nothing, but still ends cleanly.
  EXPECT_TRUE(player.Play(cache, 20000, 100));
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(view.cursorPos, 20000);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PlayerTest, PlaySegmentUsesTheOrderedPairAndResumesFromACursorInside) {
  MakeCache(44100, 2, 100000);
  const std::string raw = dir.File("played.raw");
  DeviceEnv env("file:'" + raw + "',raw");
  WavePlayer player(&view);
  view.SetSegment(30000, 10000);
  view.MoveCursor(50000);
  PlaySegment(player, view, cache);
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(PlayedFrames(raw), Range(10000, 30000)) << "cursor outside: from the smaller end";
  EXPECT_EQ(view.cursorPos, 10000);

  view.MoveCursor(25000);
  PlaySegment(player, view, cache);
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(PlayedFrames(raw), Range(25000, 30000)) << "cursor inside: from the cursor";

  view.MoveCursor(30000);
  PlaySegment(player, view, cache);
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }));
  EXPECT_EQ(PlayedFrames(raw), Range(10000, 30000)) << "cursor at the end: from the start";

  view.SetSegment(40000, 40000);
  view.MoveCursor(123);
  PlaySegment(player, view, cache);
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(view.cursorPos, 123);
}

}  // namespace
}  // namespace player_test
