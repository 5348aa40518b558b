// WAV files past 4 GiB: sparse sources whose sizes are unknown, wrapped or kept in RF64's ds64
// read to their far end; caches and exports that outgrow 32-bit sizes written as RF64 and read
// back by sox and ffprobe; hostile RF64 headers. The large files are sparse: only headers, a
// few marks and a tone made by sox at the far end occupy the disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>

#include "codecs/wav/wav_music.h"
#include "platform/byte_order.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/sparse_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/wav_copy.h"

using namespace testing_support;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

struct Layout {
  int rate, channels, bits;
  int Align() const { return channels * bits / 8; }
};

// Half a second of two tones as raw PCM (8-bit unsigned, wider signed), made by sox.
std::string SoxTone(const Layout& l) {
  char command[200];
  std::snprintf(command, sizeof command,
                "sox -n -t raw -r %d -c %d -b %d -e %s - synth 0.5 sine 440 sine 660 2>/dev/null",
                l.rate, l.channels, l.bits, l.bits == 8 ? "unsigned" : "signed");
  return RunCommand(command);
}

// sox's raw decoding of a WAV file from frame `start` on.
std::string SoxFrom(const std::string& path, std::int64_t start) {
  return RunCommand("sox '" + path + "' -t raw - trim " + std::to_string(start) + "s 2>/dev/null");
}

std::string FfprobeFrames(const std::string& path) {
  return RunCommand("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 '" + path + "'");
}

Bytes Ds64(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t frames) {
  Bytes p;
  for (const std::uint64_t v : {riffSize, dataSize, frames}) Append64(p, v);
  Append32(p, 0);
  return p;
}

// "RF64", 0xFFFFFFFF, "WAVE" and the chunks.
Bytes Rf64(const std::vector<Bytes>& chunks) {
  return Concat({{'R', 'F', '6', '4', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'}, Concat(chunks)});
}

Bytes Fmt(const Layout& l) { return Chunk("fmt ", FormatRecord(1, l.channels, l.rate, l.bits)); }

MusicInfo ProbeOk(const std::string& path) {
  RecordingMessageBox boxes;
  WavMusic music(path);
  EXPECT_TRUE(music.GetMusicInfo());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
  return music.info;
}

// Writes a cache of `data` bytes of silence with a mark every 16 MiB, ending in `tone`.
void WriteMarkedCache(const std::string& path, const Layout& l, std::int64_t data,
                      const std::string& tone) {
  RecordingMessageBox boxes;
  WavMusic writer(path);
  writer.info = {path, kMusicWav, l.rate, l.channels, 0, l.bits, 0, {}};
  ASSERT_TRUE(writer.InitWriter());
  Bytes marked(16 << 20, 0);
  std::fill(marked.begin(), marked.begin() + 16, 0xFF);
  for (std::int64_t left = data - static_cast<std::int64_t>(tone.size()); left > 0;) {
    const std::int64_t n = std::min<std::int64_t>(left, marked.size());
    ASSERT_TRUE(writer.WriteSamples(marked.data(), n));
    left -= n;
  }
  ASSERT_TRUE(writer.WriteSamples(reinterpret_cast<const std::uint8_t*>(tone.data()),
                                  static_cast<std::int64_t>(tone.size())));
  ASSERT_TRUE(writer.CloseWriter());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

// Streaming more than 4 GiB through copies that ThreadSanitizer instruments byte by byte takes
// minutes; the release and AddressSanitizer runs cover those tests, other suites the threads.
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
// 32-bit sizes wrap; RF64 keeps the sizes in ds64 (0 there: unknown). A sox tone at the far end
// of each source comes back sample for sample, and asking for more shows where the data ends.
TEST(WavLarge, SourcesPastFourGiBReadToTheirFarEnd) {
  enum Sizes { kUnknown, kWrapped, kRf64, kRf64Unknown };
  struct Case {
    const char* name;
    Layout layout;
    std::int64_t frames;
    Sizes sizes;
    Bytes after;  // stray bytes of a partial frame, or a chunk after the data
  };
  const Case cases[] = {
      {"unknown sizes", {44100, 2, 16}, 1'350'000'000, kUnknown, {1, 2, 3}},
      {"wrapped sizes, chunk after the data",
       {48000, 2, 24},
       900'000'000,
       kWrapped,
       Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'a', 0})},
      {"RF64, five hours of 24-bit", {48000, 2, 24}, 864'000'000, kRf64, {}},
      {"RF64, data size unknown in ds64", {44100, 2, 16}, 1'300'000'000, kRf64Unknown, {9}},
  };
  SparseDir dir;
  SKIP_WITHOUT_SPARSE_FILES(dir, 6 * kGiB);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Layout& l = c.layout;
    const std::int64_t data = c.frames * l.Align();
    const bool rf64 = c.sizes == kRf64 || c.sizes == kRf64Unknown;
    const std::int64_t size = (rf64 ? 80 : 44) + data + static_cast<std::int64_t>(c.after.size());
    const auto wrap = [](std::int64_t v) { return static_cast<std::uint32_t>(v); };
    const Bytes head =
        c.sizes == kUnknown
            ? Concat({RiffForm("WAVE", {Fmt(l)}, 0xFFFFFFFF), Chunk("data", {}, 0xFFFFFFFF)})
        : c.sizes == kWrapped
            ? Concat({RiffForm("WAVE", {Fmt(l)}, wrap(size - 8)), Chunk("data", {}, wrap(data))})
            : Rf64({Chunk("ds64", Ds64(size - 8, c.sizes == kRf64 ? data : 0, c.frames)), Fmt(l),
                    Chunk("data", {}, 0xFFFFFFFF)});
    const std::string tone = SoxTone(l);
    const std::int64_t toneFrames = static_cast<std::int64_t>(tone.size()) / l.Align();
    const std::string path = dir.File("source.wav");
    WriteSparseFile(path, head, size, Concat({Bytes(tone.begin(), tone.end()), c.after}));

    const auto started = Clock::now();
    const MusicInfo info = ProbeOk(path);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(info.durationMs, c.frames * 1000 / l.rate);
    CopyWavFrames(path, info, dir.File("tail.wav"), c.frames - toneFrames, toneFrames + 1000);
    EXPECT_TRUE(SoxFrom(dir.File("tail.wav"), 0) == tone);
  }
}

// Whether a file needs RF64 depends on its exact length: the largest cache whose RIFF size fits
// 32 bits keeps the classic header, one byte more (and the pad byte of an odd size) makes it
// RF64, and so does an export of more than 4 GiB of 24-bit stereo from an RF64 cache. All are
// read by sox, ffprobe and us; the silence in them is a hole.
TEST(WavLarge, CachesAndExportsBecomeRf64ExactlyWhenTheirSizesPassThirtyTwoBits) {
  SKIP_UNDER_THREAD_SANITIZER();
  SparseDir dir;
  SKIP_WITHOUT_SPARSE_FILES(dir, 5 * kGiB);
  struct Case {
    Layout layout;
    std::int64_t data;
    bool rf64;
    bool exported;  // copied from an RF64 cache rather than written sample by sample
  };
  const Case cases[] = {
      {{8000, 1, 8}, 0xFFFFFFFF - 39, false, false},
      {{8000, 1, 8}, 0xFFFFFFFF - 38, true, false},
      {{48000, 2, 24}, std::int64_t{716'000'000} * 6, true, true},  // 4.296 GB of samples
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    const Layout& l = c.layout;
    const std::string tone = SoxTone(l);
    const std::int64_t frames = c.data / l.Align();
    const std::string path = dir.File("out.wav");
    if (c.exported) {
      const std::string cache = dir.File("cache.wav");
      WriteSparseFile(
          cache,
          Rf64({Chunk("ds64", Ds64(0, c.data, frames)), Fmt(l), Chunk("data", {}, 0xFFFFFFFF)}),
          80 + c.data, Bytes(tone.begin(), tone.end()));
      CopyWavFrames(cache, ProbeOk(cache), path, 0, frames);
    } else {
      WriteMarkedCache(path, l, c.data, tone);
    }
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 64 << 20);
    const std::int64_t dataOffset = st.st_size - c.data - (c.data & 1);
    const Bytes head = ReadHead(path, 80);
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), c.rf64 ? "RF64" : "RIFF");
    if (c.rf64) {  // ds64: RIFF size, data size, frame count
      EXPECT_EQ(platform::LoadLe64(&head[20]), static_cast<std::uint64_t>(st.st_size - 8));
      EXPECT_EQ(platform::LoadLe64(&head[28]), static_cast<std::uint64_t>(c.data));
      EXPECT_EQ(platform::LoadLe64(&head[36]), static_cast<std::uint64_t>(frames));
    }
    EXPECT_EQ(RunCommand("soxi -s '" + path + "'"), std::to_string(frames) + "\n");
    EXPECT_EQ(FfprobeFrames(path), std::to_string(frames) + "\n");
    EXPECT_TRUE(SoxFrom(path, frames - static_cast<std::int64_t>(tone.size()) / l.Align()) == tone);
    EXPECT_EQ(ProbeOk(path).durationMs, frames * 1000 / l.rate);
    WavMusic reader(path);
    ASSERT_TRUE(reader.OpenAtData());
    EXPECT_EQ(reader.Seek(0), dataOffset);
  }
}

// Hostile RF64 headers and a long run of zeros before fmt give their message, or the frames
// the file holds, at once: ds64 sizes are believed only as far as the file goes.
TEST(WavLarge, HostileRf64HeadersGiveAMessageOrTheFramesPresentQuickly) {
  const Bytes fmt = Fmt({8000, 2, 16});
  const Bytes data = Chunk("data", Bytes(32000, 7), 0xFFFFFFFF);  // one second
  const std::int64_t past = std::int64_t{10} << 32;
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;  // nullptr: opens with one second
  };
  const Case cases[] = {
      {"data size past the file", Rf64({Chunk("ds64", Ds64(1 << 20, past, 1)), fmt, data}),
       nullptr},
      {"data size zero", Rf64({Chunk("ds64", Ds64(0, 0, 0)), fmt, data}), nullptr},
      {"absurd sizes", Rf64({Chunk("ds64", Ds64(~0ull, (1ull << 63) + 5, ~0ull)), fmt, data}),
       nullptr},
      {"no ds64", Rf64({fmt, data}), "无法找到 ds64 riff/chunk！"},
      {"ds64 too short", Rf64({Chunk("ds64", Bytes(12, 0)), fmt, data}), "无效文件错误"},
      {"ds64 chunk size absurd", Rf64({Chunk("ds64", Ds64(0, 32000, 8000), 0xFFFFFFF0), fmt, data}),
       "无法找到 fmt  riff/chunk！"},
  };
  const auto check = [](const std::string& path, const char* message) {
    SCOPED_TRACE(path);
    RecordingMessageBox boxes;
    WavMusic music(path);
    const auto started = Clock::now();
    EXPECT_EQ(music.GetMusicInfo(), message == nullptr);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(1));
    if (message == nullptr) {
      EXPECT_EQ(music.info.durationMs, 1000);
    } else {
      EXPECT_EQ(boxes.Texts(), std::vector<std::string>{message + (" - " + path)});
    }
  };
  TempDir small;
  for (const Case& c : cases) {
    WriteFileBytes(small.File(c.name), c.bytes);
    check(small.File(c.name), c.message);
  }
  SparseDir large;
  SKIP_WITHOUT_SPARSE_FILES(large, 4 * kGiB);
  const Bytes tail = Concat({fmt, data});  // after 3 GiB of zeros
  WriteSparseFile(large.File("zeros.wav"),
                  {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'},
                  12 + 3 * kGiB + static_cast<std::int64_t>(tail.size()), tail, false);
  check(large.File("zeros.wav"), "无法找到 fmt  riff/chunk！");
}
