// Rapid command sequences against the player on the "null" device. Built with ThreadSanitizer
// or AddressSanitizer, these are the race and leak checks of the device thread and the
// message path.
#include <random>

#include "tests/playback/player_fixture.h"

namespace player_test {
namespace {

TEST_F(PlayerTest, TwoHundredRapidCommandsEndIdleWithNothingLeftBehind) {
  MakeCache(44100, 2, 120000);
  const int threads = BaselineThreads();
  std::mt19937 random(20240607);
  int plays = 0;
  {
    WavePlayer player(&view);
    for (int i = 0; i < 200; ++i) {
      switch (random() % 6) {
        case 0:
          PlayFromCursor(player, view, cache);
          plays += player.playing();
          break;
        case 1:
          view.SetSegment(random() % 120000, random() % 120000);
          PlaySegment(player, view, cache);
          plays += player.playing();
          break;
        case 2: player.TogglePause(); break;
        case 3:
          player.Stop();
          EXPECT_FALSE(player.playing());
          break;
        case 4: view.MoveCursor(random() % 130000); break;
        default: break;
      }
      // Sometimes let buffers come back, sometimes fire the next command at once.
      if (random() % 2 == 0)
        RunUntil([] { return false; }, std::chrono::milliseconds(random() % 4));
      EXPECT_GE(view.cursorPos, 0);
      EXPECT_LE(view.cursorPos, view.totalFrames);
    }
    EXPECT_GT(plays, 20);
    player.Stop();
    EXPECT_FALSE(player.playing());
  }
  EXPECT_EQ(ThreadCount(), threads) << ThreadNames();
  EXPECT_FALSE(IsMapped(cache.fileName));
  EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
}  // namespace player_test
