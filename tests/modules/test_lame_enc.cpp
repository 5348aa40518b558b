// The MP3 encoder interface: what it writes is read back by mpg123 and ffprobe.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modules/lame_enc/lame_enc.h"
#include "tests/support/mp3_media.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

constexpr std::size_t kChunkBytes = 32768;  // what the decode pipelines hand a writer

BE_CONFIG LameConfig(int rate, int mode, int kbps) {
  BE_CONFIG config;
  std::memset(&config, 0, sizeof config);
  config.dwConfig = BE_CONFIG_LAME;
  auto& c = config.format.LHV1;
  c.dwStructVersion = 1;
  c.dwStructSize = sizeof config;
  c.dwSampleRate = static_cast<std::uint32_t>(rate);
  c.dwReSampleRate = static_cast<std::uint32_t>(rate);
  c.nMode = mode;
  c.dwBitrate = static_cast<std::uint32_t>(kbps);
  c.dwMaxBitrate = 320;
  c.nVbrMethod = VBR_METHOD_NONE;
  c.nQuality = 5;
  return config;
}

// What mpg123 says about the first frame and the stream.
struct Mpg123View {
  std::string summary;  // e.g. "MPEG 1.0 L III cbr128 44100 j-s"
  std::string mode;     // "Joint-Stereo", "Stereo", "Single-Channel"
  bool copyright = false, original = false, crc = false, info_header = false;
};

// The text after `marker` in `text`, up to the first character in `stop`.
std::string After(const std::string& text, const std::string& marker, const char* stop) {
  const std::size_t at = text.find(marker);
  if (at == std::string::npos) return "";
  const std::size_t from = at + marker.size();
  return text.substr(from, text.find_first_of(stop, from) - from);
}

Mpg123View Describe(const std::string& path) {
  Mpg123View view;
  const std::string brief = RunCommand("mpg123 -t -v " + ShellQuote(path) + " 2>&1");
  const std::string line = After(brief, "\nMPEG ", "\n>");
  view.summary = line.empty() ? "" : "MPEG " + line.substr(0, line.find_last_not_of(' ') + 1);
  const std::string detail = RunCommand("mpg123 -t -vv " + ShellQuote(path) + " 2>&1");
  view.mode = After(detail, "mode: ", ",");
  view.copyright = detail.find("copyright: Yes") != std::string::npos;
  view.original = detail.find("original: Yes") != std::string::npos;
  view.crc = detail.find("CRC: Yes") != std::string::npos;
  view.info_header = detail.find("Xing/Lame/Info header detected") != std::string::npos;
  return view;
}

// The private bit of the first audio frame header (after the ID3v2 tag and the header frame).
bool PrivateBit(const std::vector<std::uint8_t>& file, bool header_frame) {
  std::size_t at = 0;
  int frames = header_frame ? 1 : 0;
  while (at + 4 <= file.size()) {
    if (file[at] == 0xFF && (file[at + 1] & 0xE0) == 0xE0 && frames-- == 0)
      return (file[at + 2] & 0x01) != 0;
    if (file[at] == 0xFF && (file[at + 1] & 0xE0) == 0xE0) at += 4;
    ++at;
  }
  return false;
}

struct Stream {
  std::string path;
  std::vector<std::int16_t> input;
  HBE_STREAM handle = nullptr;
  std::uint32_t chunk_samples = 0;
  std::size_t fed = 0;
  std::vector<std::uint8_t> out;
};

}  // namespace

TEST(LameEncoderInterface, WritesWhatTheConfigurationAsksForWithManyStreamsOpen) {
  TempDir dir;
  struct Case {
    const char* name;
    int channels;
    int rate;
    BE_CONFIG config;
    const char* summary;
    const char* mode;
    int out_rate;
    bool bits;
  };
  const auto with = [](BE_CONFIG c, auto change) {
    change(c.format.LHV1);
    return c;
  };
  using L = decltype(BE_CONFIG::format.LHV1)&;
  const std::vector<Case> cases = {
      {"cbr_joint.mp3", 2, 44100,
       with(LameConfig(44100, BE_MP3_MODE_JSTEREO, 128), [](L c) { c.bWriteVBRHeader = 1; }),
       "MPEG 1.0 L III cbr128 44100 j-s", "Joint-Stereo", 44100, false},
      {"cbr_mono_no_header.mp3", 1, 44100, LameConfig(44100, BE_MP3_MODE_MONO, 64),
       "MPEG 1.0 L III cbr64 44100 mono", "Single-Channel", 44100, false},
      {"vbr_new.mp3", 2, 48000,
       with(LameConfig(48000, BE_MP3_MODE_STEREO, 32),
            [](L c) {
              c.bEnableVBR = 1;
              c.nVbrMethod = VBR_METHOD_NEW;
              c.nVBRQuality = 2;
              c.bWriteVBRHeader = 1;
            }),
       "MPEG 1.0 L III vbr 48000 stereo", "Stereo", 48000, false},
      {"vbr_old_no_header.mp3", 2, 44100,
       with(LameConfig(44100, BE_MP3_MODE_JSTEREO, 64),
            [](L c) {
              c.bEnableVBR = 1;
              c.nVbrMethod = VBR_METHOD_OLD;
              c.nVBRQuality = 6;
              c.dwMaxBitrate = 160;
            }),
       "", "Joint-Stereo", 44100, false},
      {"abr.mp3", 2, 44100,
       with(LameConfig(44100, BE_MP3_MODE_JSTEREO, 160),
            [](L c) {
              c.bEnableVBR = 1;
              c.nVbrMethod = VBR_METHOD_ABR;
              c.dwVbrAbr_bps = 160000;
              c.bWriteVBRHeader = 1;
            }),
       "MPEG 1.0 L III abr160 44100 j-s", "Joint-Stereo", 44100, false},
      {"resampled_bits.mp3", 2, 44100,
       with(LameConfig(44100, BE_MP3_MODE_JSTEREO, 64),
            [](L c) {
              c.dwReSampleRate = 22050;
              c.bCopyright = c.bCRC = c.bOriginal = c.bPrivate = 1;
              c.bWriteVBRHeader = 1;
              c.nPreset = LQP_VERYHIGH_QUALITY;
            }),
       "MPEG 2.0 L III cbr64 22050 j-s", "Joint-Stereo", 22050, true},
      {"dual_channel.mp3", 2, 32000,
       with(LameConfig(32000, BE_MP3_MODE_DUALCHANNEL, 96), [](L c) { c.nPreset = LQP_R3MIX; }),
       "MPEG 1.0 L III cbr96 32000 stereo", "Stereo", 32000, false},
      // A rate MPEG audio cannot carry: the encoder picks one instead of failing.
      {"from_96k.mp3", 2, 96000, LameConfig(96000, BE_MP3_MODE_JSTEREO, 128), "", "Joint-Stereo",
       48000, false},
      {"voice.mp3", 1, 16000,
       with(LameConfig(16000, BE_MP3_MODE_MONO, 32), [](L c) { c.nPreset = LQP_VOICE_QUALITY; }),
       "MPEG 2.0 L III cbr32 16000 mono", "Single-Channel", 16000, false},
  };

  std::vector<Stream> streams(cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Stream& s = streams[i];
    s.path = dir.File(cases[i].name);
    s.input = ToneSamples(cases[i].rate, cases[i].channels, 2.0);
    std::uint32_t buffer_size = 0;
    ASSERT_EQ(beInitStream(&cases[i].config, &s.chunk_samples, &buffer_size, &s.handle),
              BE_ERR_SUCCESSFUL)
        << cases[i].name;
    EXPECT_EQ(s.chunk_samples % cases[i].channels, 0u);
  }
  // All streams open at once, fed in turns.
  std::vector<std::uint8_t> buffer(65536);
  for (bool more = true; more;) {
    more = false;
    for (Stream& s : streams) {
      const std::size_t n = std::min(kChunkBytes / 2, s.input.size() - s.fed);
      std::uint32_t produced = 0;
      ASSERT_EQ(beEncodeChunk(s.handle, static_cast<std::uint32_t>(n), s.input.data() + s.fed,
                              buffer.data(), &produced),
                BE_ERR_SUCCESSFUL);
      s.out.insert(s.out.end(), buffer.begin(), buffer.begin() + produced);
      s.fed += n;
      more = more || s.fed < s.input.size();
    }
  }
  for (Stream& s : streams) {
    std::uint32_t produced = 0;
    ASSERT_EQ(beDeinitStream(s.handle, buffer.data(), &produced), BE_ERR_SUCCESSFUL);
    s.out.insert(s.out.end(), buffer.begin(), buffer.begin() + produced);
    EXPECT_EQ(beCloseStream(s.handle), BE_ERR_SUCCESSFUL);
    WriteFileBytes(s.path, s.out);
  }
  // Headers are matched to their files whatever the order.
  for (auto s = streams.rbegin(); s != streams.rend(); ++s)
    EXPECT_EQ(beWriteVBRHeader(s->path.c_str()), BE_ERR_SUCCESSFUL);

  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const auto& lhv = c.config.format.LHV1;
    SCOPED_TRACE(c.name);
    const Mpg123View view = Describe(streams[i].path);
    if (*c.summary != '\0') {
      EXPECT_EQ(view.summary, c.summary);
    }
    EXPECT_EQ(view.mode, c.mode);
    EXPECT_EQ(Ffprobe(streams[i].path, "sample_rate,channels"),
              std::to_string(c.out_rate) + "\n" + std::to_string(c.channels));
    EXPECT_EQ(view.info_header, lhv.bWriteVBRHeader != 0);
    EXPECT_EQ(view.copyright, c.bits);
    EXPECT_EQ(view.crc, c.bits);
    EXPECT_EQ(view.original, c.bits);
    EXPECT_EQ(PrivateBit(streams[i].out, lhv.bWriteVBRHeader != 0), c.bits);
    // With the header, a gapless decode gives back exactly the samples encoded.
    const std::size_t decoded = Mpg123Samples(streams[i].path).size();
    const std::size_t encoded = streams[i].input.size() * c.out_rate / c.rate;
    if (lhv.bWriteVBRHeader != 0) {
      EXPECT_NEAR(static_cast<double>(decoded), static_cast<double>(encoded), c.channels);
    } else {
      EXPECT_GT(decoded, encoded);
    }
  }
}

TEST(LameEncoderInterface, TheHeaderLandsAfterAnId3v2TagAndOnlyInItsOwnFile) {
  TempDir dir;
  const BE_CONFIG config = [] {
    BE_CONFIG c = LameConfig(44100, BE_MP3_MODE_JSTEREO, 192);
    c.format.LHV1.bWriteVBRHeader = 1;
    return c;
  }();
  const std::vector<std::int16_t> input = ToneSamples(44100, 2, 1.5);
  HBE_STREAM stream = nullptr;
  std::uint32_t chunk = 0, room = 0, produced = 0;
  ASSERT_EQ(beInitStream(&config, &chunk, &room, &stream), BE_ERR_SUCCESSFUL);
  std::vector<std::uint8_t> buffer(room + input.size() * 2);
  ASSERT_EQ(beEncodeChunk(stream, static_cast<std::uint32_t>(input.size()), input.data(),
                          buffer.data(), &produced),
            BE_ERR_SUCCESSFUL);
  std::vector<std::uint8_t> audio(buffer.begin(), buffer.begin() + produced);
  ASSERT_EQ(beDeinitStream(stream, buffer.data(), &produced), BE_ERR_SUCCESSFUL);
  audio.insert(audio.end(), buffer.begin(), buffer.begin() + produced);
  ASSERT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);

  // Another file of the same length but other audio is not this stream's.
  std::vector<std::uint8_t> stranger = audio;
  stranger[stranger.size() - 10] ^= 0x55;
  WriteFileBytes(dir.File("stranger.mp3"), stranger);
  EXPECT_EQ(beWriteVBRHeader(dir.File("stranger.mp3").c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(ReadFileBytes(dir.File("stranger.mp3")), stranger);

  // An ID3v2 tag (one title frame "x") in front, and an ID3v1 tag behind.
  const std::string id3v2("ID3\x03\0\0\0\0\0\x0cTIT2\0\0\0\x02\0\0\0x", 22);
  std::vector<std::uint8_t> tagged = audio;
  tagged.insert(tagged.begin(), id3v2.begin(), id3v2.end());
  std::vector<std::uint8_t> v1(128, 0);
  std::memcpy(v1.data(), "TAGx", 4);
  tagged.insert(tagged.end(), v1.begin(), v1.end());
  WriteFileBytes(dir.File("tagged.mp3"), tagged);
  ASSERT_EQ(beWriteVBRHeader(dir.File("tagged.mp3").c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_TRUE(Describe(dir.File("tagged.mp3")).info_header);
  EXPECT_EQ(Mpg123Samples(dir.File("tagged.mp3")).size(), input.size());
  EXPECT_EQ(Ffprobe(dir.File("tagged.mp3"), "format_tags=title"), "x");
}

TEST(LameEncoderInterface, RefusesBadConfigurationsAndHandles) {
  std::uint32_t chunk = 0, room = 0, produced = 0;
  HBE_STREAM stream = nullptr;
  const auto init = [&](const BE_CONFIG& c) { return beInitStream(&c, &chunk, &room, &stream); };
  BE_CONFIG config = LameConfig(44100, BE_MP3_MODE_JSTEREO, 128);
  config.dwConfig = BE_CONFIG_MP3;
  EXPECT_EQ(init(config), BE_ERR_INVALID_FORMAT);
  config = LameConfig(44100, BE_MP3_MODE_JSTEREO, 128);
  config.format.LHV1.dwStructSize = 94;
  EXPECT_EQ(init(config), BE_ERR_INVALID_FORMAT_PARAMETERS);
  config = LameConfig(0, BE_MP3_MODE_JSTEREO, 128);
  EXPECT_EQ(init(config), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(beInitStream(nullptr, &chunk, &room, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);

  ASSERT_EQ(init(LameConfig(44100, BE_MP3_MODE_JSTEREO, 128)), BE_ERR_SUCCESSFUL);
  const std::vector<std::int16_t> pcm(1001);
  std::vector<std::uint8_t> out(room);
  // Half a stereo frame is not a chunk.
  EXPECT_EQ(beEncodeChunk(stream, 1001, pcm.data(), out.data(), &produced),
            BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(beDeinitStream(stream, out.data(), &produced), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beEncodeChunk(stream, 1000, pcm.data(), out.data(), &produced), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beEncodeChunk(nullptr, 1000, pcm.data(), out.data(), &produced), BE_ERR_INVALID_HANDLE);
}
