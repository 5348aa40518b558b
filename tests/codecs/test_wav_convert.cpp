// Range copies with fades, progress and cancel, from a WAV source into a WAV writer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/wav/wav_music.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using testing_support::NoiseSample;
using testing_support::PostedMessage;
using testing_support::QueueTarget;
using testing_support::ReadFileBytes;
using testing_support::RecordingMessageBox;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using testing_support::WriteWav;

namespace {

// Runs one ConvertRange from `source` (a 44-byte-header WAV) into a new WAV writer and
// returns the writer's sample bytes; `posted` receives every message the writer posted.
struct RangeResult {
  std::vector<std::uint8_t> samples;
  std::vector<PostedMessage> posted;
};

RangeResult ConvertToWav(const std::string& source, const std::string& out, std::int64_t start,
                         std::int64_t count, int fadeIn, int fadeOut) {
  RangeResult result;
  QueueTarget window;
  WavMusic reader(source);
  EXPECT_TRUE(reader.GetMusicInfo());
  WavMusic writer(out);
  writer.info = reader.info;
  writer.info.durationMs = count * 1000 / reader.info.sampleRate;
  writer.progressWindow = &window;
  EXPECT_TRUE(writer.InitWriter());
  EXPECT_TRUE(reader.ConvertRange(&writer, start, count, fadeIn, fadeOut));
  EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
  result.posted = window.All();
  const std::vector<std::uint8_t> bytes = ReadFileBytes(out);
  if (bytes.size() >= 46) result.samples.assign(bytes.begin() + 46, bytes.end());
  return result;
}

std::int16_t Sample16(const std::vector<std::uint8_t>& bytes, std::size_t index) {
  return static_cast<std::int16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

std::vector<platform::WParam> ProgressValues(const std::vector<PostedMessage>& posted) {
  std::vector<platform::WParam> values;
  for (const PostedMessage& m : posted)
    if (m.msg == WM_MUSIC_PROGRESS) values.push_back(m.w);
  return values;
}

int CountDone(const std::vector<PostedMessage>& posted) {
  int n = 0;
  for (const PostedMessage& m : posted) n += m.msg == WM_MUSIC_DONE;
  return n;
}

std::int32_t Fade16(std::int32_t s, long double gain) {
  return static_cast<std::int32_t>(std::trunc(gain * s));
}

// Left channel loud and positive, right channel loud and negative, varying a little so that
// a frame copied from the wrong place shows.
std::int32_t Loud(std::int64_t frame, int channel) {
  return channel == 0 ? 30000 - static_cast<int>(frame % 7) : -28000 + static_cast<int>(frame % 5);
}

}  // namespace

TEST(WavConvert, RangeWithoutFadesCopiesTheFramesWithOrderlyProgress) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  WriteWav(source, 44100, 2, 16, 100000, NoiseSample);
  // 50 000 frames is not a multiple of the chunk, so the last chunk is short.
  const RangeResult r = ConvertToWav(source, dir.File("out.wav"), 12345, 44100, -1, 0);
  ASSERT_EQ(r.samples.size(), 44100u * 4);
  const std::vector<std::uint8_t> in = ReadFileBytes(source);
  EXPECT_EQ(0, std::memcmp(r.samples.data(), in.data() + 44 + 12345 * 4, r.samples.size()));
  const std::vector<platform::WParam> progress = ProgressValues(r.posted);
  ASSERT_FALSE(progress.empty());
  EXPECT_LE(progress.size(), 1001u);
  for (std::size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
  EXPECT_EQ(progress.back(), 1000u);
  EXPECT_EQ(CountDone(r.posted), 1);
  EXPECT_EQ(r.posted.back().msg, WM_MUSIC_DONE);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WavConvert, OneSecondFadesAtBothEndsUseExactTruncatedGains) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  WriteWav(source, 44100, 2, 16, 3 * 44100, Loud);
  const std::int64_t start = 1000, frames = 2 * 44100;
  const RangeResult r = ConvertToWav(source, dir.File("out.wav"), start, frames, 1, 1);
  ASSERT_EQ(r.samples.size(), static_cast<std::size_t>(frames) * 4);
  for (std::int64_t k = 0; k < frames; ++k) {
    long double gain = 1;
    if (k < 44100) gain = static_cast<long double>(k) / 44100;
    if (k >= frames - 44100) gain = static_cast<long double>(frames - k) / 44100;
    for (int c = 0; c < 2; ++c) {
      const std::int32_t expected = Fade16(Loud(start + k, c), gain);
      ASSERT_EQ(Sample16(r.samples, 2 * k + c), expected) << "frame " << k << " channel " << c;
    }
  }
}

TEST(WavConvert, LongFadesOnAShortRangeOverlapAndMultiply) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  WriteWav(source, 44100, 2, 16, 44100, Loud);
  // Fade-in only: 2 s on a 1 s range reaches about one half.
  const RangeResult in = ConvertToWav(source, dir.File("in2.wav"), 0, 44100, 2, -1);
  ASSERT_EQ(in.samples.size(), 44100u * 4);
  for (std::int64_t k = 0; k < 44100; ++k) {
    const long double gain = static_cast<long double>(k) / 88200;
    ASSERT_EQ(Sample16(in.samples, 2 * k), Fade16(Loud(k, 0), gain)) << k;
  }
  EXPECT_NEAR(Sample16(in.samples, 2 * 44099), 30000 / 2, 10);
  // Both: a frame is scaled by the fade-in gain, truncated, then by the fade-out gain.
  const RangeResult both = ConvertToWav(source, dir.File("both.wav"), 0, 44100, 2, 2);
  for (std::int64_t k = 0; k < 44100; ++k) {
    for (int c = 0; c < 2; ++c) {
      const std::int32_t once = Fade16(Loud(k, c), static_cast<long double>(k) / 88200);
      const std::int32_t twice = Fade16(once, static_cast<long double>(44100 - k) / 88200);
      ASSERT_EQ(Sample16(both.samples, 2 * k + c), twice) << k;
    }
  }
}

TEST(WavConvert, EightBitFadesScaleAroundTheMidpointAndWiderSamplesPassUnchanged) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source8 = dir.File("in8.wav");
  auto value8 = [](std::int64_t frame, int) { return frame % 2 ? 255 : 0; };
  WriteWav(source8, 8000, 1, 8, 3 * 8000, value8);
  const RangeResult r8 = ConvertToWav(source8, dir.File("out8.wav"), 0, 3 * 8000, 1, 1);
  ASSERT_EQ(r8.samples.size(), 3u * 8000);
  for (std::int64_t k = 0; k < 3 * 8000; ++k) {
    long double gain = 1;
    if (k < 8000) gain = static_cast<long double>(k) / 8000;
    if (k >= 2 * 8000) gain = static_cast<long double>(3 * 8000 - k) / 8000;
    const auto expected = static_cast<int>(std::trunc(gain * (value8(k, 0) - 128) + 128));
    ASSERT_EQ(r8.samples[k], expected) << k;
  }
  EXPECT_EQ(r8.samples[0], 128);

  // 24-bit: fades are not applied at all, and frames of 6 bytes never straddle chunks.
  const std::string source24 = dir.File("in24.wav");
  auto value24 = [](std::int64_t frame, int channel) {
    return static_cast<std::int32_t>((frame * 2654435761u + channel * 977) & 0xFFFFFF);
  };
  WriteWav(source24, 44100, 2, 24, 30000, value24);
  const RangeResult r24 = ConvertToWav(source24, dir.File("out24.wav"), 100, 20000, 1, 1);
  const std::vector<std::uint8_t> in24 = ReadFileBytes(source24);
  ASSERT_EQ(r24.samples.size(), 20000u * 6);
  EXPECT_EQ(0, std::memcmp(r24.samples.data(), in24.data() + 44 + 100 * 6, r24.samples.size()));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WavConvert, ZeroFramesAndMissingDataStillBehave) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  WriteWav(source, 44100, 2, 16, 1000, NoiseSample);
  const RangeResult r = ConvertToWav(source, dir.File("out.wav"), 10, 0, 1, 1);
  EXPECT_TRUE(r.samples.empty());
  EXPECT_EQ(CountDone(r.posted), 1);
  EXPECT_TRUE(ProgressValues(r.posted).empty());
  int status = 0;
  RunCommand("sox --i '" + dir.File("out.wav") + "' >/dev/null 2>&1", &status);
  EXPECT_EQ(status, 0);

  // A range past the end of the data copies nothing and still closes the target.
  const RangeResult past = ConvertToWav(source, dir.File("past.wav"), 5000, 100, -1, -1);
  EXPECT_TRUE(past.samples.empty());
  EXPECT_EQ(CountDone(past.posted), 1);
  EXPECT_TRUE(boxes.Texts().empty());

  // Without a data chunk nothing starts and the target is not touched.
  const std::string noData = dir.File("nodata.wav");
  std::vector<std::uint8_t> bytes = ReadFileBytes(source);
  bytes[36] = 'j';
  WriteFileBytes(noData, bytes);
  WavMusic reader(noData);
  reader.info.sampleRate = 44100;
  reader.info.channels = 2;
  reader.info.bitsPerSample = 16;
  QueueTarget window;
  WavMusic writer(dir.File("never.wav"));
  writer.progressWindow = &window;
  EXPECT_FALSE(reader.ConvertRange(&writer, 0, 100, -1, -1));
  EXPECT_FALSE(reader.StartConvert(&writer));
  EXPECT_TRUE(window.All().empty());
  ASSERT_EQ(boxes.Texts().size(), 2u);
  EXPECT_EQ(boxes.Texts()[0], "无法找到 data riff/chunk！ - " + noData);
}

namespace {

// A progress window that cancels the source once the writer reports a given per-mille value,
// so the cancel lands deterministically in the middle of the conversion.
// It must outlive the source, whose worker may still be inside Post after the done message.
class CancellingWindow : public QueueTarget {
 public:
  explicit CancellingWindow(platform::WParam at) : at_(at) {}
  void Watch(Music* source) { source_ = source; }
  bool Post(std::uint32_t msg, platform::WParam w, platform::LParam l) override {
    if (msg == WM_MUSIC_PROGRESS && w >= at_ && source_ != nullptr) source_->CancelConvert();
    return QueueTarget::Post(msg, w, l);
  }

 private:
  Music* source_ = nullptr;
  platform::WParam at_;
};

}  // namespace

TEST(WavConvert, CancelLeavesAValidShorterFileOfWholeFrames) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  const std::int64_t frames = 44100 * 10;
  WriteWav(source, 44100, 2, 16, frames, NoiseSample);
  CancellingWindow window(300);
  WavMusic reader(source);
  ASSERT_TRUE(reader.GetMusicInfo());
  window.Watch(&reader);
  const std::string out = dir.File("out.wav");
  WavMusic writer(out);
  writer.info = reader.info;
  writer.progressWindow = &window;
  ASSERT_TRUE(writer.InitWriter());
  ASSERT_TRUE(reader.ConvertRange(&writer, 0, frames, 1, -1));
  ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
  EXPECT_EQ(CountDone(window.All()), 1);
  const std::vector<platform::WParam> progress = ProgressValues(window.All());
  ASSERT_FALSE(progress.empty());
  EXPECT_GE(progress.back(), 300u);
  // The chunk that crossed 300 ‰ is the last one: one chunk is 32 768 / 1 764 000 ≈ 18.6 ‰.
  EXPECT_LT(progress.back(), 319u);

  const std::vector<std::uint8_t> bytes = ReadFileBytes(out);
  const std::size_t data = bytes.size() - 46;
  EXPECT_EQ(data % 4, 0u);
  EXPECT_EQ(data % WavMusic::kBufferSize, 0u);
  EXPECT_LT(data, static_cast<std::size_t>(frames) * 4 / 2);
  int status = 0;
  const std::string samples = RunCommand("sox --i -s '" + out + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << samples;
  EXPECT_EQ(std::stoll(samples), static_cast<long long>(data / 4));
  // The frames after the fade-in are the source's own.
  const std::vector<std::uint8_t> in = ReadFileBytes(source);
  EXPECT_EQ(
      0, std::memcmp(bytes.data() + 46 + 44100 * 4, in.data() + 44 + 44100 * 4, data - 44100 * 4));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WavConvert, TwoRangesIntoOneWriterAndAnAbandonedSecondPass) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  WriteWav(source, 44100, 2, 16, 100000, NoiseSample);
  const std::vector<std::uint8_t> in = ReadFileBytes(source);
  QueueTarget windows[2];
  WavMusic reader(source);
  ASSERT_TRUE(reader.GetMusicInfo());
  for (bool finishSecond : {true, false}) {
    const std::string out = dir.File(finishSecond ? "two.wav" : "one.wav");
    QueueTarget& window = windows[finishSecond];
    {
      WavMusic writer(out);
      writer.info = reader.info;
      writer.info.durationMs = 1000;
      writer.progressWindow = &window;
      ASSERT_TRUE(writer.InitWriter());
      writer.finalizeOnClose = false;
      ASSERT_TRUE(reader.ConvertRange(&writer, 0, 30000, -1, -1));
      ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
      // Still open and unfinished: the data size is not written yet.
      const std::vector<std::uint8_t> partial = ReadFileBytes(out);
      ASSERT_GE(partial.size(), 46u);
      EXPECT_EQ(partial[42] | partial[43] << 8, 0);
      if (finishSecond) {
        writer.finalizeOnClose = true;
        writer.ResetProgress();
        ASSERT_TRUE(reader.ConvertRange(&writer, 70000, 30000, -1, -1));
        ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
      }
    }
    // The destructor finishes an abandoned writer without posting anything.
    EXPECT_EQ(CountDone(window.All()), finishSecond ? 2 : 1);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(out);
    const std::size_t expected = (finishSecond ? 60000u : 30000u) * 4;
    ASSERT_EQ(bytes.size(), 46 + expected);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 46, in.data() + 44, 30000 * 4));
    if (finishSecond) {
      EXPECT_EQ(0,
                std::memcmp(bytes.data() + 46 + 30000 * 4, in.data() + 44 + 70000 * 4, 30000 * 4));
    }
    int status = 0;
    const std::string count = RunCommand("sox --i -s '" + out + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << count;
    EXPECT_EQ(std::stoll(count), static_cast<long long>(expected / 4));
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WavConvert, StartConvertCopiesTheWholeFile) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("in.wav");
  WriteWav(source, 8000, 1, 16, 8000 * 2 + 3, NoiseSample);
  QueueTarget window;
  WavMusic reader(source);
  ASSERT_TRUE(reader.GetMusicInfo());
  EXPECT_EQ(reader.info.durationMs, 2000);
  WavMusic writer(dir.File("out.wav"));
  writer.info = reader.info;
  writer.progressWindow = &window;
  ASSERT_TRUE(writer.InitWriter());
  ASSERT_TRUE(reader.StartConvert(&writer));
  ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
  // Frames = rate × durationMs / 1000: the three frames beyond the last millisecond are not
  // part of the cache's length.
  const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("out.wav"));
  EXPECT_EQ(bytes.size(), 46u + 16000 * 2);
  EXPECT_EQ(ProgressValues(window.All()).back(), 1000u);
}

TEST(WavConvert, RangesPastTwoGiBOfSampleDataCopyTheRightFrames) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string source = dir.File("big.wav");
  // A sparse 3 GiB 16-bit stereo file: a canonical header, zeros, and a marked region
  // starting 2 GiB + 4000 bytes into the sample data.
  const std::int64_t dataSize = std::int64_t{3} << 30;
  WriteWav(source, 44100, 2, 16, 0, NoiseSample);
  std::vector<std::uint8_t> header = ReadFileBytes(source);
  for (int i = 0; i < 4; ++i) {
    header[40 + i] = static_cast<std::uint8_t>(dataSize >> (8 * i));
    header[4 + i] = static_cast<std::uint8_t>((dataSize + 36) >> (8 * i));
  }
  const std::int64_t firstFrame = ((std::int64_t{1} << 31) + 4000) / 4;
  std::vector<std::uint8_t> marked(4 * 3000);
  for (std::size_t i = 0; i < marked.size(); ++i) marked[i] = static_cast<std::uint8_t>(i * 7 + 1);
  {
    std::FILE* f = std::fopen(source.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fwrite(header.data(), 1, header.size(), f);
    ASSERT_EQ(fseeko(f, 44 + firstFrame * 4, SEEK_SET), 0);
    std::fwrite(marked.data(), 1, marked.size(), f);
    ASSERT_EQ(ftruncate(fileno(f), 44 + dataSize), 0);
    std::fclose(f);
  }
  WavMusic reader(source);
  ASSERT_TRUE(reader.GetMusicInfo());
  EXPECT_EQ(reader.info.durationMs, dataSize * 1000 / 176400);
  const RangeResult r = ConvertToWav(source, dir.File("out.wav"), firstFrame + 500, 2000, -1, -1);
  ASSERT_EQ(r.samples.size(), 2000u * 4);
  EXPECT_EQ(0, std::memcmp(r.samples.data(), marked.data() + 500 * 4, r.samples.size()));
  // The last frames of the file, reached by a range that asks for more.
  const std::int64_t frames = dataSize / 4;
  const RangeResult tail = ConvertToWav(source, dir.File("tail.wav"), frames - 10, 100, -1, -1);
  EXPECT_EQ(tail.samples.size(), 10u * 4);
  EXPECT_TRUE(boxes.Texts().empty());
}
