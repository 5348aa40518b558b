// The MP3 decoder module loaded as the program loads it (bin/mp3decdll.so), driven through its
// record by a recording host, and compared with mpg123's gapless decode and ffprobe.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "modules/mp3dec/mp3_module.h"
#include "platform/paths.h"
#include "tests/support/mp3_media.h"
#include "tests/support/queue_target.h"
#include "tests/support/test_files.h"

using namespace testing_support;
using mp3module::DecoderModule;
using mp3module::kEndOfStreamMessage;
using mp3module::OutputModule;
using Clock = std::chrono::steady_clock;

namespace {

enum class Call { kOpen, kInfo, kCanWrite, kWrite, kFlush, kClose };

// The host side: an output device that records every call the module makes and keeps the PCM.
struct Host {
  std::mutex mutex;
  std::vector<Call> calls;
  std::vector<std::int16_t> pcm;
  std::size_t pcm_at_flush = 0;
  int rate = 0, channels = 0, bits = 0, info_kbps = 0, info_channels = 0;
  int offer = 32768;
  int write_delay_ms = 0;
  std::function<void()> on_first_write;
  QueueTarget window;

  void Record(Call call) {
    std::lock_guard lock(mutex);
    calls.push_back(call);
  }
  std::vector<Call> Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
  std::size_t Count(Call call) {
    std::lock_guard lock(mutex);
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
  }
};

Host* host = nullptr;

int Open(int rate, int channels, int bits, int, int) {
  host->Record(Call::kOpen);
  std::lock_guard lock(host->mutex);
  host->rate = rate;
  host->channels = channels;
  host->bits = bits;
  return 0;
}
void Info(int kbps, int, int channels, int) {
  host->Record(Call::kInfo);
  std::lock_guard lock(host->mutex);
  host->info_kbps = kbps;
  host->info_channels = channels;
}
int CanWrite() {
  host->Record(Call::kCanWrite);
  std::lock_guard lock(host->mutex);
  return host->offer;
}
int Write(char* buffer, int length) {
  std::function<void()> first;
  int delay = 0;
  {
    std::lock_guard lock(host->mutex);
    const bool is_first = std::count(host->calls.begin(), host->calls.end(), Call::kWrite) == 0;
    host->calls.push_back(Call::kWrite);
    const auto* samples = reinterpret_cast<const std::int16_t*>(buffer);
    host->pcm.insert(host->pcm.end(), samples, samples + length / 2);
    if (is_first) first = host->on_first_write;
    delay = host->write_delay_ms;
  }
  if (first) first();
  std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  return 0;
}
void Flush(int) {
  host->Record(Call::kFlush);
  std::lock_guard lock(host->mutex);
  host->pcm_at_flush = host->pcm.size();
}
void Close() { host->Record(Call::kClose); }
int Zero() { return 0; }
int ZeroOf(int) { return 0; }

OutputModule output = {0x10,    "test output", 33,      nullptr, nullptr, nullptr,  nullptr,
                       nullptr, nullptr,       Open,    Close,   Write,   CanWrite, Zero,
                       ZeroOf,  nullptr,       nullptr, Flush,   Zero,    Zero};

DecoderModule* LoadModule() {
  const std::string path = platform::ExecutableDir() + "/" + mp3module::kModuleFileName;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  auto factory = reinterpret_cast<mp3module::Factory>(dlsym(library, mp3module::kFactoryName));
  return factory != nullptr ? factory() : nullptr;
}

class Mp3DecoderModule : public testing::Test {
 protected:
  void SetUp() override {
    static DecoderModule* loaded = [] {
      DecoderModule* m = LoadModule();
      if (m != nullptr) {
        m->set_info = Info;
        m->output = &output;
        m->init();
      }
      return m;
    }();
    ASSERT_NE(loaded, nullptr) << dlerror();
    module_ = loaded;
    fresh_ = std::make_unique<Host>();
    host = fresh_.get();
    module_->host_window = &host->window;
  }
  void TearDown() override {
    if (module_ != nullptr) module_->stop();
  }

  // Plays `path` to its end; false when play refused it or the end was never posted.
  bool PlayToEnd(const std::string& path) {
    if (module_->play(path.c_str()) != 0) return false;
    return host->window.WaitFor(kEndOfStreamMessage, std::chrono::seconds(30)).has_value();
  }

  void WaitForCalls(Call call, std::size_t count) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (host->Count(call) < count && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  // Decodes `path` and compares everything the module reports with the public tools.
  void ExpectDecodesAsPlayersDo(const std::string& path, int cbr_kbps = 0) {
    SCOPED_TRACE(path);
    fresh_ = std::make_unique<Host>();
    host = fresh_.get();
    module_->host_window = &host->window;
    ASSERT_TRUE(PlayToEnd(path));
    const std::vector<std::int16_t> expected = Mpg123Samples(path);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(std::to_string(host->rate) + "\n" + std::to_string(host->channels),
              Ffprobe(path, "sample_rate,channels"));
    EXPECT_EQ(host->bits, 16);
    EXPECT_EQ(host->info_channels, host->channels);
    if (cbr_kbps != 0) {
      EXPECT_EQ(host->info_kbps, cbr_kbps);
    }
    EXPECT_EQ(host->pcm.size(), expected.size());
    EXPECT_TRUE(host->pcm == expected) << "samples differ from mpg123's";
    const std::int64_t frames = static_cast<std::int64_t>(expected.size()) / host->channels;
    EXPECT_EQ(module_->get_length(), frames * 1000 / host->rate);
    // The format and the stream parameters come before the first question for room; the
    // output is closed last.
    const std::vector<Call> calls = host->Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], Call::kOpen);
    EXPECT_EQ(calls[1], Call::kInfo);
    EXPECT_EQ(calls[2], Call::kCanWrite);
    EXPECT_EQ(calls.back(), Call::kClose);
  }

  DecoderModule* module_ = nullptr;
  std::unique_ptr<Host> fresh_;
};

TEST_F(Mp3DecoderModule, DecodesLameFilesSampleForSampleAsMpg123) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* lame_args;
    int rate;
    int channels;
    int cbr_kbps;
  };
  const Case cases[] = {
      {"cbr.mp3", "-b 128", 44100, 2, 128},
      {"vbr.mp3", "-V 4", 44100, 2, 0},
      {"vbr_new_joint.mp3", "-V 2 --vbr-new -m j", 48000, 2, 0},
      {"abr.mp3", "--abr 96", 32000, 2, 0},
      {"mono.mp3", "-m m -b 64", 44100, 1, 64},
      {"mpeg2.mp3", "-b 64", 22050, 2, 64},
      {"mpeg25_mono.mp3", "-b 16", 8000, 1, 16},
      {"no_lame_tag.mp3", "-t -b 160", 44100, 2, 160},
      {"vbr_no_lame_tag.mp3", "-t -V 3", 44100, 2, 0},
  };
  // One module, one file after another.
  for (const Case& c : cases)
    ExpectDecodesAsPlayersDo(MakeMp3(dir, c.name, c.lame_args, c.rate, c.channels, 2.3),
                             c.cbr_kbps);
}

TEST_F(Mp3DecoderModule, DecodesFilesOfOtherEncoders) {
  if (!std::filesystem::exists(RealTestFile("lame_cbr.mp3")))
    GTEST_SKIP() << "shared test data not found: " << RealTestFile("");
  for (const char* name : {"lame_cbr.mp3", "lame_vbr.mp3", "xing.mp3", "mpeg2.mp3", "bladeenc.mp3"})
    ExpectDecodesAsPlayersDo(RealTestFile(name));
}

TEST_F(Mp3DecoderModule, RefusesWhatIsNotMpegAudioAtOnce) {
  TempDir dir;
  const std::string good = MakeMp3(dir, "good.mp3", "-b 128", 44100, 2, 1.0);
  WriteToneWav(dir.File("wave.mp3"), 44100, 2, 1.0);
  std::vector<std::uint8_t> random(200000);
  for (std::size_t i = 0; i < random.size(); ++i)
    random[i] = static_cast<std::uint8_t>(NoiseSample(static_cast<std::int64_t>(i), 0));
  // Two real frames (the tag frame and one of audio) followed by noise: not a stream.
  std::vector<std::uint8_t> two_frames = ReadFileBytes(good);
  two_frames.resize(2 * 417);
  two_frames.insert(two_frames.end(), random.begin(), random.end());
  const std::string text = "This is not an MP3 file, although its name ends in .mp3.\n";
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
      {"text.mp3", std::vector<std::uint8_t>(text.begin(), text.end())},
      {"empty.mp3", {}},
      {"random.mp3", random},
      {"two_frames_then_noise.mp3", two_frames},
  };
  for (const auto& [name, bytes] : files) WriteFileBytes(dir.File(name), bytes);
  for (const char* name : {"text.mp3", "empty.mp3", "random.mp3", "two_frames_then_noise.mp3",
                           "wave.mp3", "missing.mp3"}) {
    SCOPED_TRACE(name);
    const auto start = Clock::now();
    EXPECT_NE(module_->play(dir.File(name).c_str()), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  }
  EXPECT_TRUE(host->Calls().empty());
  EXPECT_TRUE(host->window.All().empty());
}

TEST_F(Mp3DecoderModule, HostileFilesEndWithWhatTheyHoldOrAreRefused) {
  if (!std::filesystem::exists(RealTestFile("garbage.mp3")))
    GTEST_SKIP() << "shared test data not found: " << RealTestFile("");
  for (const char* name : {"garbage.mp3", "invalid-frames1.mp3", "invalid-frames2.mp3",
                           "invalid-frames3.mp3", "excessive_alloc.mp3", "compressed_id3_frame.mp3",
                           "extended-header.mp3", "id3v22-tda.mp3"}) {
    SCOPED_TRACE(name);
    fresh_ = std::make_unique<Host>();
    host = fresh_.get();
    module_->host_window = &host->window;
    if (module_->play(RealTestFile(name).c_str()) != 0) continue;
    ASSERT_TRUE(host->window.WaitFor(kEndOfStreamMessage, std::chrono::seconds(30)));
    // What was decoded is exactly the length reported.
    const auto frames = static_cast<std::int64_t>(host->pcm.size()) / host->channels;
    EXPECT_EQ(module_->get_length(), frames * 1000 / host->rate);
  }
}

TEST_F(Mp3DecoderModule, StopEndsTheDecodeAtOnceAndNothingFollows) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "long.mp3", "-b 128", 44100, 2, 6.0);
  host->write_delay_ms = 20;
  ASSERT_EQ(module_->play(path.c_str()), 0);
  WaitForCalls(Call::kWrite, 2);
  const auto start = Clock::now();
  module_->stop();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  const std::vector<Call> at_stop = host->Calls();
  ASSERT_FALSE(at_stop.empty());
  EXPECT_EQ(at_stop.back(), Call::kClose);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(host->Calls().size(), at_stop.size());
  EXPECT_TRUE(host->window.All().empty());
}

TEST_F(Mp3DecoderModule, APlayHeldBackByTheHostRefusesASecondPlay) {
  TempDir dir;
  const std::string first = MakeMp3(dir, "first.mp3", "-b 128", 44100, 2, 1.0);
  const std::string second = MakeMp3(dir, "second.mp3", "-m m -b 64", 22050, 1, 1.5);
  host->offer = 0;  // as while probing: no room, the module keeps asking
  ASSERT_EQ(module_->play(first.c_str()), 0);
  WaitForCalls(Call::kCanWrite, 3);
  EXPECT_NE(module_->play(second.c_str()), 0);
  EXPECT_EQ(module_->get_length(),
            static_cast<int>(Mpg123Samples(first).size() / 2 * 1000 / 44100));
  EXPECT_EQ(host->Count(Call::kWrite), 0u);
  EXPECT_EQ(host->Count(Call::kOpen), 1u);
  module_->stop();
  ExpectDecodesAsPlayersDo(second);
}

TEST_F(Mp3DecoderModule, AStopFromInsideWriteEndsQuietlyAndTheNextPlayRuns) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "a.mp3", "-b 96", 44100, 2, 2.0);
  host->on_first_write = [this] { module_->stop(); };
  ASSERT_EQ(module_->play(path.c_str()), 0);
  WaitForCalls(Call::kClose, 1);
  EXPECT_EQ(host->Count(Call::kWrite), 1u);
  EXPECT_FALSE(host->window.WaitFor(kEndOfStreamMessage, std::chrono::milliseconds(200)));
  ExpectDecodesAsPlayersDo(path, 96);
}

TEST_F(Mp3DecoderModule, PauseHoldsTheDecodeAndASeekContinuesAtTheExactSample) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "seek.mp3", "-V 5", 44100, 2, 3.0);
  host->write_delay_ms = 5;
  host->on_first_write = [this] { module_->set_output_time(1500); };
  ASSERT_EQ(module_->play(path.c_str()), 0);
  WaitForCalls(Call::kFlush, 1);
  module_->pause();
  EXPECT_EQ(module_->is_paused(), 1);
  const std::size_t writes = host->Count(Call::kWrite);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(host->Count(Call::kWrite), writes + 1);
  module_->unpause();
  ASSERT_TRUE(host->window.WaitFor(kEndOfStreamMessage, std::chrono::seconds(30)));
  const std::vector<std::int16_t> expected = Mpg123Samples(path);
  const std::size_t from = 1500 * 44100 / 1000 * 2;
  ASSERT_LT(from, expected.size());
  const std::vector<std::int16_t> after(host->pcm.begin() + host->pcm_at_flush, host->pcm.end());
  EXPECT_TRUE(after == std::vector<std::int16_t>(expected.begin() + from, expected.end()))
      << after.size() << " samples after the seek, " << expected.size() - from << " expected";
}

}  // namespace
