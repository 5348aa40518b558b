// Real-time playback through a sound server of the test's own (PulseAudio with a null sink,
// reached through ALSA's pulse plugin), recorded from the sink's monitor: every frame must
// arrive once, in order, without gaps, and a pause must show as silence of its length.
#include <sys/stat.h>

#include <algorithm>

#include "tests/playback/player_fixture.h"
#include "tests/playback/pulse_server.h"

#if defined(__SANITIZE_THREAD__)
// The PulseAudio client's own locking (recursive mutexes in its common library, loaded by
// ALSA's pulse plugin) is not built for ThreadSanitizer.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libpulsecommon\n"; }
#endif

namespace player_test {
namespace {

constexpr int kRate = 44100;

struct Recording {
  std::vector<std::int64_t> indexes;    // frame index of every non-silent recorded frame
  std::vector<std::int64_t> positions;  // where in the recording each of them lies
};

Recording Analyse(const std::string& path) {
  const std::vector<std::uint8_t> bytes = testing_support::ReadFileBytes(path);
  const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
  Recording r;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    const std::int16_t* frame = samples + i / 2;
    if (frame[0] == 0 && frame[1] == 0) continue;
    r.indexes.push_back(IndexOf(frame));
    r.positions.push_back(static_cast<std::int64_t>(i / 4));
  }
  return r;
}

long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Parameter: pause with the device's own pause (false) or by dropping ALSA's buffer and
// writing its unplayed frames again (true).
class RealtimePlayback : public PlayerTest, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    std::string error;
    if (!server.Start(&error)) GTEST_SKIP() << "no PulseAudio server here: " << error;
    setenv("PULSE_SERVER", server.ServerAddress().c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", server.ClientConfig().c_str(), 1);
    if (GetParam()) setenv("WAVELATHE_AUDIO_SOFT_PAUSE", "1", 1);
  }
  void TearDown() override {
    unsetenv("PULSE_SERVER");
    unsetenv("PULSE_CLIENTCONFIG");
    unsetenv("WAVELATHE_AUDIO_SOFT_PAUSE");
    server.Stop();
  }

  // Starts the monitor recording and waits until data flows.
  bool Record(const std::string& path) {
    if (!server.StartRecording(path)) return false;
    return RunUntil([&] { return FileSize(path) > 4 * kRate / 20; }, 5s);
  }

  PulseServer server;
};

TEST_P(RealtimePlayback, PlaysEveryFrameInOrderAndAPauseIsSilenceOfItsLength) {
  const std::int64_t first = 1000;
  const std::int64_t count = 3 * kRate;
  MakeCache(kRate, 2, first + count + 1000);
  DeviceEnv env("pulse");
  const std::string recording = server.File("monitor.raw");
  ASSERT_TRUE(Record(recording));

  WavePlayer player(&view);
  ASSERT_TRUE(player.Play(cache, first, count)) << testing::PrintToString(boxes.Texts());
  RunUntil([] { return false; }, 1200ms);
  ASSERT_TRUE(player.playing());
  player.TogglePause();
  RunUntil([] { return false; }, 500ms);
  EXPECT_TRUE(player.playing());
  player.TogglePause();
  ASSERT_TRUE(RunUntil([&] { return !player.playing(); }, 10s));
  EXPECT_EQ(view.cursorPos, first);
  RunUntil([] { return false; }, 300ms);
  server.StopRecording();

  const Recording r = Analyse(recording);
  ASSERT_FALSE(r.indexes.empty()) << "nothing reached the sink";
  // Every frame in order, none lost. The device's own pause repeats nothing either. Dropping
  // the buffer lets the sink's few milliseconds of pre-rendered audio through, which the
  // server reported as unplayed (a null sink without rewinds cannot take them back), so those
  // come again once, at the pause.
  const std::int64_t allowedRepeat = GetParam() ? kRate * 30 / 1000 : 0;
  std::string jumps;
  std::int64_t repeated = 0;
  int backwards = 0;
  for (std::size_t i = 1; i < r.indexes.size(); ++i) {
    const std::int64_t step = r.indexes[i] - r.indexes[i - 1];
    if (step == 1) continue;
    jumps += " [at " + std::to_string(r.positions[i]) + ": " + std::to_string(r.indexes[i - 1]) +
             " -> " + std::to_string(r.indexes[i]) + "]";
    if (step <= 0) {
      ++backwards;
      repeated += 1 - step;
    }
  }
  EXPECT_EQ(r.indexes.front(), first) << jumps;
  EXPECT_EQ(r.indexes.back(), first + count - 1) << jumps;
  EXPECT_LE(backwards, allowedRepeat > 0 ? 1 : 0) << jumps;
  EXPECT_LE(repeated, allowedRepeat) << jumps;
  ASSERT_EQ(static_cast<std::int64_t>(r.indexes.size()), count + repeated)
      << "frames lost:" << jumps;
  RecordProperty("repeated_frames", static_cast<int>(repeated));
  // Silence inside the playback: one stretch for the pause, nothing audible elsewhere.
  std::int64_t pause = 0;
  std::int64_t otherGaps = 0;
  for (std::size_t i = 1; i < r.positions.size(); ++i) {
    const std::int64_t gap = r.positions[i] - r.positions[i - 1] - 1;
    if (gap > kRate / 10) {
      EXPECT_EQ(pause, 0) << "a second long silence at recorded frame " << i;
      pause = gap;
    } else {
      otherGaps += gap;
    }
  }
  RecordProperty("pause_silence_frames", static_cast<int>(pause));
  EXPECT_GT(pause, kRate * 40 / 100) << "pause silence in frames";
  EXPECT_LT(pause, kRate * 75 / 100) << "pause silence in frames";
  EXPECT_LT(otherGaps, kRate / 200) << "silent frames between played ones, outside the pause";
}

// Commands in quick succession against a device that plays in real time: pauses land on a
// running stream, stops on full buffers. Everything ends idle with no thread left.
TEST_P(RealtimePlayback, RapidCommandsOnARealTimeDeviceEndIdle) {
  MakeCache(kRate, 2, 4 * kRate);
  DeviceEnv env("pulse");
  const int threads = BaselineThreads();
  {
    WavePlayer player(&view);
    for (int i = 0; i < 40; ++i) {
      switch (i % 4) {
        case 0: PlayFromCursor(player, view, cache); break;
        case 1: player.TogglePause(); break;
        case 2: player.TogglePause(); break;
        default: player.Stop(); break;
      }
      EXPECT_EQ(player.playing(), i % 4 != 3) << "command " << i;
      RunUntil([] { return false; }, std::chrono::milliseconds(15 * (i % 5)));
    }
  }
  EXPECT_EQ(ThreadCount(), threads) << ThreadNames();
  EXPECT_FALSE(IsMapped(cache.fileName));
  EXPECT_TRUE(boxes.Texts().empty());
}

// The sound server going away in the middle of a playback ends it (the cursor back at its
// start) instead of leaving the player waiting for buffers that never come back.
TEST_P(RealtimePlayback, ASoundServerThatGoesAwayEndsThePlayback) {
  MakeCache(kRate, 2, 10 * kRate);
  DeviceEnv env("pulse");
  const int threads = BaselineThreads();
  {
    WavePlayer player(&view);
    ASSERT_TRUE(player.Play(cache, 500, 9 * kRate));
    RunUntil([] { return false; }, 300ms);
    server.Stop();
    EXPECT_TRUE(RunUntil([&] { return !player.playing(); }, 5s));
    EXPECT_EQ(view.cursorPos, 500);
    // The next play finds no server: the device cannot be opened.
    EXPECT_FALSE(player.Play(cache, 500, kRate));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"waveOutOpen 失败。"}));
  }
  EXPECT_EQ(ThreadCount(), threads) << ThreadNames();
}

INSTANTIATE_TEST_SUITE_P(PauseKinds, RealtimePlayback, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) {
                           return p.param ? "DropAndRewrite" : "DevicePause";
                         });

}  // namespace
}  // namespace player_test
