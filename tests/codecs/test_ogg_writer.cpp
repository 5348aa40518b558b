// The Ogg Vorbis writer fed as an export feeds it (a range of a cache), checked with ogginfo,
// oggdec, ffprobe and vorbiscomment: valid streams of the right length, the comments in order,
// the bitrate limits honoured as oggenc honours them; refused sources say why and still
// complete once.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/encoder_settings.h"
#include "codecs/ogg/ogg_music.h"
#include "codecs/wav/wav_music.h"
#include "tests/support/ogg_tools.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

using Texts = std::vector<std::string>;

struct Source {
  int channels, rate, bitrate;
  std::int64_t frames;
  Texts tag;
  OggEncoderSettings limits;
  int bits = 16;  // of the cache; the writer takes it repacked to 16 bits
};

struct Exported {
  bool initialised = false;
  Texts messages;  // without " - <path>"
  std::vector<PostedMessage> posted;
  bool writeFailed = false;
};

// Two slowly drifting tones over soft noise: an encoder spends on it what it spends on music.
std::int32_t ToneSample(std::int64_t frame, int channel) {
  const double t = static_cast<double>(frame) / 44100;
  const double tones = 0.3 * std::sin(2 * M_PI * (220 + 3 * channel) * t) +
                       0.2 * std::sin(2 * M_PI * 331 * t * (1 + 0.01 * std::sin(2 * M_PI * 5 * t)));
  return static_cast<std::int32_t>(tones * 32767 + NoiseSample(frame, channel) / 12);
}

// Writes a cache of `source` at dir/cache.wav and exports all of it to `out`.
Exported Export(const TempDir& dir, const std::string& out, const Source& source) {
  RecordingMessageBox boxes;
  GlobalEncoderSettings().ogg = source.limits;
  const std::string cachePath = dir.File("cache.wav");
  WriteWav(cachePath, source.rate, source.channels, source.bits, source.frames,
           [&](std::int64_t frame, int channel) {
             return ToneSample(frame, channel) << (source.bits - 16);
           });
  Exported exported;
  QueueTarget window;
  OggMusic writer(out);
  WavMusic cache(cachePath);  // destroyed first: its worker uses the writer
  EXPECT_TRUE(cache.GetMusicInfo());
  writer.info = cache.info;
  writer.info.bitrate = source.bitrate;
  const Texts& t = source.tag;
  writer.info.tag = {t[0], t[1], t[2], t[3], t[4], t[5]};
  writer.progressWindow = &window;
  exported.initialised = writer.InitWriter();
  if (exported.initialised) {
    EXPECT_TRUE(cache.ConvertRange(&writer, 0, source.frames, -1, -1));
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
  }
  exported.posted = window.All();
  exported.writeFailed = writer.writeFailed;
  for (const std::string& text : boxes.Texts())
    exported.messages.push_back(text.substr(0, text.rfind(" - " + out)));
  return exported;
}

// The kbit/s ogginfo gives after `label` ("Upper bitrate: "); -1 when it says "not set".
double OgginfoKbps(const std::string& report, const std::string& label) {
  const std::size_t at = report.find(label);
  return at == std::string::npos ? -1 : std::atof(report.c_str() + at + label.size());
}

// The average kbit/s of what `oggenc --managed` makes of `wav` at `bitrate` within `limits`.
double OggencAverageKbps(const std::string& wav, int bitrate, const OggEncoderSettings& limits) {
  const std::string ogg = wav + ".oggenc.ogg";
  std::string options = "--managed -b " + std::to_string(bitrate);
  if (limits.maxBitrate > 0) options += " -M " + std::to_string(limits.maxBitrate);
  if (limits.minBitrate > 0) options += " -m " + std::to_string(limits.minBitrate);
  RunCommand("oggenc -Q " + options + " -o " + ShellQuoted(ogg) + " " + ShellQuoted(wav));
  return OgginfoKbps(RunCommand("ogginfo " + ShellQuoted(ogg)), "Average bitrate: ");
}

TEST(OggWriter, ExportsPassTheToolsWithTheirLengthCommentsAndBitrateLimitsOrSayWhy) {
  const Texts none(6);
  const std::string encoder = "ENCODER=Tonewright Suite";
  struct Case {
    Source source;
    Texts comments;
    int side;  // where the average bitrate lies against the nominal one: -1 below, 1 above
    const char* refusal = nullptr;  // the message of a refused source
    bool initialised = true;        // false: refused at the start, not at the first samples
  };
  const Case cases[] = {
      {{2, 44100, 128, 44100 * 5 + 321, {"标题", "歌手", "专辑", "3", "2024", "摇滚"}, {}},
       {"TITLE=标题", "ARTIST=歌手", "ALBUM=专辑", "TRACKNUMBER=3", "GENRE=摇滚", "DATE=2024",
        encoder},
       0},
      {{1, 48000, 96, 48000 * 4, {"", "", "", "", "2024", ""}, {}, 24}, {"DATE=2024", encoder}, 0},
      {{2, 44100, 128, 44100 * 20, none, {96, -1}}, {encoder}, -1},
      {{2, 44100, 128, 44100 * 20, none, {-1, 160}}, {encoder}, 1},
      {{2, 44100, 128, 44100 * 2, {"a\xff", "", "", "", "", ""}, {96, 64}},
       {"TITLE=a\uFFFD", encoder},
       0},
      {{2, 44100, 128, 0, none, {}}, {encoder}, 0},  // an empty range
      {{3, 44100, 128, 44100 * 2, none, {}}, {}, 0, "写入 Ogg 失败。"},
      {{2, 44100, 32, 44100 * 2, none, {}}, {}, 0, "初始 ogg 编码失败。", false},
  };
  for (const Case& c : cases) {
    const Source& s = c.source;
    SCOPED_TRACE(std::to_string(s.channels) + " " + std::to_string(s.frames) + " " +
                 std::to_string(s.bitrate));
    TempDir dir;
    const std::string out = dir.File("out.ogg");
    const Exported exported = Export(dir, out, s);
    EXPECT_EQ(exported.messages, c.refusal ? Texts{c.refusal} : Texts{});
    ASSERT_EQ(exported.initialised, c.initialised);
    if (!c.initialised) {
      EXPECT_FALSE(std::filesystem::exists(out));
      continue;
    }
    EXPECT_EQ(exported.writeFailed, c.refusal != nullptr);
    int status = 0;
    const std::string report = RunCommand("ogginfo " + ShellQuoted(out) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << report;  // even a refused stream is ended
    if (c.refusal) {
      ASSERT_EQ(exported.posted.size(), 1u) << "one completion and no progress";
      EXPECT_EQ(exported.posted[0].msg, WM_MUSIC_DONE);
      continue;
    }
    EXPECT_EQ(report.find("WARNING"), std::string::npos) << report;
    EXPECT_EQ(DecodeWithOggdec(out).value_or(Bytes{1}).size(), s.frames * 2 * s.channels);
    EXPECT_EQ(ListComments(out), c.comments);
    EXPECT_EQ(OgginfoKbps(report, "Upper bitrate: "), s.limits.maxBitrate);
    EXPECT_EQ(OgginfoKbps(report, "Lower bitrate: "), s.limits.minBitrate);
    const std::string duration = RunCommand(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuoted(out));
    EXPECT_NEAR(std::atof(duration.c_str()), double(s.frames) / s.rate, 1e-3) << duration;
    if (s.frames == 0) continue;
    const double average = OgginfoKbps(report, "Average bitrate: ");
    EXPECT_NEAR(average, OggencAverageKbps(dir.File("cache.wav"), s.bitrate, s.limits),
                average / 100);
    if (c.side != 0) {
      EXPECT_EQ(average > s.bitrate ? 1 : -1, c.side) << average;
    }
  }
}

}  // namespace
