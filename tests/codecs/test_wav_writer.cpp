// The WAV writer's output, checked byte for byte and by independent tools.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "codecs/wav/wav_music.h"
#include "tests/support/full_disk.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using testing_support::QueueTarget;
using testing_support::ReadFileBytes;
using testing_support::RecordingMessageBox;
using testing_support::RunCommand;
using testing_support::TempDir;

namespace {

void Describe(Music& m, int rate, int channels, int bits, std::int64_t durationMs) {
  m.info.sampleRate = rate;
  m.info.channels = channels;
  m.info.bitsPerSample = bits;
  m.info.durationMs = durationMs;
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<std::uint8_t>((i * 7919 + i / 251) & 0xFF);
  return bytes;
}

std::string Field(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key + "=");
  if (at == std::string::npos) return "";
  const std::size_t end = text.find('\n', at);
  return text.substr(at + key.size() + 1, end - at - key.size() - 1);
}

}  // namespace

TEST(WavWriter, HeaderIsByteExactAndToolsAgree) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string out = dir.File("out.wav");
  const std::vector<std::uint8_t> samples = Pattern(44100 * 4 * 3 / 2);  // 1.5 s
  {
    WavMusic writer(out);
    Describe(writer, 44100, 2, 16, 1500);
    ASSERT_TRUE(writer.InitWriter());
    // Pieces of an awkward size cross the writer's internal buffer boundaries.
    for (std::size_t at = 0; at < samples.size(); at += 10000) {
      const std::size_t n = std::min<std::size_t>(10000, samples.size() - at);
      ASSERT_TRUE(writer.WriteSamples(samples.data() + at, static_cast<std::int64_t>(n)));
    }
    ASSERT_TRUE(writer.CloseWriter());
  }
  const std::vector<std::uint8_t> bytes = ReadFileBytes(out);
  ASSERT_EQ(bytes.size(), 46 + samples.size());
  const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size());
  const std::uint32_t riffSize = dataSize + 38;
  const std::uint8_t header[46] = {'R',
                                   'I',
                                   'F',
                                   'F',
                                   static_cast<std::uint8_t>(riffSize),
                                   static_cast<std::uint8_t>(riffSize >> 8),
                                   static_cast<std::uint8_t>(riffSize >> 16),
                                   static_cast<std::uint8_t>(riffSize >> 24),
                                   'W',
                                   'A',
                                   'V',
                                   'E',
                                   'f',
                                   'm',
                                   't',
                                   ' ',
                                   18,
                                   0,
                                   0,
                                   0,
                                   1,
                                   0,
                                   2,
                                   0,
                                   0x44,
                                   0xAC,
                                   0,
                                   0,
                                   0x10,
                                   0xB1,
                                   2,
                                   0,
                                   4,
                                   0,
                                   16,
                                   0,
                                   18,
                                   0,
                                   'd',
                                   'a',
                                   't',
                                   'a',
                                   static_cast<std::uint8_t>(dataSize),
                                   static_cast<std::uint8_t>(dataSize >> 8),
                                   static_cast<std::uint8_t>(dataSize >> 16),
                                   static_cast<std::uint8_t>(dataSize >> 24)};
  EXPECT_EQ(0, std::memcmp(bytes.data(), header, sizeof header));
  EXPECT_EQ(0, std::memcmp(bytes.data() + 46, samples.data(), samples.size()));
  EXPECT_TRUE(boxes.Texts().empty());

  int status = 0;
  const std::string soxInfo = RunCommand("sox --i '" + out + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << soxInfo;
  EXPECT_NE(soxInfo.find("Sample Rate    : 44100"), std::string::npos) << soxInfo;
  EXPECT_NE(soxInfo.find("Channels       : 2"), std::string::npos) << soxInfo;
  EXPECT_NE(soxInfo.find("Precision      : 16-bit"), std::string::npos) << soxInfo;
  EXPECT_NE(soxInfo.find("= 66150 samples"), std::string::npos) << soxInfo;
  const std::string probe = RunCommand(
      "ffprobe -v error -show_entries stream=sample_rate,channels,bits_per_sample,duration_ts "
      "-of default=noprint_wrappers=1 '" +
          out + "'",
      &status);
  ASSERT_EQ(status, 0) << probe;
  EXPECT_EQ(Field(probe, "sample_rate"), "44100");
  EXPECT_EQ(Field(probe, "channels"), "2");
  EXPECT_EQ(Field(probe, "bits_per_sample"), "16");
  EXPECT_EQ(Field(probe, "duration_ts"), "66150");
  const std::string raw = RunCommand("sox '" + out + "' -t raw - 2>/dev/null", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(raw.size(), samples.size());
  EXPECT_EQ(0, std::memcmp(raw.data(), samples.data(), samples.size()));
}

TEST(WavWriter, FailedWritesAreReportedAndCompletionIsStillPosted) {
  TempDir dir;
  RecordingMessageBox boxes;
  QueueTarget window;
  const std::vector<std::uint8_t> piece(32768, 1);
  const std::string early = dir.File("early.wav");
  const std::string late = dir.File("late.wav");
  {
    const testing_support::FileSizeLimit limit(80000);
    // Refused while feeding: the buffer reaches the disk after 64 KiB, then again after 128.
    WavMusic writer(early);
    Describe(writer, 44100, 2, 16, 1000);
    ASSERT_TRUE(writer.InitWriter());
    int accepted = 0;
    while (accepted < 10 && writer.WriteSamples(piece.data(), 32768)) ++accepted;
    EXPECT_EQ(accepted, 3);
    writer.progressWindow = &window;
    writer.CloseWriter();
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(1)).has_value());

    // Refused only when the last buffered bytes are written at the end.
    WavMusic tail(late);
    Describe(tail, 44100, 2, 16, 1000);
    tail.progressWindow = &window;
    ASSERT_TRUE(tail.InitWriter());
    ASSERT_TRUE(tail.WriteSamples(piece.data(), 32768));
    ASSERT_TRUE(tail.WriteSamples(piece.data(), 32768));
    ASSERT_TRUE(tail.WriteSamples(piece.data(), 32768));
    EXPECT_FALSE(tail.CloseWriter());
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(1)).has_value());
  }
  // The program's text, then the system's reason.
  const std::string failed =
      "mmioWrite 失败。 " + std::make_error_code(std::errc::file_too_large).message();
  const std::vector<std::string> expected = {failed + " - " + early, failed + " - " + late};
  EXPECT_EQ(boxes.Texts(), expected);
}
