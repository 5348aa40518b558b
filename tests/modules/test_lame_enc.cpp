// The MP3 encoder interface: what it writes is read back by mpg123 and ffprobe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modules/lame_enc/lame_enc.h"
#include "tests/support/mp3_media.h"

using namespace testing_support;

namespace {

constexpr std::size_t kChunkSamples = 16384;  // the 32 KiB the decode pipelines hand a writer

struct Case {
  const char* name;
  int channels, rate, mode, kbps;
  int vbr_method;  // -1: CBR
  int resample;
  bool header, bits;  // VBR header; copyright, CRC, original and private bits
  int preset;
  const char* summary;  // `mpg123 -t -v`: version, layer, rate control, rate, mode
};

BE_CONFIG ConfigOf(const Case& t) {
  BE_CONFIG config = BeLameConfig();
  auto& c = config.format.LHV1;
  c.dwSampleRate = static_cast<std::uint32_t>(t.rate);
  c.dwReSampleRate = static_cast<std::uint32_t>(t.resample);
  c.nMode = t.mode;
  c.dwBitrate = static_cast<std::uint32_t>(t.kbps);
  c.dwMaxBitrate = 320;
  c.nPreset = t.preset;
  c.bCopyright = c.bCRC = c.bOriginal = c.bPrivate = t.bits;
  c.bWriteVBRHeader = t.header;
  c.bEnableVBR = t.vbr_method >= 0;
  c.nVBRQuality = 4;
  c.dwVbrAbr_bps = t.vbr_method == VBR_METHOD_ABR ? static_cast<std::uint32_t>(t.kbps) * 1000 : 0;
  c.nVbrMethod = t.vbr_method;
  c.nQuality = 5;
  return config;
}

// Encodes `input` through an open stream into `out`, in chunks.
void Feed(HBE_STREAM stream, const std::vector<std::int16_t>& input, std::size_t* fed,
          std::vector<std::uint8_t>* out) {
  std::vector<std::uint8_t> buffer(65536);
  const std::size_t n = std::min(kChunkSamples, input.size() - *fed);
  std::uint32_t produced = 0;
  ASSERT_EQ(beEncodeChunk(stream, static_cast<std::uint32_t>(n), input.data() + *fed, buffer.data(),
                          &produced),
            BE_ERR_SUCCESSFUL);
  out->insert(out->end(), buffer.begin(), buffer.begin() + produced);
  *fed += n;
}

void Finish(HBE_STREAM stream, std::vector<std::uint8_t>* out) {
  std::vector<std::uint8_t> buffer(7200);
  std::uint32_t produced = 0;
  ASSERT_EQ(beDeinitStream(stream, buffer.data(), &produced), BE_ERR_SUCCESSFUL);
  out->insert(out->end(), buffer.begin(), buffer.begin() + produced);
  ASSERT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
}

std::string Mpg123(const std::string& path, const char* verbosity) {
  return RunCommand("mpg123 -t " + std::string(verbosity) + " " + ShellQuote(path) + " 2>&1");
}

}  // namespace

TEST(LameEncoderInterface, WritesWhatTheConfigurationAsksForWithManyStreamsOpen) {
  TempDir dir;
  const int j = BE_MP3_MODE_JSTEREO, s = BE_MP3_MODE_STEREO, m = BE_MP3_MODE_MONO;
  const std::vector<Case> cases = {
      {"cbr_joint", 2, 44100, j, 128, -1, 44100, true, false, 0, "1.0 L III cbr128 44100 j-s"},
      {"cbr_mono", 1, 44100, m, 64, -1, 44100, false, false, 0, "1.0 L III cbr64 44100 mono"},
      {"vbr_new", 2, 48000, s, 32, VBR_METHOD_NEW, 48000, true, false, 0,
       "1.0 L III vbr 48000 stereo"},
      {"vbr_old", 2, 44100, j, 64, VBR_METHOD_OLD, 44100, false, false, 0, ""},
      {"abr", 2, 44100, j, 160, VBR_METHOD_ABR, 44100, true, false, 0,
       "1.0 L III abr160 44100 j-s"},
      {"resampled_bits", 2, 44100, j, 64, -1, 22050, true, true, LQP_VERYHIGH_QUALITY,
       "2.0 L III cbr64 22050 j-s"},
      {"dual_channel", 2, 32000, BE_MP3_MODE_DUALCHANNEL, 96, -1, 32000, false, false, LQP_R3MIX,
       "1.0 L III cbr96 32000 stereo"},
      // A rate MPEG audio cannot carry: the encoder picks one instead of failing.
      {"from_96k", 2, 96000, j, 128, -1, 96000, true, false, 0, "1.0 L III cbr128 48000 j-s"},
      {"voice", 1, 16000, m, 32, -1, 16000, false, false, LQP_VOICE_QUALITY,
       "2.0 L III cbr32 16000 mono"},
  };
  struct Stream {
    HBE_STREAM handle = nullptr;
    std::vector<std::int16_t> input;
    std::size_t fed = 0;
    std::vector<std::uint8_t> out;
  };
  std::vector<Stream> streams(cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const BE_CONFIG config = ConfigOf(cases[i]);
    std::uint32_t chunk = 0, room = 0;
    ASSERT_EQ(beInitStream(&config, &chunk, &room, &streams[i].handle), BE_ERR_SUCCESSFUL);
    streams[i].input = ToneSamples(cases[i].rate, cases[i].channels, 2.0);
  }
  // All streams open at once, fed in turns; the headers then found their files in any order.
  for (std::size_t chunk = 0; chunk * kChunkSamples < 2 * 96000 * 2; ++chunk)
    for (Stream& stream : streams) Feed(stream.handle, stream.input, &stream.fed, &stream.out);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Finish(streams[i].handle, &streams[i].out);
    WriteFileBytes(dir.File(cases[i].name), streams[i].out);
  }
  for (std::size_t i = cases.size(); i-- > 0;)
    EXPECT_EQ(beWriteVBRHeader(dir.File(cases[i].name).c_str()), BE_ERR_SUCCESSFUL);

  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string path = dir.File(c.name);
    SCOPED_TRACE(c.name);
    if (*c.summary != '\0') {
      EXPECT_NE(Mpg123(path, "-v").find(std::string("\nMPEG ") + c.summary), std::string::npos);
    }
    const int out_rate = c.resample == 96000 ? 48000 : c.resample;
    EXPECT_EQ(Ffprobe(path, "sample_rate,channels"),
              std::to_string(out_rate) + "\n" + std::to_string(c.channels));
    const std::string detail = Mpg123(path, "-vv");
    EXPECT_EQ(detail.find("Xing/Lame/Info header detected") != std::string::npos, c.header);
    EXPECT_NE(detail.find(c.bits ? "copyright: Yes, original: Yes, CRC: Yes"
                                 : "copyright: No, original: No, CRC: No"),
              std::string::npos);
    // With the header a gapless decode gives back exactly the samples encoded.
    const auto decoded = static_cast<double>(Mpg123Samples(path).size());
    const double encoded = static_cast<double>(streams[i].input.size()) * out_rate / c.rate;
    if (c.header) {
      EXPECT_NEAR(decoded, encoded, c.channels);
    } else {
      EXPECT_GT(decoded, encoded);
    }
  }
}

TEST(LameEncoderInterface, TheHeaderLandsAfterAnId3v2TagAndOnlyInItsOwnFile) {
  TempDir dir;
  const BE_CONFIG config =
      ConfigOf({"", 2, 44100, BE_MP3_MODE_JSTEREO, 192, -1, 44100, true, false, 0, ""});
  const std::vector<std::int16_t> input = ToneSamples(44100, 2, 1.5);
  HBE_STREAM stream = nullptr;
  std::uint32_t chunk = 0, room = 0;
  ASSERT_EQ(beInitStream(&config, &chunk, &room, &stream), BE_ERR_SUCCESSFUL);
  std::vector<std::uint8_t> audio;
  for (std::size_t fed = 0; fed < input.size();) Feed(stream, input, &fed, &audio);
  Finish(stream, &audio);

  // Another file of the same length but other audio is not this stream's.
  std::vector<std::uint8_t> stranger = audio;
  stranger[stranger.size() - 10] ^= 0x55;
  WriteFileBytes(dir.File("stranger.mp3"), stranger);
  EXPECT_EQ(beWriteVBRHeader(dir.File("stranger.mp3").c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(ReadFileBytes(dir.File("stranger.mp3")), stranger);

  // An ID3v2 tag (one title frame "x") in front, an ID3v1 tag behind.
  const std::string id3v2("ID3\x03\0\0\0\0\0\x0cTIT2\0\0\0\x02\0\0\0x", 22);
  std::vector<std::uint8_t> tagged = audio;
  tagged.insert(tagged.begin(), id3v2.begin(), id3v2.end());
  const std::string id3v1 = "TAG" + std::string(125, '\0');
  tagged.insert(tagged.end(), id3v1.begin(), id3v1.end());
  const std::string path = dir.File("tagged.mp3");
  WriteFileBytes(path, tagged);
  ASSERT_EQ(beWriteVBRHeader(path.c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_NE(Mpg123(path, "-vv").find("Xing/Lame/Info header detected"), std::string::npos);
  EXPECT_EQ(Mpg123Samples(path).size(), input.size());
  EXPECT_EQ(Ffprobe(path, "format_tags=title"), "x");
}

TEST(LameEncoderInterface, RefusesBadConfigurationsAndHandles) {
  const Case cbr = {"", 2, 44100, BE_MP3_MODE_JSTEREO, 128, -1, 44100, false, false, 0, ""};
  std::uint32_t chunk = 0, room = 0, produced = 0;
  HBE_STREAM stream = nullptr;
  BE_CONFIG config = ConfigOf(cbr);
  config.dwConfig = BE_CONFIG_MP3;
  EXPECT_EQ(beInitStream(&config, &chunk, &room, &stream), BE_ERR_INVALID_FORMAT);
  config = ConfigOf(cbr);
  config.format.LHV1.dwStructSize = 94;
  EXPECT_EQ(beInitStream(&config, &chunk, &room, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  config = ConfigOf(cbr);
  config.format.LHV1.dwSampleRate = 0;
  EXPECT_EQ(beInitStream(&config, &chunk, &room, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);

  config = ConfigOf(cbr);
  ASSERT_EQ(beInitStream(&config, &chunk, &room, &stream), BE_ERR_SUCCESSFUL);
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
