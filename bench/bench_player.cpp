// Player timings on the configured ALSA device (WAVELATHE_AUDIO_DEVICE, "null" when unset):
//  - Play() call and Play-to-first-returned-buffer latency (the first buffer has then been
//    handed to ALSA and played; on "null" playing is immediate, so this bounds the hand-over
//    from above);
//  - Stop() during playback;
//  - time the UI thread spends per returned buffer (handler: unprepare, queue the next, write,
//    move the cursor);
//  - a whole 20 s file on "null" through the player and through sox's ALSA output, as a ratio.
// Prints numbers; never fails.
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "platform/qt/qt_message_target.h"
#include "playback/wave_player.h"
#include "waveview/wav_view.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Ms;

double Max(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// The player with its buffer-done handler timed.
class TimedPlayer : public WavePlayer {
 public:
  using WavePlayer::WavePlayer;
  std::vector<double> handler;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != platform::MessageEvent::Type()) return WavePlayer::event(e);
    const auto t0 = Clock::now();
    const bool r = WavePlayer::event(e);
    handler.push_back(Ms(Clock::now() - t0));
    return r;
  }
};

// Waits in the event loop, as the UI thread does, until something arrives.
void Deliver() { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); }

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("WAVELATHE_AUDIO_DEVICE", "null", 0);
  QApplication app(argc, argv);
  const std::string device = std::getenv("WAVELATHE_AUDIO_DEVICE");
  const std::string path = "/tmp/wavelathe_bench_player.wav";
  const std::int64_t frames = 20 * 44100;
  // A 16-bit ramp, the same in both channels.
  bench::WriteStereoWav16(path, 44100, frames, [](std::int64_t f) {
    return static_cast<std::uint32_t>((f * 37) & 0xFFFF) * 0x10001u;
  });

  MusicInfo info;
  info.fileName = path;
  info.sampleRate = 44100;
  info.channels = 2;
  info.bitsPerSample = 16;
  info.durationMs = 20000;
  CWavView view;
  view.resize(800, 300);
  view.waveInfo = info;
  view.totalFrames = frames;
  view.dataOffset = 44;
  view.show();
  QCoreApplication::processEvents();
  TimedPlayer player(&view);

  std::vector<double> playCall, firstReturn, stopCall;
  for (int i = 0; i < 40; ++i) {
    const auto t0 = Clock::now();
    player.Play(info, (i * 44100) % frames, 44100);
    const auto t1 = Clock::now();
    const std::int64_t queuedTo = view.cursorPos;
    while (player.playing() && view.cursorPos == queuedTo) Deliver();
    playCall.push_back(Ms(t1 - t0));
    firstReturn.push_back(Ms(Clock::now() - t0));
    const auto s0 = Clock::now();
    player.Stop();
    stopCall.push_back(Ms(Clock::now() - s0));
  }

  player.handler.clear();
  const auto whole0 = Clock::now();
  player.Play(info, 0, frames);
  while (player.playing()) Deliver();
  const double whole = Ms(Clock::now() - whole0);

  const auto sox0 = Clock::now();
  const int rc =
      std::system(("AUDIODEV=" + device + " sox -q " + path + " -t alsa 2>/dev/null").c_str());
  const double sox = Ms(Clock::now() - sox0);

  std::printf("device: %s\n", device.c_str());
  std::printf("Play() call (open device, map, queue 3 buffers): median %.2f ms, max %.2f ms\n",
              Median(playCall), Max(playCall));
  // On "null" a buffer is played the moment ALSA has it, so its return bounds the hand-over;
  // on a real-time device the return also includes playing its 100 ms.
  std::printf("Play to first buffer back from the device: median %.2f ms, max %.2f ms%s\n",
              Median(firstReturn), Max(firstReturn),
              device == "null" ? " (= hand-over to ALSA; target < 20)" : " (includes playing it)");
  std::printf("Stop() call during playback (reset, drain, close): median %.2f ms, max %.2f ms\n",
              Median(stopCall), Max(stopCall));
  std::vector<double> sorted = player.handler;
  std::sort(sorted.begin(), sorted.end());
  const double p99 = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100];
  std::printf(
      "UI time per returned buffer (handler): median %.1f us, 99%% %.1f us, max %.1f us "
      "over %zu buffers (target < 5 ms)\n",
      1000 * Median(player.handler), 1000 * p99, 1000 * Max(player.handler), player.handler.size());
  std::printf(
      "whole 20 s file through the device: player %.1f ms, sox -t alsa %.1f ms "
      "(with its process start)%s, ratio player/sox %.2f\n",
      whole, sox, rc == 0 ? "" : " (sox failed)", sox > 0 ? whole / sox : 0.0);
  std::remove(path.c_str());
  return 0;
}
