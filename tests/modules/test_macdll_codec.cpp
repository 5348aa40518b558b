// The APE library through its C interface: every file it writes decodes bit-exactly with
// FFmpeg (checksums checked) and with its own decoder; damaged files never hand out wrong audio.
// Real, hostile and foreign files go through the library in codecs_test_ape_music.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "modules/macdll/mac_dll.h"
#include "tests/support/test_files.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRate = 44100;
constexpr int kFrame = 73728;  // blocks per frame at levels 1000…3000
constexpr int kLongFrame = kFrame * 4;

[[maybe_unused]] const bool kQuietFfmpeg = (av_log_set_level(AV_LOG_QUIET), true);

enum class Signal { kMusic, kSilence, kDc, kNoise, kIdentical, kOpposite, kClipped };

const char* SignalName(Signal s) {
  static const char* const kNames[] = {"music",     "silence",  "dc",     "noise",
                                       "identical", "opposite", "clipped"};
  return kNames[static_cast<int>(s)];
}

// A repeatable generator for noise and dither.
struct Lcg {
  std::uint32_t state;
  std::int32_t Next(std::int32_t lo, std::int32_t hi) {
    state = state * 1664525u + 1013904223u;
    return lo +
           static_cast<std::int32_t>((std::uint64_t{state} * (std::uint64_t(hi - lo) + 1)) >> 32);
  }
};

// A few partials under a slow envelope, a little noise, different per channel.
double MusicValue(std::int64_t i, int channel, Lcg* lcg) {
  const double t = static_cast<double>(i) / kRate;
  const double envelope = 0.55 + 0.35 * std::sin(2 * M_PI * 0.7 * t);
  const double f = 220.0 * (channel + 1);
  const double tone = std::sin(2 * M_PI * f * t) + 0.5 * std::sin(2 * M_PI * 2.01 * f * t) +
                      0.25 * std::sin(2 * M_PI * 3.03 * f * t + channel);
  return envelope * tone / 1.75 + lcg->Next(-100, 100) / 10000.0;
}

std::int32_t Sample(Signal s, std::int64_t i, int channel, std::int32_t full, Lcg* lcg) {
  switch (s) {
    case Signal::kMusic: return static_cast<std::int32_t>(full * 0.8 * MusicValue(i, channel, lcg));
    case Signal::kSilence: return 0;
    case Signal::kDc: return channel == 0 ? full * 3 / 5 : -full / 3;
    case Signal::kNoise: return lcg->Next(-full - 1, full);
    case Signal::kIdentical: return static_cast<std::int32_t>(full * 0.8 * MusicValue(i, 0, lcg));
    case Signal::kOpposite: {
      const double v = full * 0.9 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / kRate);
      return static_cast<std::int32_t>(channel == 0 ? v : -v);
    }
    case Signal::kClipped: {
      const double v = 3.0 * full * MusicValue(i, channel, lcg);
      return static_cast<std::int32_t>(std::clamp<double>(v, -full - 1, full));
    }
  }
  return 0;
}

// Interleaved PCM as a wave file holds it (8-bit unsigned, 16/24-bit signed little-endian).
Bytes MakePcm(Signal s, int channels, int bits, std::int64_t blocks) {
  const std::int32_t full = (1 << (bits - 1)) - 1;
  const int width = bits / 8;
  Lcg lcg{12345};
  Bytes pcm;
  pcm.reserve(static_cast<std::size_t>(blocks * channels * width));
  for (std::int64_t i = 0; i < blocks; ++i) {
    for (int c = 0; c < channels; ++c) {
      std::int32_t v = Sample(s, i, c, full, &lcg);
      if (bits == 8) v += 128;
      for (int b = 0; b < width; ++b) pcm.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    }
  }
  return pcm;
}

ApeWaveFormatEx WaveFormat(int channels, int bits, std::uint32_t rate = kRate) {
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  return {1,     static_cast<std::uint16_t>(channels), rate, rate * align,
          align, static_cast<std::uint16_t>(bits),     0};
}

// Encodes through the C interface, handing the PCM over in pieces that split blocks, with the
// audio size announced from the length in whole milliseconds as the program computes it.
int Encode(const std::string& path, const Bytes& pcm, int channels, int bits, int level,
           int rate = kRate) {
  const ApeWaveFormatEx format = WaveFormat(channels, bits, static_cast<std::uint32_t>(rate));
  const std::int64_t blocks = static_cast<std::int64_t>(pcm.size()) / format.nBlockAlign;
  const std::int64_t announced =
      std::int64_t{rate} * format.nBlockAlign * (blocks * 1000 / rate) / 1000;
  int error = -1;
  ApeCompressHandle encoder = c_APECompress_Create(&error);
  if (encoder == nullptr) return error;
  int rc = c_APECompress_Start(encoder, path.c_str(), &format, announced, level, nullptr, -1);
  for (std::size_t done = 0; rc == MACDLL_OK && done < pcm.size(); done += 1001) {
    const int n = static_cast<int>(std::min<std::size_t>(1001, pcm.size() - done));
    rc = c_APECompress_AddData(encoder, pcm.data() + done, n);
  }
  if (rc == MACDLL_OK) rc = c_APECompress_Finish(encoder, nullptr, 0, 0);
  c_APECompress_Destroy(encoder);
  return rc;
}

std::string FfmpegFormat(int bits) { return bits == 8 ? "u8" : bits == 16 ? "s16le" : "s24le"; }

// FFmpeg's samples with checksums checked; empty when it reports any error.
Bytes DecodeWithFfmpeg(const std::string& path, int bits) {
  int status = -1;
  const std::string out = RunCommand("ffmpeg -nostdin -v error -err_detect crccheck+explode -i '" +
                                         path + "' -f " + FfmpegFormat(bits) + " - 2>/dev/null",
                                     &status);
  return status == 0 ? Bytes(out.begin(), out.end()) : Bytes{};
}

struct Decoded {
  int createError = MACDLL_OK;
  int error = MACDLL_OK;  // the first non-zero GetData result
  Bytes pcm;
  int sampleRate = 0;
  int totalBlocks = 0;
};

// Reads like the program does: 1024 blocks per call until none come or an error.
Decoded DecodeWithLibrary(const std::string& path, int seekTo = -1, int maxBlocks = INT32_MAX) {
  Decoded d;
  ApeDecompressHandle decoder = c_APEDecompress_Create(path.c_str(), &d.createError);
  if (decoder == nullptr) return d;
  d.sampleRate = c_APEDecompress_GetInfo(decoder, MACDLL_INFO_SAMPLE_RATE, 0, 0);
  d.totalBlocks = c_APEDecompress_GetInfo(decoder, MACDLL_INFO_TOTAL_BLOCKS, 0, 0);
  const int align = c_APEDecompress_GetInfo(decoder, MACDLL_INFO_BLOCK_ALIGN, 0, 0);
  if (seekTo >= 0) d.error = c_APEDecompress_Seek(decoder, seekTo);
  Bytes buffer(static_cast<std::size_t>(align) * 1024);
  for (int got = 1, total = 0; d.error == MACDLL_OK && got > 0 && total < maxBlocks; total += got) {
    d.error = c_APEDecompress_GetData(decoder, buffer.data(), 1024, &got);
    d.pcm.insert(d.pcm.end(), buffer.begin(),
                 buffer.begin() + static_cast<std::ptrdiff_t>(got) * align);
  }
  c_APEDecompress_Destroy(decoder);
  return d;
}

// --- Round trips -------------------------------------------------------------------------

struct RoundTrip {
  Signal signal;
  int channels;
  int bits;
  int level;
  std::int64_t blocks;
  int rate = kRate;
};

std::string RoundTripName(const testing::TestParamInfo<RoundTrip>& info) {
  const RoundTrip& r = info.param;
  return std::string(SignalName(r.signal)) + "_" + (r.channels == 1 ? "mono" : "stereo") +
         std::to_string(r.bits) + "_level" + std::to_string(r.level) + "_" +
         std::to_string(r.blocks) + "_" + std::to_string(r.rate);
}

std::vector<RoundTrip> RoundTrips() {
  std::vector<RoundTrip> rows;
  // Every level, width and channel count on music.
  for (int level = 1000; level <= 5000; level += 1000) {
    for (int bits : {8, 16, 24}) {
      for (int channels : {1, 2}) rows.push_back({Signal::kMusic, channels, bits, level, 3000});
    }
  }
  // Signals that take special paths: silence and identical channels (flagged frames), full-scale
  // noise (escapes, wide pivots), opposite channels and DC (extreme side values), clipping.
  rows.insert(rows.end(), {
                              {Signal::kSilence, 2, 16, 2000, 5000},
                              {Signal::kSilence, 1, 8, 4000, 5000},
                              {Signal::kIdentical, 2, 24, 5000, 5000},
                              {Signal::kIdentical, 2, 8, 1000, 5000},
                              {Signal::kNoise, 2, 24, 4000, 20000},
                              {Signal::kNoise, 2, 16, 5000, 20000},
                              {Signal::kNoise, 1, 8, 3000, 20000},
                              {Signal::kOpposite, 2, 24, 5000, 20000},
                              {Signal::kOpposite, 2, 16, 3000, 20000},
                              {Signal::kDc, 2, 24, 1000, 5000},
                              {Signal::kDc, 1, 16, 5000, 5000},
                              {Signal::kClipped, 2, 16, 2000, 20000},
                              {Signal::kClipped, 2, 24, 5000, 20000},
                          });
  // Lengths: the shortest, around powers of two, around one and two frames.
  for (std::int64_t blocks : {1, 2, 255, 256, 257, 4095, 4097}) {
    rows.push_back({Signal::kMusic, 2, 16, 2000, blocks});
  }
  rows.push_back({Signal::kMusic, 1, 24, 5000, 1});
  rows.push_back({Signal::kMusic, 2, 16, 3000, 48000, 48000});
  for (std::int64_t blocks : {kFrame - 1, kFrame, kFrame + 1, 2 * kFrame + 1}) {
    rows.push_back({Signal::kMusic, 2, 16, 3000, blocks});
  }
  rows.push_back({Signal::kMusic, 1, 16, 5000, kLongFrame + 1});
  rows.push_back({Signal::kNoise, 1, 24, 4000, kLongFrame - 1});
  return rows;
}

class ApeRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(ApeRoundTrip, DecodesBitExactlyWithFfmpegAndWithOurDecoder) {
  const RoundTrip& r = GetParam();
  TempDir dir;
  const std::string path = dir.File("out.ape");
  const Bytes pcm = MakePcm(r.signal, r.channels, r.bits, r.blocks);
  ASSERT_EQ(Encode(path, pcm, r.channels, r.bits, r.level, r.rate), MACDLL_OK);

  const Bytes ffmpeg = DecodeWithFfmpeg(path, r.bits);
  EXPECT_TRUE(ffmpeg == pcm) << "ffmpeg gave " << ffmpeg.size() << " of " << pcm.size() << " bytes";
  const Decoded ours = DecodeWithLibrary(path);
  ASSERT_EQ(ours.createError, MACDLL_OK);
  EXPECT_EQ(ours.error, MACDLL_OK);
  EXPECT_TRUE(ours.pcm == pcm) << "we gave " << ours.pcm.size() << " of " << pcm.size() << " bytes";
  EXPECT_EQ(ours.totalBlocks, r.blocks);
  EXPECT_EQ(ours.sampleRate, r.rate);
}

INSTANTIATE_TEST_SUITE_P(Signals, ApeRoundTrip, testing::ValuesIn(RoundTrips()), RoundTripName);

// The size the encoder reaches on music, against FLAC's best setting on the same samples.
TEST(ApeCompression, MusicIsCodedAboutAsTightlyAsFlacBest) {
  TempDir dir;
  const Bytes pcm = MakePcm(Signal::kMusic, 2, 16, 4 * kRate);
  WriteFileBytes(dir.File("in.raw"), pcm);
  int status = -1;
  RunCommand(
      "flac -s -8 -f --force-raw-format --endian=little --sign=signed --channels=2 "
      "--bps=16 --sample-rate=44100 -o '" +
          dir.File("in.flac") + "' '" + dir.File("in.raw") + "'",
      &status);
  if (status != 0) GTEST_SKIP() << "flac is not installed";
  const double flac = static_cast<double>(std::filesystem::file_size(dir.File("in.flac")));
  for (int level = 1000; level <= 5000; level += 1000) {
    const std::string path = dir.File(std::to_string(level) + ".ape");
    ASSERT_EQ(Encode(path, pcm, 2, 16, level), MACDLL_OK);
    EXPECT_LT(static_cast<double>(std::filesystem::file_size(path)), flac * 1.05) << level;
  }
}

// --- Damage, seeking ---------------------------------------------------------------------

// Three frames of 16-bit stereo music at level 1000, written once.
const Bytes& SampleFilePcm() {
  static const Bytes pcm = MakePcm(Signal::kMusic, 2, 16, 2 * kFrame + 5000);
  return pcm;
}

class SampleFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Encode(path_, SampleFilePcm(), 2, 16, 1000), MACDLL_OK);
    bytes_ = ReadFileBytes(path_);
  }
  TempDir dir_;
  std::string path_ = dir_.File("sample.ape");
  Bytes bytes_;
};

struct Damage {
  const char* name;
  std::int64_t offset;  // where: this many bytes plus…
  double fraction;      // …this fraction of the file
  int flip;             // bits to flip there (0: cut the file there)
};

class ApeDamagedFile : public SampleFile, public testing::WithParamInterface<Damage> {};

TEST_P(ApeDamagedFile, GivesWholeGoodFramesThenAnError) {
  const Damage& d = GetParam();
  Bytes bytes = bytes_;
  const auto at = static_cast<std::size_t>(
      d.offset + static_cast<std::int64_t>(d.fraction * static_cast<double>(bytes.size())));
  if (d.flip == 0) {
    bytes.resize(at);
  } else {
    bytes[at] ^= static_cast<std::uint8_t>(d.flip);
  }
  WriteFileBytes(path_, bytes);
  const Decoded ours = DecodeWithLibrary(path_);
  const Bytes& pcm = SampleFilePcm();
  ASSERT_LE(ours.pcm.size(), pcm.size());
  EXPECT_TRUE(std::equal(ours.pcm.begin(), ours.pcm.end(), pcm.begin()))
      << "wrong audio handed out";
  if (ours.pcm.size() < pcm.size()) {
    EXPECT_TRUE(ours.createError != MACDLL_OK || ours.error != MACDLL_OK)
        << "a short read without error";
    EXPECT_EQ(ours.pcm.size() % (kFrame * 4), 0u) << "a partial frame handed out";
  }
}

// The file: descriptor at 0, header at 52 (channels at 70), seek table at 76, frames from 92.
INSTANTIATE_TEST_SUITE_P(
    Kinds, ApeDamagedFile,
    testing::Values(Damage{"channels", 70, 0, 0x04}, Damage{"seek_entry", 81, 0, 0x01},
                    Damage{"first_frame", 0, 0.2, 0x10}, Damage{"second_frame", 0, 0.5, 0x80},
                    Damage{"last_byte", -1, 1.0, 0x01}, Damage{"cut_header", 60, 0, 0},
                    Damage{"cut_middle", 0, 0.6, 0}, Damage{"cut_end", -1, 1.0, 0}),
    [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

TEST_F(SampleFile, SeekStartsTheDataAtTheBlockAskedFor) {
  const Bytes& pcm = SampleFilePcm();
  const int total = static_cast<int>(pcm.size() / 4);
  for (const int block :
       {0, 1, kFrame - 1, kFrame, kFrame + 1, 2 * kFrame + 4000, total - 1, total}) {
    const Decoded ours = DecodeWithLibrary(path_, block, 3000);
    ASSERT_EQ(ours.error, MACDLL_OK) << block;
    const std::size_t from = static_cast<std::size_t>(block) * 4;
    const std::size_t n = std::min<std::size_t>(pcm.size() - from, 3000 * 4);
    ASSERT_GE(ours.pcm.size(), n) << block;
    EXPECT_TRUE(std::equal(pcm.begin() + from, pcm.begin() + from + n, ours.pcm.begin())) << block;
  }
  EXPECT_EQ(DecodeWithLibrary(path_, total + 1).error, MACDLL_ERROR_PARAMETER);
}

// --- Refusals --------------------------------------------------------------------------------

TEST(ApeCompressStart, RefusesFormatsLevelsAndPathsItCannotWrite) {
  TempDir dir;
  const std::string path = dir.File("x.ape");
  const struct {
    const char* name;
    ApeWaveFormatEx format;
    int level;
    std::string path;
    int error;
  } cases[] = {
      {"three channels", {1, 3, kRate, kRate * 4, 6, 16, 0}, 2000, path, MACDLL_ERROR_PARAMETER},
      {"12-bit", {1, 2, kRate, kRate * 4, 4, 12, 0}, 2000, path, MACDLL_ERROR_PARAMETER},
      {"float tag", {3, 2, kRate, kRate * 4, 4, 16, 0}, 2000, path, MACDLL_ERROR_PARAMETER},
      {"block align", {1, 2, kRate, kRate * 4, 3, 16, 0}, 2000, path, MACDLL_ERROR_PARAMETER},
      {"rate 0", {1, 2, 0, kRate * 4, 4, 16, 0}, 2000, path, MACDLL_ERROR_PARAMETER},
      {"level 3500", WaveFormat(2, 16), 3500, path, MACDLL_ERROR_PARAMETER},
      {"level 6000", WaveFormat(2, 16), 6000, path, MACDLL_ERROR_PARAMETER},
      {"no folder", WaveFormat(2, 16), 2000, dir.File("none/x.ape"), MACDLL_ERROR_OPEN},
  };
  for (const auto& c : cases) {
    ApeCompressHandle encoder = c_APECompress_Create(nullptr);
    EXPECT_EQ(c_APECompress_Start(encoder, c.path.c_str(), &c.format, 1000, c.level, nullptr, -1),
              c.error)
        << c.name;
    EXPECT_EQ(c_APECompress_AddData(encoder, nullptr, 0), c.error) << c.name;
    c_APECompress_Destroy(encoder);
  }
}

// Nothing announced leaves room for one frame beyond it, not for two; nothing written is refused.
TEST(ApeCompressData, RefusesMoreAudioThanAnnouncedAndFinishingWithNone) {
  TempDir dir;
  const ApeWaveFormatEx format = WaveFormat(1, 8);
  const Bytes frame(kFrame, 128);
  const struct {
    std::vector<int> added;  // what each AddData of a frame returns
    int finished;
  } cases[] = {{{MACDLL_OK, MACDLL_ERROR_TOO_MUCH_DATA}, MACDLL_ERROR_TOO_MUCH_DATA},
               {{}, MACDLL_ERROR_NO_AUDIO}};
  for (const auto& c : cases) {
    ApeCompressHandle encoder = c_APECompress_Create(nullptr);
    ASSERT_EQ(
        c_APECompress_Start(encoder, dir.File("a.ape").c_str(), &format, 0, 2000, nullptr, -1),
        MACDLL_OK);
    for (const int added : c.added)
      EXPECT_EQ(c_APECompress_AddData(encoder, frame.data(), kFrame), added);
    EXPECT_EQ(c_APECompress_Finish(encoder, nullptr, 0, 0), c.finished);
    c_APECompress_Destroy(encoder);
  }
}

}  // namespace
