// The reader: files written by ffmpeg and by other encoders read back with the format, the
// length and the attributes ffprobe sees and the very samples ffmpeg decodes; pacing by the
// caller's clock; the end of a session from inside and outside the callbacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tests/support/test_files.h"
#include "tests/wmf/wmf_harness.h"

using namespace wmf_test;
using testing_support::TempDir;

namespace {

// Checks what the reader makes of `path` against ffprobe and ffmpeg's decode.
void ExpectSameAsFfmpeg(const std::string& path) {
  TestReader reader;
  ASSERT_EQ(reader.Open(path), S_OK);
  IWMReader* raw = reader.reader();
  MediaTypeCopy type(Made<IWMOutputMediaProps>([raw](IWMOutputMediaProps** props) {
                       return raw->GetOutputProps(0, props);
                     }).get());
  EXPECT_TRUE(type->majortype == WMMEDIATYPE_Audio && type->subtype == WMMEDIASUBTYPE_PCM);
  EXPECT_TRUE(type->formattype == WMFORMAT_WaveFormatEx);
  EXPECT_EQ(type->cbFormat, sizeof(WAVEFORMATEX));
  const WAVEFORMATEX wave = *type.wave();
  EXPECT_EQ(wave.wBitsPerSample, 16);
  EXPECT_EQ(std::to_string(wave.nSamplesPerSec), Probe(path, "stream=sample_rate"));
  EXPECT_EQ(std::to_string(wave.nChannels), Probe(path, "stream=channels"));
  EXPECT_EQ(wave.nBlockAlign, wave.nChannels * 2);

  const ComPtr<IWMHeaderInfo> header = reader.header();
  WMT_ATTR_DATATYPE kind = WMT_TYPE_STRING;
  const auto duration = Attribute(header.get(), u"Duration", &kind);
  ASSERT_TRUE(duration.has_value());
  EXPECT_EQ(kind, WMT_TYPE_QWORD);
  EXPECT_EQ(duration->size(), 8u);
  EXPECT_NEAR(Number(*duration) / 1e7, std::stod(Probe(path, "format=duration")), 1e-6);
  const auto bitrate = Attribute(header.get(), u"Bitrate", &kind);
  ASSERT_TRUE(bitrate.has_value());
  EXPECT_EQ(kind, WMT_TYPE_DWORD);
  EXPECT_EQ(std::to_string(Number(*bitrate)), Probe(path, "stream=bit_rate"));
  const std::pair<const char16_t*, const char*> texts[] = {{u"Title", "title"},
                                                           {u"Author", "artist"}};
  for (const auto& [name, tag] : texts) {
    const auto value = Attribute(header.get(), name);
    EXPECT_EQ(value ? Text(*value) : "", Probe(path, std::string("format_tags=") + tag));
  }

  reader.ReadToEnd();
  const ReaderHarness::Seen seen = reader.harness().seen();
  const std::string& pcm = seen.pcm;
  const std::string expected = FfmpegPcm(path);
  EXPECT_EQ(pcm.size(), expected.size());
  EXPECT_TRUE(pcm == expected) << "the samples differ from ffmpeg's decode";
  EXPECT_EQ(seen.end, pcm.size() / wave.nBlockAlign * kSecond / wave.nSamplesPerSec);
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
                       std::to_string(c.kbps) +
                       "k -metadata title=中文标题 -metadata artist=作者 " + Quote(path)));
    ExpectSameAsFfmpeg(path);
  }
}

TEST(WmfReader, ReadsFilesOfOtherEncodersOrRefusesThem) {
  if (!std::filesystem::exists(testing_support::RealTestFile(""))) {
    GTEST_SKIP() << "shared test data folder absent";
  }
  // real_example.wma has a header with attributes and an audio stream without any data.
  const struct {
    const char* name;
    bool opens;
  } cases[] = {{"silence-1.wma", true}, {"lossless.wma", true}, {"real_example.wma", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = testing_support::RealTestFile(c.name);
    if (c.opens) {
      ExpectSameAsFfmpeg(path);
    } else {
      EXPECT_EQ(Probe(path, "format=duration"), "N/A");
      TestReader reader;
      EXPECT_EQ(reader.Open(path), E_FAIL);
    }
  }
}

TEST(WmfReader, DeliversWhatTheClockAllowsAndStopsWhenTold) {
  TempDir dir;
  const std::string path = dir.File("paced.wma");
  ASSERT_TRUE(Ffmpeg(Signal(44100, 2, 6) + " -c:a wmav2 -b:a 128k " + Quote(path)));
  const QWORD block = 2048 * kSecond / 44100 + 1;  // one encoded frame
  TestReader reader(0);
  ASSERT_EQ(reader.Open(path), S_OK);
  ASSERT_EQ(reader.reader()->Start(0, 0, 1.0f, nullptr), S_OK);
  ASSERT_TRUE(reader.harness().WaitFor(WMT_STARTED));
  EXPECT_EQ(reader.harness().seen().samples, 0) << "nothing before the clock moves";
  for (const QWORD until : {kSecond / 4, kSecond, kSecond, 3 * kSecond + 12345}) {
    SCOPED_TRACE(until);
    ASSERT_EQ(reader.advanced()->DeliverTime(until), S_OK);
    ASSERT_TRUE(reader.harness().WaitForTime(until));
    const ReaderHarness::Seen seen = reader.harness().seen();
    EXPECT_LT(seen.lastStart, until);
    EXPECT_GE(seen.end, until);
    EXPECT_LE(seen.end, until + block);
  }
  ASSERT_EQ(reader.reader()->Stop(), S_OK);
  ASSERT_TRUE(reader.harness().WaitFor(WMT_STOPPED));
  const int delivered = reader.harness().seen().samples;
  EXPECT_EQ(reader.advanced()->DeliverTime(5 * kSecond), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(reader.harness().seen().samples, delivered) << "no samples after the stop";
  EXPECT_EQ(reader.reader()->Start(0, 0, 1.0f, nullptr), NS_E_INVALID_REQUEST);

  ASSERT_EQ(reader.reader()->Close(), S_OK);
  reader.harness().Forbid();
  EXPECT_EQ(reader.harness().seen().statuses,
            (std::vector<WMT_STATUS>{WMT_OPENED, WMT_STARTED, WMT_STOPPED, WMT_CLOSED}));
  EXPECT_EQ(reader.advanced()->DeliverTime(6 * kSecond), NS_E_INVALID_REQUEST);
  EXPECT_EQ(reader.reader()->Close(), NS_E_INVALID_REQUEST);
}

TEST(WmfReader, EndsCleanlyWhereverTheSessionEnds) {
  TempDir dir;
  const std::string path = dir.File("end.wma");
  ASSERT_TRUE(Ffmpeg(Signal(22050, 2, 3) + " -c:a wmav2 -b:a 64k " + Quote(path)));
  // Released inside the callback that ends the decode: at the end of the file, or after a
  // stop made inside OnSample.
  for (const int stopAfter : {-1, 5}) {
    SCOPED_TRACE(stopAfter);
    TestReader reader;
    ASSERT_EQ(reader.Open(path), S_OK);
    IWMReader* owned = reader.reader();
    reader.HandOver(stopAfter);
    ASSERT_EQ(owned->Start(0, 0, 1.0f, nullptr), S_OK);
    ASSERT_TRUE(reader.harness().WaitFor(stopAfter < 0 ? WMT_EOF : WMT_STOPPED));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // for a late callback
  }

  // Ended from the test's thread in the middle of the decode: by Close, which reports
  // WMT_CLOSED before it returns, and by the final release.
  for (const bool close : {true, false}) {
    SCOPED_TRACE(close ? "close" : "release");
    TestReader reader;
    ASSERT_EQ(reader.Open(path), S_OK);
    ASSERT_EQ(reader.reader()->Start(0, 0, 1.0f, nullptr), S_OK);
    ASSERT_TRUE(reader.harness().WaitForSamples(4));
    if (close) {
      ASSERT_EQ(reader.reader()->Close(), S_OK);
      EXPECT_EQ(reader.harness().seen().statuses.back(), WMT_CLOSED);
    }
    reader.Release();
  }
}
