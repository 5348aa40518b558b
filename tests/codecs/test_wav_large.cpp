// WAV files past 4 GiB: sparse sources whose sizes are unknown, wrapped or kept in RF64's ds64
// read to their far end; caches and exports that outgrow 32-bit sizes written as RF64 and read
// back by sox and ffprobe; hostile RF64 headers. The large files are sparse: only their headers,
// a few marks and a tone made by sox at the far end occupy the disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/wav/wav_music.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/sparse_dir.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;

struct Layout {
  int rate, channels, bits;
  int BlockAlign() const { return channels * bits / 8; }
};

// Half a second of two tones as raw signed PCM (8-bit: unsigned), made by sox.
Bytes SoxTone(const Layout& l) {
  char command[256];
  std::snprintf(command, sizeof command,
                "sox -n -t raw -r %d -c %d -b %d -e %s - synth 0.5 sine 440 sine 660 2>/dev/null",
                l.rate, l.channels, l.bits, l.bits == 8 ? "unsigned" : "signed");
  const std::string raw = RunCommand(command);
  return Bytes(raw.begin(), raw.end());
}

// sox's decoding of frames [start, end of file) of a WAV file, as raw samples.
std::string SoxTail(const std::string& path, std::int64_t start) {
  return RunCommand("sox '" + path + "' -t raw - trim " + std::to_string(start) + "s 2>/dev/null");
}

std::string FfprobeFrames(const std::string& path) {
  std::string out = RunCommand(
      "ffprobe -v error -show_entries stream=duration_ts -of default=nw=1:nk=1 '" + path + "'");
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

Bytes PlainHeader(const Layout& l, std::uint32_t riffSize, std::uint32_t dataSize) {
  return Concat(
      {RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, l.channels, l.rate, l.bits))}, riffSize),
       Chunk("data", {}, dataSize)});
}

Bytes Ds64(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t frames) {
  Bytes payload;
  Append64(payload, riffSize);
  Append64(payload, dataSize);
  Append64(payload, frames);
  Append32(payload, 0);
  return payload;
}

// "RF64", 0xFFFFFFFF, "WAVE" and the chunks; data marked 0xFFFFFFFF as RF64 writers do.
Bytes Rf64Header(const std::vector<Bytes>& chunks) {
  return Concat({{'R', 'F', '6', '4', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'}, Concat(chunks)});
}

Bytes Rf64Header(const Layout& l, std::uint64_t riffSize, std::uint64_t dataSize) {
  return Rf64Header({Chunk("ds64", Ds64(riffSize, dataSize, dataSize / l.BlockAlign())),
                     Chunk("fmt ", FormatRecord(1, l.channels, l.rate, l.bits)),
                     Chunk("data", {}, 0xFFFFFFFF)});
}

MusicInfo ProbeOk(const std::string& path) {
  RecordingMessageBox boxes;
  WavMusic music(path);
  EXPECT_TRUE(music.GetMusicInfo());
  EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
  return music.info;
}

// Copies frames [start, start + count) of `source` into a WAV file at `out` (the export path).
void CopyRange(const std::string& source, const MusicInfo& info, const std::string& out,
               std::int64_t start, std::int64_t count) {
  RecordingMessageBox boxes;
  QueueTarget window;
  WavMusic reader(source);
  reader.info = info;
  WavMusic writer(out);
  writer.info = info;
  writer.progressWindow = &window;
  ASSERT_TRUE(writer.InitWriter());
  ASSERT_TRUE(reader.ConvertRange(&writer, start, count, -1, -1));
  ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::minutes(2)).has_value());
  EXPECT_FALSE(writer.writeFailed.load());
  EXPECT_TRUE(boxes.Texts().empty());
}

// Streaming more than 4 GiB through copies that ThreadSanitizer instruments byte by byte takes
// minutes; the release and AddressSanitizer runs cover those tests, the other suites the threads.
#if defined(__SANITIZE_THREAD__)
#define SKIP_UNDER_THREAD_SANITIZER() \
  GTEST_SKIP() << "streams past 4 GiB take minutes under ThreadSanitizer"
#else
#define SKIP_UNDER_THREAD_SANITIZER() static_cast<void>(0)
#endif

#define SKIP_WITHOUT_SPARSE_FILES(dir, bytes)                      \
  if (const std::string why = (dir).Unusable(bytes); !why.empty()) \
  GTEST_SKIP() << "large sparse files: " << why

}  // namespace

// Recorders that cannot know the length write 0xFFFFFFFF; naive writers past 4 GiB let the
// 32-bit sizes wrap; RF64 keeps the sizes in ds64 (0 there: unknown). Each source holds a sox
// tone at its far end, which a copy of the last frames reproduces sample for sample.
TEST(WavLarge, SourcesPastFourGiBReadToTheirFarEnd) {
  enum Sizes { kUnknown, kWrapped, kRf64, kRf64Unknown };
  struct Case {
    const char* name;
    Layout layout;
    std::int64_t frames;
    Sizes sizes;
    int strayBytes;  // a partial frame after the last whole one
    Bytes trailer;   // a chunk after the data
  };
  const Case cases[] = {
      {"unknown sizes", {44100, 2, 16}, 1'350'000'000, kUnknown, 3, {}},
      {"wrapped sizes, chunk after the data",
       {48000, 2, 24},
       900'000'000,
       kWrapped,
       0,
       Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'a', 0})},
      {"RF64, five hours of 24-bit", {48000, 2, 24}, 864'000'000, kRf64, 0, {}},
      {"RF64, data size unknown in ds64", {44100, 2, 16}, 1'300'000'000, kRf64Unknown, 1, {}},
  };
  SparseDir dir;
  SKIP_WITHOUT_SPARSE_FILES(dir, 6 * (std::int64_t{1} << 30));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Layout& l = c.layout;
    const std::int64_t dataBytes = c.frames * l.BlockAlign();
    const auto headerSize = static_cast<std::int64_t>(PlainHeader(l, 0, 0).size());
    const std::int64_t fileSize = [&] {
      const std::int64_t rest = dataBytes + c.strayBytes + std::int64_t(c.trailer.size());
      const bool rf64 = c.sizes == kRf64 || c.sizes == kRf64Unknown;
      return (rf64 ? static_cast<std::int64_t>(Rf64Header(l, 0, 0).size()) : headerSize) + rest;
    }();
    Bytes head;
    switch (c.sizes) {
      case kUnknown: head = PlainHeader(l, 0xFFFFFFFF, 0xFFFFFFFF); break;
      case kWrapped:
        head = PlainHeader(l, static_cast<std::uint32_t>(fileSize - 8),
                           static_cast<std::uint32_t>(dataBytes));
        break;
      case kRf64: head = Rf64Header(l, fileSize - 8, dataBytes); break;
      case kRf64Unknown: head = Rf64Header(l, 0, 0); break;
    }
    const Bytes tone = SoxTone(l);
    ASSERT_FALSE(tone.empty());
    const std::int64_t toneFrames = static_cast<std::int64_t>(tone.size()) / l.BlockAlign();
    const std::string path = dir.File("source.wav");
    WriteSparseFile(path, head, fileSize, Concat({tone, Bytes(c.strayBytes, 0x55), c.trailer}));

    const auto started = Clock::now();
    const MusicInfo info = ProbeOk(path);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(info.durationMs, c.frames * 1000 / l.rate);
    // Asking for more than is there shows where the samples end.
    CopyRange(path, info, dir.File("tail.wav"), c.frames - toneFrames, toneFrames + 1000);
    const std::string copied = SoxTail(dir.File("tail.wav"), 0);
    EXPECT_EQ(copied.size(), tone.size());
    EXPECT_TRUE(copied == std::string(tone.begin(), tone.end()));
  }
}

// Whether a file needs RF64 depends on its exact length: the largest file whose RIFF size fits
// 32 bits stays a classic file with its 46-byte header, one byte more (and the pad byte that
// comes with an odd size) makes it RF64. Both are read by sox and ffprobe, and by us.
TEST(WavLarge, CacheBecomesRf64ExactlyWhenItsSizesPassThirtyTwoBits) {
  SKIP_UNDER_THREAD_SANITIZER();
  struct Case {
    std::int64_t dataBytes;
    bool rf64;
  };
  const Case cases[] = {{0xFFFFFFFF - 38 - 1, false}, {0xFFFFFFFF - 38, true}};
  const Layout l{8000, 1, 8};
  SparseDir dir;
  SKIP_WITHOUT_SPARSE_FILES(dir, 5 * (std::int64_t{1} << 30));
  const Bytes tone = SoxTone(l);
  Bytes marked(16 << 20, 0);
  std::fill(marked.begin(), marked.begin() + 16, 0xFF);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataBytes);
    RecordingMessageBox boxes;
    const std::string path = dir.File(c.rf64 ? "rf64.wav" : "riff.wav");
    {
      WavMusic writer(path);
      writer.info.sampleRate = l.rate;
      writer.info.channels = l.channels;
      writer.info.bitsPerSample = l.bits;
      ASSERT_TRUE(writer.InitWriter());
      const std::int64_t silence = c.dataBytes - static_cast<std::int64_t>(tone.size());
      for (std::int64_t done = 0; done < silence;) {
        const std::int64_t n = std::min<std::int64_t>(silence - done, marked.size());
        ASSERT_TRUE(writer.WriteSamples(marked.data(), n));
        done += n;
      }
      ASSERT_TRUE(writer.WriteSamples(tone.data(), static_cast<std::int64_t>(tone.size())));
      ASSERT_TRUE(writer.CloseWriter());
    }
    EXPECT_TRUE(boxes.Texts().empty());
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 64 << 20);  // the silence is a hole
    const std::int64_t dataOffset = c.rf64 ? 4142 : 46;
    const std::int64_t fileSize = dataOffset + c.dataBytes + (c.dataBytes & 1);
    const Bytes head = ReadHead(path, dataOffset);
    Bytes expected;
    if (c.rf64) {
      expected = Rf64Header({Chunk("ds64", Ds64(fileSize - 8, c.dataBytes, c.dataBytes)),
                             Chunk("fmt ", FormatRecord(1, 1, 8000, 8, 18)),
                             Chunk("JUNK", {}, 4052), Chunk("data", {}, 0xFFFFFFFF)});
      expected[72] = 18;  // cbSize
      ASSERT_EQ(head.size(), 4142u);
      EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 82, head.begin()));
      EXPECT_TRUE(std::equal(expected.begin() + 82, expected.end(), head.end() - 8));
    } else {
      expected = Concat({RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 1, 8000, 8, 18))},
                                  static_cast<std::uint32_t>(fileSize - 8)),
                         Chunk("data", {}, c.dataBytes)});
      expected[36] = 18;  // cbSize
      EXPECT_EQ(head, expected);
    }
    const std::int64_t frames = c.dataBytes;
    EXPECT_EQ(RunCommand("soxi -s '" + path + "' 2>/dev/null"), std::to_string(frames) + "\n");
    EXPECT_EQ(FfprobeFrames(path), std::to_string(frames));
    const std::string tail = SoxTail(path, frames - static_cast<std::int64_t>(tone.size()));
    EXPECT_TRUE(tail == std::string(tone.begin(), tone.end()));
    EXPECT_EQ(ProbeOk(path).durationMs, frames * 1000 / l.rate);
    WavMusic reader(path);
    ASSERT_TRUE(reader.OpenAtData());
    EXPECT_EQ(reader.Seek(0), dataOffset);
  }
}

// An export of more than 4 GiB of 24-bit stereo from an RF64 cache is RF64 itself.
TEST(WavLarge, ExportPastFourGiBIsRf64ThatSoxAndFfprobeRead) {
  SKIP_UNDER_THREAD_SANITIZER();
  const Layout l{48000, 2, 24};
  const std::int64_t frames = 716'000'000;  // 4.296 GB of samples
  SparseDir dir;
  SKIP_WITHOUT_SPARSE_FILES(dir, 5 * (std::int64_t{1} << 30));
  const Bytes tone = SoxTone(l);
  const std::int64_t dataBytes = frames * l.BlockAlign();
  const Bytes head = Rf64Header(l, 0, dataBytes);
  const std::string source = dir.File("cache.wav");
  WriteSparseFile(source, head, static_cast<std::int64_t>(head.size()) + dataBytes, tone);
  const MusicInfo info = ProbeOk(source);
  ASSERT_EQ(info.durationMs, frames * 1000 / l.rate);

  const std::string out = dir.File("export.wav");
  CopyRange(source, info, out, 0, frames);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ReadHead(out, 4).data()), 4), "RF64");
  EXPECT_EQ(FfprobeFrames(out), std::to_string(frames));
  const std::int64_t toneFrames = static_cast<std::int64_t>(tone.size()) / l.BlockAlign();
  const std::string tail = SoxTail(out, frames - toneFrames);
  EXPECT_EQ(tail.size(), tone.size());
  EXPECT_TRUE(tail == std::string(tone.begin(), tone.end()));
}

// Hostile RF64 headers and a long run of zeros before fmt: each gives its message or the frames
// the file holds, at once. ds64 sizes are believed only as far as the file goes.
TEST(WavLarge, HostileRf64HeadersGiveAMessageOrTheFramesPresentQuickly) {
  const Bytes second(32000, 7);  // one second of samples
  const Bytes fmt = Chunk("fmt ", FormatRecord(1, 2, 8000, 16));
  const Bytes data = Chunk("data", second, 0xFFFFFFFF);
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;  // nullptr: opens with one second
  };
  const Case cases[] = {
      {"data size past the file",
       Rf64Header({Chunk("ds64", Ds64(1 << 20, 10 * kFourGiB, 1)), fmt, data}), nullptr},
      {"data size zero", Rf64Header({Chunk("ds64", Ds64(0, 0, 0)), fmt, data}), nullptr},
      {"absurd sizes", Rf64Header({Chunk("ds64", Ds64(~0ull, (1ull << 63) + 5, ~0ull)), fmt, data}),
       nullptr},
      {"no ds64", Rf64Header({fmt, data}), "无法找到 ds64 riff/chunk！"},
      {"ds64 too short", Rf64Header({Chunk("ds64", Bytes(12, 0)), fmt, data}), "无效文件错误"},
      {"ds64 chunk size absurd",
       Rf64Header({Chunk("ds64", Ds64(0, 32000, 8000), 0xFFFFFFF0), fmt, data}),
       "无法找到 fmt  riff/chunk！"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("hostile.wav");
    WriteFileBytes(path, c.bytes);
    RecordingMessageBox boxes;
    WavMusic music(path);
    const auto started = Clock::now();
    const bool ok = music.GetMusicInfo();
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(1));
    if (c.message == nullptr) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(music.info.durationMs, 1000);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(boxes.Texts(), std::vector<std::string>{std::string(c.message) + " - " + path});
    }
  }

  SparseDir large;
  SKIP_WITHOUT_SPARSE_FILES(large, 4 * (std::int64_t{1} << 30));
  const std::string zeros = large.File("zeros.wav");
  const Bytes tailChunks = Concat({fmt, Chunk("data", second)});
  WriteSparseFile(zeros, {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'},
                  12 + 3 * (std::int64_t{1} << 30) + static_cast<std::int64_t>(tailChunks.size()),
                  tailChunks, false);
  RecordingMessageBox boxes;
  WavMusic music(zeros);
  const auto started = Clock::now();
  EXPECT_FALSE(music.GetMusicInfo());
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(1));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"无法找到 fmt  riff/chunk！ - " + zeros});
}
