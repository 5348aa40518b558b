// Mp3Music end to end: files made by lame load into a cache equal to mpg123's gapless decode;
// our exports decode with mpg123 and ffprobe as asked; the decoder module is driven safely
// (one probe or decode at a time, a stop that never waits on the target); bad files fail at
// once or give what they hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codecs/encoder_settings.h"
#include "codecs/mp3/mp3_music.h"
#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "tests/support/mp3_media.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Interleaved 16-bit samples of a WAV file as ffmpeg reads them.
std::vector<std::int16_t> FfmpegSamples(const std::string& wav) {
  const std::string raw =
      RunCommand("ffmpeg -v error -i " + ShellQuote(wav) + " -f s16le - 2>/dev/null");
  std::vector<std::int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

// What mpg123 reports of an MP3 stream's frames and of its Xing/LAME header.
struct StreamFacts {
  std::set<std::string> modes, bitrates;  // of every frame: "Joint-Stereo"…, "128 kbit/s"…
  bool header = false;
  std::set<std::string> vbrMode, abrRate;  // the LAME tag's method (1 CBR, 2 ABR, 4 VBR), rate
};

StreamFacts Mpg123Facts(const std::string& mp3) {
  std::istringstream out(RunCommand("mpg123 -t -vvvv " + ShellQuote(mp3) + " 2>&1"));
  StreamFacts facts;
  // Adds to `found` what `line` holds between `before` and `after` (or its end).
  const auto pick = [](const std::string& line, const std::string& before, const char* after,
                       std::set<std::string>& found) {
    const std::size_t at = line.find(before);
    if (at == std::string::npos) return;
    const std::size_t from = at + before.size();
    found.insert(line.substr(from, line.find(after, from) - from));
  };
  for (std::string line; std::getline(out, line);) {
    pick(line, "mode: ", ",", facts.modes);
    pick(line, "Bitrate: ", " Extension", facts.bitrates);
    pick(line, "vbr mode ", "\n", facts.vbrMode);
    pick(line, "ABR rate = ", "\n", facts.abrRate);
    facts.header = facts.header || line.find("Xing/Lame/Info header detected") != std::string::npos;
  }
  return facts;
}

// Signal-to-noise ratio in dB of `decoded` against `reference` over their common length.
double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < std::min(reference.size(), decoded.size()); ++i) {
    signal += std::pow(reference[i], 2);
    noise += std::pow(reference[i] - decoded[i], 2);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// A target that counts what it receives and holds every WriteSamples call while `hold` is
// set, as a message box carried to the UI thread holds the decoder's thread.
class HeldTarget : public WavMusic {
 public:
  struct Counts {
    int writes = 0, closes = 0, writesAfterClose = 0;
    std::int64_t bytes = 0;
  };
  HeldTarget() : WavMusic("held") {}
  bool WriteSamples(const std::uint8_t*, std::int64_t length) override {
    std::unique_lock lock(mutex_);
    counts_ = {counts_.writes + 1, counts_.closes, counts_.writesAfterClose + counts_.closes,
               counts_.bytes + length};
    changed_.notify_all();
    changed_.wait_for(lock, 10s, [this] { return !hold_; });
    return true;
  }
  bool CloseWriter() override {
    std::lock_guard lock(mutex_);
    ++counts_.closes;
    changed_.notify_all();
    return true;
  }
  void Hold(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
    changed_.notify_all();
  }
  // The counts once `done` holds for them (after at most 20 s).
  Counts Wait(bool (*done)(const Counts&) = nullptr) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 20s, [&] { return done == nullptr || done(counts_); });
    return counts_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool hold_ = false;
  Counts counts_;
};

bool Written(const HeldTarget::Counts& c) { return c.writes > 0; }
bool Closed(const HeldTarget::Counts& c) { return c.closes > 0; }

class Mp3MusicTest : public ::testing::Test {
 protected:
  std::optional<MusicInfo> Probe(const std::string& path) {
    MusicInfo info;
    info.fileName = path;
    info.type = kMusicMp3;
    return ProbeMusicFile(info) ? std::optional(info) : std::nullopt;
  }
  // Decodes a probed file into a cache WAV as the load dialog does; the cache's samples.
  std::vector<std::int16_t> Load(const MusicInfo& info) {
    QueueTarget window;
    Mp3Music source(info.fileName);
    source.info = info;
    WavMusic cache(dir_.File("cache.wav"));
    cache.info = info;
    cache.info.type = kMusicWav;
    cache.progressWindow = &window;
    EXPECT_TRUE(cache.InitWriter() && source.StartConvert(&cache));
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, 60s).has_value());
    return FfmpegSamples(cache.path);
  }
  // Exports `seconds` of a tone WAV of `rate`/`channels`/`bits` through Mp3Music at
  // `bitrate`, as the split does (ConvertRange into the writer).
  std::string Export(const std::string& name, int channels, int bits, int bitrate, double seconds,
                     const MusicTag& tag = {}) {
    const std::string wav = dir_.File(name + ".wav");
    const auto frames = static_cast<std::int64_t>(seconds * 44100);
    const std::vector<std::int16_t> tone = ToneSamples(44100, channels, seconds);
    WriteWav(wav, 44100, channels, bits, frames, [&](std::int64_t f, int c) {
      const std::int16_t s = tone[static_cast<std::size_t>(f * channels + c)];
      return bits == 8 ? s / 256 + 128 : s;
    });
    WavMusic cache(wav);
    EXPECT_TRUE(cache.GetMusicInfo());
    const std::string out = dir_.File(name + ".mp3");
    QueueTarget window;
    Mp3Music writer(out);
    writer.info = cache.info;
    writer.info.type = kMusicMp3;
    writer.info.bitrate = bitrate;
    writer.info.tag = tag;
    writer.progressWindow = &window;
    EXPECT_TRUE(writer.InitWriter() && cache.ConvertRange(&writer, 0, frames, -1, -1));
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, 60s).has_value());
    EXPECT_FALSE(writer.writeFailed);
    return out;
  }

  TempDir dir_;
  RecordingMessageBox boxes_;
};

// Each case decodes right after the previous one ended, so decodes follow one another too.
TEST_F(Mp3MusicTest, LameFilesLoadIntoACacheEqualToMpg123sGaplessDecode) {
  const struct {
    const char* name;
    const char* lame;
    int rate, channels;  // of the source (lame may choose another rate)
    int bitrate;         // kbit/s announced for a constant bitrate; 0 for the others
  } cases[] = {
      {"cbr.mp3", "-b 128", 44100, 2, 128},
      {"vbr.mp3", "-V 2", 44100, 2, 0},
      {"abr.mp3", "--abr 96", 44100, 2, 0},
      {"mono.mp3", "-m m -b 64", 44100, 1, 64},
      {"mpeg2.mp3", "-b 64", 22050, 2, 64},
      {"tagged.mp3", "-b 160 --id3v2-utf16 --tt '标题' --ta 'Ärtist'", 48000, 2, 160},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string mp3 = MakeMp3(dir_, c.name, c.lame, c.rate, c.channels, 2.5);
    const std::vector<std::int16_t> expected = Mpg123Samples(mp3);
    ASSERT_FALSE(expected.empty());
    const std::optional<MusicInfo> probed = Probe(mp3);
    ASSERT_TRUE(probed) << ::testing::PrintToString(boxes_.Texts());
    const MusicInfo& info = *probed;
    EXPECT_EQ(info.sampleRate, std::stoi(Ffprobe(mp3, "sample_rate")));
    EXPECT_EQ(info.channels, std::stoi(Ffprobe(mp3, "channels")));
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(c.bitrate > 0 ? info.bitrate : 0, c.bitrate);
    EXPECT_GT(info.bitrate, 0);
    const auto frames = static_cast<std::int64_t>(expected.size()) / c.channels;
    EXPECT_NEAR(static_cast<double>(info.durationMs), frames * 1000.0 / info.sampleRate, 1.0);
    EXPECT_EQ(info.tag.title, Ffprobe(mp3, "format_tags=title"));
    EXPECT_EQ(info.tag.artist, Ffprobe(mp3, "format_tags=artist"));
    EXPECT_TRUE(Load(info) == expected) << "the cache differs from mpg123's decode";
  }
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(Mp3MusicTest, BadFilesFailTheProbeAtOnceAndDamagedOnesGiveWhatTheyHold) {
  const std::string good = MakeMp3(dir_, "good.mp3", "-b 128", 44100, 2, 3);
  const Bytes mp3 = ReadFileBytes(good);
  WriteToneWav(dir_.File("tone.wav"), 44100, 2, 1);
  Bytes noise(20000);
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<std::uint8_t>(i * 2654435761u >> 11);
  const auto before = [&mp3](Bytes head) {
    head.insert(head.end(), mp3.begin(), mp3.end());
    return head;
  };
  const struct {
    const char* name;
    Bytes bytes;
    bool loads;
  } cases[] = {
      {"empty", {}, false},
      {"text", Bytes(5000, 'x'), false},
      {"a wav", ReadFileBytes(dir_.File("tone.wav")), false},
      {"noise", noise, false},
      {"first half", Bytes(mp3.begin(), mp3.begin() + mp3.size() / 2), true},
      {"junk before the first frame", before(Bytes(3000, 'j')), true},
      {"id3 tag claiming 256 MiB", before({'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.File("bad.mp3");
    WriteFileBytes(path, c.bytes);
    boxes_.Clear();
    const auto start = Clock::now();
    const std::optional<MusicInfo> info = Probe(path);
    EXPECT_LT(Clock::now() - start, 2s);
    if (!c.loads) {
      EXPECT_FALSE(info);
      EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"获取 mp3 信息失败。 - " + path});
    } else if (info) {  // a tag's claim is not believed: whatever the outcome, it comes fast
      EXPECT_TRUE(Load(*info) == Mpg123Samples(path));
    }
  }
}

TEST_F(Mp3MusicTest, ExportsDecodeAtTheRequestedRateModeAndHeaderWithTheirTags) {
  const Mp3EncoderSettings defaults, wild{.stereoMode = 7, .encodingMode = 9, .vbrQuality = 40};
  const struct {
    const char* name;
    Mp3EncoderSettings settings;
    int channels, bits, bitrate;
    std::set<std::string> modes;
    const char* frameBitrate;                // what mpg123 reports per frame
    std::set<std::string> vbrMode, abrRate;  // from the LAME tag; none without it
  } cases[] = {
      {"cbr", defaults, 2, 16, 128, {"Joint-Stereo"}, "128 kbit/s", {"1"}, {}},
      {"stereo 192", {.stereoMode = 0}, 2, 16, 192, {"Stereo"}, "192 kbit/s", {"1"}, {}},
      {"no header", {.writeVbrHeader = 0}, 2, 16, 96, {"Joint-Stereo"}, "96 kbit/s", {}, {}},
      {"mono", {.stereoMode = 0}, 1, 16, 64, {"Single-Channel"}, "64 kbit/s", {"1"}, {}},
      {"abr", {.encodingMode = 2}, 2, 16, 128, {"Joint-Stereo"}, "128 kbit/s ABR", {"2"}, {"128"}},
      {"vbr", {.encodingMode = 1, .vbrQuality = 2}, 2, 16, 32, {"Joint-Stereo"}, "VBR", {"4"}, {}},
      {"8-bit source", defaults, 2, 8, 128, {"Joint-Stereo"}, "128 kbit/s", {"1"}, {}},
      {"out-of-range settings", wild, 2, 16, 128, {"Joint-Stereo"}, "128 kbit/s", {"1"}, {}},
  };
  const MusicTag tag = {"分割的歌", "歌手", "Album", "300", "2024", "Rock"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GlobalEncoderSettings().mp3 = c.settings;
    const std::string out = Export(c.name, c.channels, c.bits, c.bitrate, 2.0, tag);
    const StreamFacts facts = Mpg123Facts(out);
    EXPECT_EQ(facts.modes, c.modes);
    EXPECT_EQ(facts.bitrates, std::set<std::string>{c.frameBitrate});
    EXPECT_EQ(facts.header, !c.vbrMode.empty());
    EXPECT_EQ(facts.vbrMode, c.vbrMode);
    EXPECT_EQ(facts.abrRate, c.abrRate);
    // With the LAME tag the decode is gapless: the very samples exported, in place.
    if (facts.header) {
      const std::vector<std::int16_t> decoded = Mpg123Samples(out);
      EXPECT_EQ(decoded.size(), std::size_t{88200} * c.channels);
      EXPECT_GT(SnrDb(ToneSamples(44100, c.channels, 2.0), decoded), c.bits == 8 ? 10 : 15);
    }
    EXPECT_EQ(Ffprobe(out, "format_tags=title"), tag.title);
    EXPECT_EQ(Ffprobe(out, "format_tags=artist"), tag.artist);
    EXPECT_EQ(Ffprobe(out, "format_tags=track"), "300");
  }
  GlobalEncoderSettings().mp3 = defaults;
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(Mp3MusicTest, AStopDuringTheDecodeClosesTheTargetOnceAndNeverWaitsOnIt) {
  const std::string mp3 = MakeMp3(dir_, "long.mp3", "-b 128", 44100, 2, 20);
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "source destroyed" : "cancelled");
    HeldTarget target;
    target.Hold(true);
    auto source = std::make_unique<Mp3Music>(mp3);
    ASSERT_TRUE(source->StartConvert(&target));
    target.Wait(Written);
    // The target holds the decoder's thread now, as a message box would.
    const auto start = Clock::now();
    auto release = std::async(std::launch::async, [&] {
      std::this_thread::sleep_for(destroy ? 200ms : 0ms);
      if (!destroy) {
        EXPECT_TRUE(source->CancelConvert());
      }
      EXPECT_LT(Clock::now() - start, 1s) << "the cancel waited for the held target";
      target.Hold(false);
    });
    if (destroy) source.reset();  // waits until the target has been closed
    release.wait();
    EXPECT_EQ(target.Wait(Closed).closes, 1);
    std::this_thread::sleep_for(100ms);
    const HeldTarget::Counts counts = target.Wait();
    EXPECT_EQ(counts.closes, 1);
    EXPECT_EQ(counts.writesAfterClose, 0);
    EXPECT_LT(counts.bytes, 20 * 44100 * 4);
  }
}

TEST_F(Mp3MusicTest, ASecondProbeOrDecodeWhileOneRunsIsRefusedAndTheFirstCompletes) {
  const std::string first = MakeMp3(dir_, "first.mp3", "-b 128", 44100, 2, 3);
  const std::string second = MakeMp3(dir_, "second.mp3", "-b 128", 44100, 2, 1);
  HeldTarget target, other;
  target.Hold(true);
  auto source = std::make_unique<Mp3Music>(first);
  ASSERT_TRUE(source->StartConvert(&target));
  target.Wait(Written);

  EXPECT_FALSE(Probe(second));
  Mp3Music rival(second);
  EXPECT_FALSE(rival.StartConvert(&other));
  EXPECT_TRUE(rival.CancelConvert()) << "another object's cancel leaves the decode alone";
  EXPECT_EQ(boxes_.Texts(),
            (std::vector<std::string>{"MP3 解码器正忙(Mp3Music::GetMusicInfo) - " + second,
                                      "MP3 解码器正忙(Mp3Music::StartConvert) - " + second}));

  target.Hold(false);
  EXPECT_EQ(target.Wait(Closed).bytes, static_cast<std::int64_t>(Mpg123Samples(first).size()) * 2);
  EXPECT_EQ(other.Wait().closes, 0);
  source.reset();
  EXPECT_TRUE(Probe(second)) << "the engine is free again";
}

TEST(Mp3MusicFreshProcess, CancelBeforeAnyProbeReportsItsMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Run in a process of its own: the decoder engine starts once per process.
  EXPECT_EXIT(
      {
        RecordingMessageBox boxes;
        Mp3Music music("/nowhere/a.mp3");
        const bool cancelled = music.CancelConvert();
        const bool reported =
            boxes.Texts() ==
            std::vector<std::string>{"编码没有开始(Mp3Music::CancelConvert) - /nowhere/a.mp3"};
        std::exit(!cancelled && reported ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
