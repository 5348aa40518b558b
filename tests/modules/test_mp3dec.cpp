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

using namespace testing_support;
using mp3module::kEndOfStreamMessage;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

enum Call { kOpen, kInfo, kCanWrite, kWrite, kClose };

// The host: an output device recording every call the module makes (on its thread).
struct Host {
  std::mutex mutex;
  std::vector<Call> calls;
  std::vector<std::int16_t> pcm;
  int rate = 0, channels = 0, bits = 0, kbps = 0;
  int offer = 32768, write_delay_ms = 0;
  std::function<void()> on_first_write;
  QueueTarget window;

  std::vector<Call> Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
  // Milliseconds of `samples` interleaved samples.
  int Ms(std::size_t samples) const {
    return static_cast<int>(samples / static_cast<std::size_t>(channels) * 1000 / rate);
  }
  std::size_t Count(Call call) {
    const std::vector<Call> all = Calls();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), call));
  }
};
Host* host = nullptr;

// Records `call` and runs `body` on the host under its lock.
template <class Body>
auto Record(Call call, Body body) {
  std::lock_guard lock(host->mutex);
  host->calls.push_back(call);
  return body(*host);
}

int Open(int rate, int channels, int bits, int, int) {
  Record(kOpen, [&](Host& h) {
    h.rate = rate;
    h.channels = channels;
    h.bits = bits;
  });
  return 0;
}
void Info(int kbps, int, int, int) {
  Record(kInfo, [&](Host& h) { h.kbps = kbps; });
}
int CanWrite() {
  return Record(kCanWrite, [](Host& h) { return h.offer; });
}
int Write(char* buffer, int length) {
  const auto [first, delay] = Record(kWrite, [&](Host& h) {
    const auto* samples = reinterpret_cast<const std::int16_t*>(buffer);
    h.pcm.insert(h.pcm.end(), samples, samples + length / 2);
    const bool is_first = std::count(h.calls.begin(), h.calls.end(), kWrite) == 1;
    return std::pair{is_first ? h.on_first_write : nullptr, h.write_delay_ms};
  });
  if (first) first();
  std::this_thread::sleep_for(milliseconds(delay));
  return 0;
}
void Close() {
  Record(kClose, [](Host&) {});
}
int Zero() { return 0; }
int ZeroOf(int) { return 0; }

mp3module::OutputModule output = {0x10,    "test",  33,      nullptr, nullptr, nullptr,  nullptr,
                                  nullptr, nullptr, Open,    Close,   Write,   CanWrite, Zero,
                                  ZeroOf,  nullptr, nullptr, nullptr, Zero,    Zero};

mp3module::DecoderModule* LoadModule() {
  const std::string path = platform::ExecutableDir() + "/" + mp3module::kModuleFileName;
  void* library = dlopen(path.c_str(), RTLD_NOW);
  auto factory = library != nullptr
                     ? reinterpret_cast<mp3module::Factory>(dlsym(library, mp3module::kFactoryName))
                     : nullptr;
  mp3module::DecoderModule* module = factory != nullptr ? factory() : nullptr;
  if (module != nullptr) {
    module->set_info = Info;
    module->output = &output;
    module->init();
  }
  return module;
}

class Mp3DecoderModule : public testing::Test {
 protected:
  void SetUp() override {
    static mp3module::DecoderModule* loaded = LoadModule();
    ASSERT_NE(loaded, nullptr) << dlerror();
    module_ = loaded;
    NewHost();
  }
  void TearDown() override {
    if (module_ != nullptr) module_->stop();
  }
  void NewHost() {
    host_ = std::make_unique<Host>();
    host = host_.get();
    module_->host_window = &host->window;
  }
  bool Ended(milliseconds wait = std::chrono::seconds(30)) {
    return host->window.WaitFor(kEndOfStreamMessage, wait).has_value();
  }
  void WaitForCalls(Call call, std::size_t count) {
    for (const auto until = Clock::now() + std::chrono::seconds(20);
         host->Count(call) < count && Clock::now() < until;)
      std::this_thread::sleep_for(milliseconds(1));
  }

  // Decodes `path` to its end and compares what the module reports with the public tools.
  void ExpectDecodesAsPlayersDo(const std::string& path, int cbr_kbps = 0) {
    SCOPED_TRACE(path);
    NewHost();
    ASSERT_EQ(module_->play(path.c_str()), 0);
    ASSERT_TRUE(Ended());
    const std::vector<std::int16_t> expected = Mpg123Samples(path);
    EXPECT_EQ(std::to_string(host->rate) + "\n" + std::to_string(host->channels),
              Ffprobe(path, "sample_rate,channels"));
    EXPECT_EQ(host->bits, 16);
    if (cbr_kbps != 0) {
      EXPECT_EQ(host->kbps, cbr_kbps);
    }
    EXPECT_TRUE(!expected.empty() && host->pcm == expected)
        << host->pcm.size() << " samples, mpg123 gives " << expected.size();
    EXPECT_EQ(module_->get_length(), host->Ms(expected.size()));
    // Format and stream parameters before the first question for room; the output closed last.
    const std::vector<Call> calls = host->Calls();
    EXPECT_EQ(std::vector<Call>(calls.begin(), calls.begin() + 3),
              (std::vector<Call>{kOpen, kInfo, kCanWrite}));
    EXPECT_EQ(calls.back(), kClose);
  }

  mp3module::DecoderModule* module_ = nullptr;
  std::unique_ptr<Host> host_;
};

// CBR, mono and MPEG-2 files of LAME decode through this module in Mp3MusicTest.
TEST_F(Mp3DecoderModule, DecodesFilesOneAfterAnotherSampleForSampleAsMpg123) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* lame_args;
    int rate, channels, cbr_kbps;
  };
  for (const Case& c :
       {Case{"vbr.mp3", "-V 4", 44100, 2, 0}, Case{"vbr_joint.mp3", "-V 2 -m j", 48000, 2, 0},
        Case{"abr.mp3", "--abr 96", 32000, 2, 0}, Case{"mpeg25_mono.mp3", "-b 16", 8000, 1, 16},
        Case{"no_lame_tag.mp3", "-t -b 160", 44100, 2, 160},
        Case{"vbr_no_lame_tag.mp3", "-t -V 3", 44100, 2, 0}})
    ExpectDecodesAsPlayersDo(MakeMp3(dir, c.name, c.lame_args, c.rate, c.channels, 2.3),
                             c.cbr_kbps);
  // Files of other encoders.
  if (!std::filesystem::exists(RealTestFile("lame_cbr.mp3")))
    GTEST_SKIP() << "shared test data not found: " << RealTestFile("");
  for (const char* name : {"lame_cbr.mp3", "lame_vbr.mp3", "xing.mp3", "mpeg2.mp3", "bladeenc.mp3"})
    ExpectDecodesAsPlayersDo(RealTestFile(name));
}

TEST_F(Mp3DecoderModule, RefusesWhatIsNotMpegAudioAtOnce) {
  TempDir dir;
  std::vector<std::uint8_t> noise(200000);
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<std::uint8_t>(NoiseSample(static_cast<std::int64_t>(i), 0));
  // Two real frames (the tag frame and one of audio), then noise: not a stream.
  std::vector<std::uint8_t> two_frames =
      ReadFileBytes(MakeMp3(dir, "a.mp3", "-b 128", 44100, 2, 1));
  two_frames.resize(2 * 417);
  two_frames.insert(two_frames.end(), noise.begin(), noise.end());
  const std::string text = "Not an MP3 file, although its name ends in .mp3.\n";
  WriteFileBytes(dir.File("text.mp3"), {text.begin(), text.end()});
  WriteFileBytes(dir.File("empty.mp3"), {});
  WriteFileBytes(dir.File("noise.mp3"), noise);
  WriteFileBytes(dir.File("two_frames.mp3"), two_frames);
  WriteToneWav(dir.File("wave.mp3"), 44100, 2, 1.0);
  for (const char* name :
       {"text.mp3", "empty.mp3", "noise.mp3", "two_frames.mp3", "wave.mp3", "missing.mp3"}) {
    const auto start = Clock::now();
    EXPECT_NE(module_->play(dir.File(name).c_str()), 0) << name;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << name;
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
    NewHost();
    if (module_->play(RealTestFile(name).c_str()) != 0) continue;
    ASSERT_TRUE(Ended()) << name;
    // Exactly the length reported is delivered.
    EXPECT_EQ(module_->get_length(), host->Ms(host->pcm.size())) << name;
  }
}

TEST_F(Mp3DecoderModule, PauseHoldsAndStopEndsTheDecodeAtOnceAndNothingFollows) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "long.mp3", "-b 128", 44100, 2, 6.0);
  host->write_delay_ms = 20;
  ASSERT_EQ(module_->play(path.c_str()), 0);
  WaitForCalls(kWrite, 2);
  module_->pause();
  EXPECT_EQ(module_->is_paused(), 1);
  const std::size_t writes = host->Count(kWrite);
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_LE(host->Count(kWrite), writes + 1);  // one may have been under way
  module_->unpause();
  WaitForCalls(kWrite, writes + 2);
  const auto start = Clock::now();
  module_->stop();
  EXPECT_LT(Clock::now() - start, milliseconds(500));
  const std::vector<Call> at_stop = host->Calls();
  EXPECT_EQ(at_stop.back(), kClose);
  EXPECT_FALSE(Ended(milliseconds(200)));
  EXPECT_EQ(host->Calls(), at_stop);
}

TEST_F(Mp3DecoderModule, APlayHeldBackByTheHostRefusesASecondPlay) {
  TempDir dir;
  const std::string first = MakeMp3(dir, "first.mp3", "-b 128", 44100, 2, 1.0);
  const std::string second = MakeMp3(dir, "second.mp3", "-m m -b 64", 22050, 1, 1.5);
  host->offer = 0;  // as while probing: no room, the module keeps asking
  ASSERT_EQ(module_->play(first.c_str()), 0);
  WaitForCalls(kCanWrite, 3);
  EXPECT_NE(module_->play(second.c_str()), 0);
  EXPECT_EQ(module_->get_length(),
            static_cast<int>(Mpg123Samples(first).size() / 2 * 1000 / 44100));
  EXPECT_EQ(host->Count(kWrite), 0u);
  EXPECT_EQ(host->Count(kOpen), 1u);
  module_->stop();
  ExpectDecodesAsPlayersDo(second);
}

TEST_F(Mp3DecoderModule, AStopFromInsideWriteEndsQuietlyAndTheNextPlayRuns) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "a.mp3", "-b 96", 44100, 2, 2.0);
  host->on_first_write = [this] { module_->stop(); };
  ASSERT_EQ(module_->play(path.c_str()), 0);
  WaitForCalls(kClose, 1);
  EXPECT_EQ(host->Count(kWrite), 1u);
  EXPECT_FALSE(Ended(milliseconds(200)));
  ExpectDecodesAsPlayersDo(path, 96);
}

}  // namespace
