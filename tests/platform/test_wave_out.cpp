// Waveform output over ALSA's "null" device and its "file" device (which records exactly the
// frames handed to the device), driven through the classic operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave_out.h"
#include "tests/support/device_env.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::chrono_literals;
using platform::WaveHeader;

using testing_support::DeviceEnv;

// Collects callbacks from the device thread.
struct Recorder {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::uint32_t> messages;
  std::vector<WaveHeader*> done;
  std::vector<std::thread::id> threads;

  static void Proc(platform::HWaveOut, std::uint32_t msg, std::uintptr_t instance,
                   WaveHeader* header, std::uintptr_t) {
    auto* self = reinterpret_cast<Recorder*>(instance);
    std::lock_guard lock(self->mutex);
    self->messages.push_back(msg);
    if (msg == platform::WOM_DONE) {
      self->done.push_back(header);
      self->threads.push_back(std::this_thread::get_id());
    }
    self->cv.notify_all();
  }
  bool WaitDone(std::size_t n, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, timeout, [&] { return done.size() >= n; });
  }
  std::size_t DoneCount() {
    std::lock_guard lock(mutex);
    return done.size();
  }
};

platform::WaveFormat Format(int rate, int channels, int bits) {
  platform::WaveFormat f;
  f.channels = static_cast<std::uint16_t>(channels);
  f.samplesPerSec = static_cast<std::uint32_t>(rate);
  f.bitsPerSample = static_cast<std::uint16_t>(bits);
  f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  return f;
}

// `count` buffers of `frames` stereo 16-bit frames, each frame holding its global index.
struct Buffers {
  std::vector<std::vector<std::int16_t>> data;
  std::vector<WaveHeader> headers;
  Buffers(int count, int frames) : data(count), headers(count) {
    int index = 0;
    for (int b = 0; b < count; ++b) {
      for (int i = 0; i < frames; ++i, ++index) {
        data[b].push_back(static_cast<std::int16_t>(index & 0x7fff));
        data[b].push_back(static_cast<std::int16_t>(index >> 15));
      }
      headers[b].data = reinterpret_cast<const std::uint8_t*>(data[b].data());
      headers[b].bufferLength = static_cast<std::uint32_t>(data[b].size() * 2);
      headers[b].user = static_cast<std::uintptr_t>(b);
    }
  }
};

TEST(WaveOut, PlaysBuffersInOrderAndReportsEachOnceOnTheDeviceThread) {
  DeviceEnv env("null");
  Recorder rec;
  platform::HWaveOut dev = nullptr;
  ASSERT_TRUE(platform::WaveOutOpen(&dev, Format(44100, 2, 16), &Recorder::Proc,
                                    reinterpret_cast<std::uintptr_t>(&rec)));
  Buffers bufs(5, 4410);
  for (auto& h : bufs.headers) {
    ASSERT_TRUE(platform::WaveOutPrepareHeader(dev, &h));
    ASSERT_TRUE(platform::WaveOutWrite(dev, &h));
  }
  ASSERT_TRUE(rec.WaitDone(5));
  std::this_thread::sleep_for(50ms);
  ASSERT_EQ(rec.DoneCount(), 5u);
  for (int b = 0; b < 5; ++b) {
    EXPECT_EQ(rec.done[b], &bufs.headers[b]);
    EXPECT_EQ(rec.threads[b], rec.threads[0]);
    EXPECT_NE(rec.threads[b], std::this_thread::get_id());
    EXPECT_EQ(bufs.headers[b].flags & (platform::WHDR_DONE | platform::WHDR_INQUEUE),
              platform::WHDR_DONE);
    EXPECT_TRUE(platform::WaveOutUnprepareHeader(dev, &bufs.headers[b]));
  }
  EXPECT_TRUE(platform::WaveOutClose(dev));
  ASSERT_GE(rec.messages.size(), 7u);
  EXPECT_EQ(rec.messages.front(), platform::WOM_OPEN);
  EXPECT_EQ(rec.messages.back(), platform::WOM_CLOSE);
}

TEST(WaveOut, RefusesUnknownDevicesAndFormatsItCannotPlay) {
  platform::HWaveOut dev = reinterpret_cast<platform::HWaveOut>(1);
  {
    DeviceEnv env("nonexistent_device");
    EXPECT_FALSE(platform::WaveOutOpen(&dev, Format(44100, 2, 16), nullptr, 0));
    EXPECT_EQ(dev, nullptr);
  }
  DeviceEnv env("null");
  platform::WaveFormat odd = Format(44100, 2, 12);
  EXPECT_FALSE(platform::WaveOutOpen(&dev, odd, nullptr, 0));
  platform::WaveFormat wrongAlign = Format(44100, 2, 16);
  wrongAlign.blockAlign = 3;
  EXPECT_FALSE(platform::WaveOutOpen(&dev, wrongAlign, nullptr, 0));
  platform::WaveFormat noChannels = Format(44100, 0, 16);
  EXPECT_FALSE(platform::WaveOutOpen(&dev, noChannels, nullptr, 0));
  platform::WaveFormat notPcm = Format(44100, 2, 16);
  notPcm.formatTag = 3;
  EXPECT_FALSE(platform::WaveOutOpen(&dev, notPcm, nullptr, 0));
  EXPECT_FALSE(platform::WaveOutWrite(nullptr, nullptr));
  EXPECT_FALSE(platform::WaveOutClose(nullptr));
}

TEST(WaveOut, ResetReturnsEveryQueuedBufferInOrderAndCloseRefusesUntilThen) {
  DeviceEnv env("null");
  Recorder rec;
  platform::HWaveOut dev = nullptr;
  ASSERT_TRUE(platform::WaveOutOpen(&dev, Format(44100, 2, 16), &Recorder::Proc,
                                    reinterpret_cast<std::uintptr_t>(&rec)));
  ASSERT_TRUE(platform::WaveOutPause(dev));
  Buffers bufs(4, 4410);
  WaveHeader unprepared = bufs.headers[0];
  unprepared.flags = 0;
  EXPECT_FALSE(platform::WaveOutWrite(dev, &unprepared));
  for (auto& h : bufs.headers) {
    ASSERT_TRUE(platform::WaveOutPrepareHeader(dev, &h));
    ASSERT_TRUE(platform::WaveOutWrite(dev, &h));
  }
  EXPECT_FALSE(platform::WaveOutWrite(dev, &bufs.headers[1])) << "already queued";
  EXPECT_FALSE(platform::WaveOutPrepareHeader(dev, &bufs.headers[1])) << "already queued";
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(rec.DoneCount(), 0u) << "nothing comes back while paused";
  EXPECT_FALSE(platform::WaveOutUnprepareHeader(dev, &bufs.headers[2]));
  EXPECT_FALSE(platform::WaveOutClose(dev));
  ASSERT_TRUE(platform::WaveOutReset(dev));
  ASSERT_EQ(rec.DoneCount(), 4u) << "Reset returns the buffers before it returns";
  for (int b = 0; b < 4; ++b) EXPECT_EQ(rec.done[b], &bufs.headers[b]);
  for (auto& h : bufs.headers) EXPECT_TRUE(platform::WaveOutUnprepareHeader(dev, &h));
  // The device is usable again after a reset, and no longer paused.
  ASSERT_TRUE(platform::WaveOutPrepareHeader(dev, &bufs.headers[0]));
  ASSERT_TRUE(platform::WaveOutWrite(dev, &bufs.headers[0]));
  ASSERT_TRUE(rec.WaitDone(5));
  EXPECT_TRUE(platform::WaveOutClose(dev));
}

// Reset while the device thread is busy returning buffers: every Reset returns promptly with
// every buffer back, and nothing comes back twice.
TEST(WaveOut, ResetRacingTheDeviceThreadReturnsPromptlyAndExactlyOnce) {
  DeviceEnv env("null");
  Recorder rec;
  platform::HWaveOut dev = nullptr;
  ASSERT_TRUE(platform::WaveOutOpen(&dev, Format(44100, 2, 16), &Recorder::Proc,
                                    reinterpret_cast<std::uintptr_t>(&rec)));
  Buffers bufs(3, 441);
  std::size_t expected = 0;
  double slowest = 0;
  for (int round = 0; round < 300; ++round) {
    for (auto& h : bufs.headers) {
      h.flags = 0;
      ASSERT_TRUE(platform::WaveOutPrepareHeader(dev, &h));
      ASSERT_TRUE(platform::WaveOutWrite(dev, &h));
    }
    expected += 3;
    if (round % 3 != 0) std::this_thread::sleep_for(std::chrono::microseconds(round % 50));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform::WaveOutReset(dev));
    slowest = std::max(
        slowest,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    ASSERT_EQ(rec.DoneCount(), expected) << "round " << round;
    for (auto& h : bufs.headers) ASSERT_TRUE(platform::WaveOutUnprepareHeader(dev, &h));
  }
  EXPECT_LT(slowest, 100.0) << "slowest Reset in ms";
  EXPECT_TRUE(platform::WaveOutClose(dev));
}

// The "file" device writes every frame it is handed to a raw file: what was played can be
// compared frame by frame with what was written, across a pause in the middle.
TEST(WaveOut, PauseAndRestartLoseAndRepeatNothing) {
  testing_support::TempDir dir;
  const std::string raw = dir.File("out.raw");
  DeviceEnv env("file:'" + raw + "',raw");
  Recorder rec;
  platform::HWaveOut dev = nullptr;
  ASSERT_TRUE(platform::WaveOutOpen(&dev, Format(44100, 2, 16), &Recorder::Proc,
                                    reinterpret_cast<std::uintptr_t>(&rec)));
  Buffers bufs(12, 4410);
  for (int b = 0; b < 12; ++b) {
    ASSERT_TRUE(platform::WaveOutPrepareHeader(dev, &bufs.headers[b]));
    ASSERT_TRUE(platform::WaveOutWrite(dev, &bufs.headers[b]));
    if (b == 5) {
      ASSERT_TRUE(platform::WaveOutPause(dev));
      std::this_thread::sleep_for(60ms);
      const std::size_t seen = rec.DoneCount();
      std::this_thread::sleep_for(150ms);
      EXPECT_EQ(rec.DoneCount(), seen) << "no buffer finishes while paused";
      ASSERT_TRUE(platform::WaveOutRestart(dev));
    }
  }
  ASSERT_TRUE(rec.WaitDone(12));
  ASSERT_TRUE(platform::WaveOutClose(dev));
  const std::vector<std::uint8_t> bytes = testing_support::ReadFileBytes(raw);
  ASSERT_GE(bytes.size(), 12u * 4410 * 4);
  const auto* frames = reinterpret_cast<const std::int16_t*>(bytes.data());
  for (int i = 0; i < 12 * 4410; ++i) {
    const int index = (frames[2 * i] & 0x7fff) | (frames[2 * i + 1] << 15);
    ASSERT_EQ(index, i) << "frame " << i;
  }
}

}  // namespace
