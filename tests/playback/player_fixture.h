// Shared set-up of the player tests: a cache file whose frames carry their own index, a view
// that knows it, a frame that records every cursor move, and helpers to run the event loop.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "playback/wave_player.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/device_env.h"
#include "tests/support/test_files.h"
#include "waveview/view_frame.h"
#include "waveview/wav_view.h"

namespace player_test {

using namespace std::chrono_literals;

// Stereo 16-bit frame f holds f in 30 bits: left = low 15 bits, right = the rest.
inline std::int32_t IndexSample(std::int64_t frame, int channel) {
  return channel == 0 ? static_cast<std::int32_t>(frame & 0x7fff)
                      : static_cast<std::int32_t>(frame >> 15);
}
inline std::int64_t IndexOf(const std::int16_t* frame) {
  return (frame[0] & 0x7fff) | (static_cast<std::int64_t>(frame[1]) << 15);
}

// Records the cursor position at every cursor move of the view.
class CursorLog : public ViewFrame {
 public:
  explicit CursorLog(const CWavView* view) : view_(view) {}
  void SetMousePosText(const QString&) override {}
  void SetCursorPosText(const QString&) override { moves.push_back(view_->cursorPos); }
  void SetLengthText(const QString&) override {}
  void OnViewCommand(int) override {}
  std::vector<std::int64_t> moves;

 private:
  const CWavView* view_;
};

using testing_support::DeviceEnv;

// Runs the event loop until `done` holds or `timeout` passes; returns `done()`.
inline bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done() && std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

inline int ThreadCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

// Threads of the process once a first thread has come and gone (sanitizer runtimes start a
// helper thread of their own with the first one).
inline int BaselineThreads() {
  std::thread([] {}).join();
  return ThreadCount();
}

inline std::string ThreadNames() {
  std::string names;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      names += name + " ";
    }
    closedir(d);
  }
  return names;
}

inline bool IsMapped(const std::string& path) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find(path) != std::string::npos) return true;
  }
  return false;
}

class PlayerTest : public ::testing::Test {
 protected:
  // The tests play on ALSA's "null" device unless told otherwise.
  PlayerTest() { setenv("WAVELATHE_AUDIO_DEVICE", "null", 0); }

  // A cache of `frames` frames; the view is told it holds `claimed` frames (default: all).
  void MakeCache(int rate, int channels, std::int64_t frames, std::int64_t claimed = -1) {
    cache.fileName = dir.File("cache.wav");
    cache.type = 0;
    cache.sampleRate = rate;
    cache.channels = channels;
    cache.bitsPerSample = 16;
    testing_support::WriteWav(cache.fileName, rate, channels, 16, frames, IndexSample);
    if (claimed < 0) claimed = frames;
    cache.durationMs = claimed * 1000 / rate + 1;
    view.waveInfo = cache;
    view.totalFrames = claimed;
    view.dataOffset = 44;
    view.SetFrame(&log);
  }

  testing_support::TempDir dir;
  testing_support::RecordingMessageBox boxes;
  CWavView view;
  CursorLog log{&view};
  MusicInfo cache;
};

}  // namespace player_test
