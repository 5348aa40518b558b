// The reader: files written by ffmpeg and by other encoders read back with the format, the
// length and the attributes ffprobe sees and the very samples ffmpeg decodes; pacing by the
// caller's clock; the end of a session from inside and outside the callbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/support/test_files.h"
#include "tests/wmf/wmf_harness.h"

using namespace wmf_test;
using testing_support::TempDir;

namespace {

struct OutputFormat {
  GUID major, subtype, formatType;
  WAVEFORMATEX wave;
};

OutputFormat OutputOf(IWMReader* reader) {
  IWMOutputMediaProps* props = nullptr;
  EXPECT_EQ(reader->GetOutputProps(0, &props), S_OK);
  const ComPtr<IWMOutputMediaProps> hold(props);
  DWORD size = 0;
  EXPECT_EQ(props->GetMediaType(nullptr, &size), S_OK);
  std::vector<std::uint64_t> storage(size / 8 + 1);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
  EXPECT_EQ(props->GetMediaType(type, &size), S_OK);
  EXPECT_EQ(type->cbFormat, sizeof(WAVEFORMATEX));
  OutputFormat out{type->majortype, type->subtype, type->formattype, {}};
  std::memcpy(&out.wave, type->pbFormat, sizeof out.wave);
  return out;
}

// Checks what the reader makes of `path` against ffprobe and ffmpeg's decode.
void ExpectSameAsFfmpeg(const std::string& path) {
  TestReader reader;
  ASSERT_EQ(reader.Open(path), S_OK);
  const OutputFormat out = OutputOf(reader.reader());
  EXPECT_TRUE(out.major == WMMEDIATYPE_Audio);
  EXPECT_TRUE(out.subtype == WMMEDIASUBTYPE_PCM);
  EXPECT_TRUE(out.formatType == WMFORMAT_WaveFormatEx);
  EXPECT_EQ(out.wave.wBitsPerSample, 16);
  EXPECT_EQ(std::to_string(out.wave.nSamplesPerSec), Probe(path, "stream=sample_rate"));
  EXPECT_EQ(std::to_string(out.wave.nChannels), Probe(path, "stream=channels"));
  EXPECT_EQ(out.wave.nBlockAlign, out.wave.nChannels * 2);

  const ComPtr<IWMHeaderInfo> header = reader.header();
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  const auto duration = Attribute(header.get(), u"Duration", &type);
  ASSERT_TRUE(duration.has_value());
  EXPECT_EQ(type, WMT_TYPE_QWORD);
  EXPECT_EQ(duration->size(), 8u);
  EXPECT_NEAR(Number(*duration) / 1e7, std::stod(Probe(path, "format=duration")), 1e-6);
  const auto bitrate = Attribute(header.get(), u"Bitrate", &type);
  ASSERT_TRUE(bitrate.has_value());
  EXPECT_EQ(type, WMT_TYPE_DWORD);
  EXPECT_EQ(std::to_string(Number(*bitrate)), Probe(path, "stream=bit_rate"));

  reader.ReadToEnd();
  const std::string pcm = reader.harness().pcm();
  const std::string expected = FfmpegPcm(path);
  EXPECT_EQ(pcm.size(), expected.size());
  EXPECT_TRUE(pcm == expected) << "the samples differ from ffmpeg's decode";
  EXPECT_EQ(reader.harness().end(),
            pcm.size() / out.wave.nBlockAlign * kSecond / out.wave.nSamplesPerSec);
}

}  // namespace

TEST(WmfReader, ReadsFilesFfmpegWrote) {
  struct Case {
    const char* codec;
    int rate, channels, kbps;
  };
  const Case cases[] = {
      {"wmav2", 44100, 2, 128}, {"wmav2", 22050, 1, 32}, {"wmav2", 48000, 2, 192},
      {"wmav1", 32000, 2, 64},  {"wmav1", 11025, 1, 24}, {"wmav2", 8000, 1, 24},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate) + " Hz " +
                 std::to_string(c.channels) + " ch");
    const std::string path = dir.File(std::string(c.codec) + std::to_string(c.rate) + ".wma");
    ASSERT_TRUE(Ffmpeg(Signal(c.rate, c.channels, 2.5) + " -c:a " + c.codec + " -b:a " +
                       std::to_string(c.kbps) + "k " + Quote(path)));
    ExpectSameAsFfmpeg(path);
  }
}
