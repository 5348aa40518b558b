// Shared pieces of the benchmarks: timing helpers, a window that waits for a writer's
// completion, and a fast writer of 16-bit stereo WAV inputs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "codecs/music.h"
#include "platform/message.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Waits for WM_MUSIC_DONE posted by a writer on a worker thread; each Wait consumes one.
class DoneWaiter : public platform::MessageTarget {
 public:
  bool Post(std::uint32_t msg, platform::WParam, platform::LParam) override {
    if (msg != WM_MUSIC_DONE) return true;
    std::lock_guard lock(mutex_);
    done_ = true;
    cv_.notify_all();
    return true;
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return done_; });
    done_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
};

// Writes a 16-bit stereo WAV with a canonical 44-byte header; `frame(f)` gives the frame as
// left | right << 16.
inline void WriteStereoWav16(const std::string& path, std::int32_t rate, std::int64_t frames,
                             const std::function<std::uint32_t(std::int64_t)>& frame) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const auto data = static_cast<std::uint32_t>(frames * 4);
  out.write("RIFF", 4);
  put(36 + data, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(static_cast<std::uint32_t>(rate), 4);
  put(static_cast<std::uint32_t>(rate) * 4, 4);
  put(4, 2);
  put(16, 2);
  out.write("data", 4);
  put(data, 4);
  std::vector<std::uint32_t> block(65536);
  for (std::int64_t f = 0; f < frames;) {
    const std::int64_t n = std::min<std::int64_t>(frames - f, block.size());
    for (std::int64_t i = 0; i < n; ++i) block[i] = frame(f + i);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n * 4));
    f += n;
  }
}

// A 440 Hz tone over pseudo-random noise, different in the two channels: material a
// compressing encoder cannot make trivial.
inline void WriteToneOverNoise(const std::string& path, std::int32_t rate, std::int64_t frames) {
  std::uint32_t x = 12345;
  WriteStereoWav16(path, rate, frames, [&x, rate](std::int64_t f) {
    x = x * 1664525u + 1013904223u;
    const auto tone = static_cast<std::int32_t>(8000 * std::sin(f * 2 * M_PI * 440 / rate));
    const auto left = static_cast<std::uint16_t>(tone + static_cast<std::int32_t>(x >> 21) - 1024);
    const auto right = static_cast<std::uint16_t>(tone / 2 + static_cast<std::int32_t>(x >> 22));
    return static_cast<std::uint32_t>(left) | static_cast<std::uint32_t>(right) << 16;
  });
}

// Milliseconds a shell command takes; says so on stderr when it fails.
inline double TimeCommand(const std::string& command) {
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return Ms(Clock::now() - start);
}

// Tones with a slow vibrato and a little noise, 16-bit stereo: something an encoder has to
// work on.
inline void WriteMusicLikeWav(const std::string& path, std::int32_t rate, std::int64_t frames) {
  std::uint32_t x = 1;
  WriteStereoWav16(path, rate, frames, [&x, rate](std::int64_t f) {
    const double t = static_cast<double>(f) / rate;
    const double vibrato = 440 * (1 + 0.01 * std::sin(2 * std::numbers::pi * 5 * t));
    x = x * 1664525u + 1013904223u;
    const double noise = static_cast<double>(static_cast<std::int16_t>(x >> 16)) / 16;
    const auto left =
        static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * vibrato * t) + noise);
    const auto right =
        static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * 330 * t) - noise);
    return static_cast<std::uint16_t>(left) |
           static_cast<std::uint32_t>(static_cast<std::uint16_t>(right)) << 16;
  });
}

}  // namespace bench
