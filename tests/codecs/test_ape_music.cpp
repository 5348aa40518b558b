// APE files through ApeMusic, checked with ffmpeg: real files load with exactly its samples
// and format;
// hostile, cut and damaged files give one message and at most a shorter valid cache; exports
// at every level, 8 to 32-bit, mono and stereo, in one or two ranges decode bit-exactly (with
// checksums checked) and load back the same; without a usable library APE alone fails, silently.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/encoder_settings.h"
#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "tests/support/full_disk.h"
#include "tests/support/ogg_tools.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

using Texts = std::vector<std::string>;
using Span = std::pair<std::int64_t, std::int64_t>;  // first frame, frame count
constexpr int kRate = 44100;
const std::string kOpenError = "打开 APE 文件错误(错误代码： ";
const std::string kDamaged = "解压缩错误 (包含校验值，但文件可能已损坏)\r\n";

// ffmpeg's samples of `path` at the width of `bits` (checksums checked); empty when it fails.
Bytes Ffmpeg(const std::string& path, int bits) {
  const std::string format = bits == 8 ? "u8" : bits == 16 ? "s16le" : "s24le";
  int status = -1;
  const std::string out = RunCommand("ffmpeg -nostdin -v error -err_detect crccheck+explode -i " +
                                         ShellQuoted(path) + " -f " + format + " - 2>/dev/null",
                                     &status);
  return status == 0 ? Bytes(out.begin(), out.end()) : Bytes{};
}

// The texts shown, without " - <path>".
Texts Messages(const RecordingMessageBox& boxes) {
  Texts texts;
  for (const std::string& text : boxes.Texts()) texts.push_back(text.substr(0, text.rfind(" - ")));
  return texts;
}

struct Loaded {
  bool probed = false;
  MusicInfo info;
  Bytes cache;  // the cache's samples as ffmpeg reads them
  Texts messages;
};

// Opens `path` as the program does: the probe, then the decode into a WAV cache.
Loaded Load(const TempDir& dir, const std::string& path) {
  RecordingMessageBox boxes;
  Loaded loaded;
  loaded.info.fileName = path;
  loaded.info.type = kMusicApe;
  loaded.probed = ProbeMusicFile(loaded.info);
  if (loaded.probed) {
    QueueTarget window;
    auto source = CreateMusic(kMusicApe, path);
    source->info = loaded.info;
    WavMusic cache(dir.File("cache.wav"));
    cache.info = loaded.info;
    cache.progressWindow = &window;
    EXPECT_TRUE(cache.InitWriter() && source->StartConvert(&cache));
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
    loaded.cache = Ffmpeg(cache.path, loaded.info.bitsPerSample);
  }
  loaded.messages = Messages(boxes);
  return loaded;
}

// A WAV of noise at `bits` (8-bit as unsigned bytes).
void WriteNoiseWav(const std::string& path, int bits, int channels, std::int64_t frames) {
  WriteWav(path, kRate, channels, bits, frames, [bits](std::int64_t f, int c) {
    const std::int32_t v = NoiseSample(f, c);
    const auto wide = static_cast<std::uint32_t>(v) << 16 | static_cast<std::uint32_t>(f & 0xFFFF);
    return bits == 8 ? (v & 0xFF) : bits == 16 ? v : static_cast<std::int32_t>(wide);
  });
}

struct Exported {
  bool started = false;
  bool writeFailed = false;
  Texts messages;
};

// Exports `spans` of the WAV `source` to `out` as the split command does, at the stored level
// `level`: the writer starts announcing `announcedMs`; with several spans it stays open after
// each but the last, and each span counts its own progress.
Exported Export(const std::string& source, const std::string& out, const std::vector<Span>& spans,
                int level, std::int64_t announcedMs) {
  GlobalEncoderSettings().compressionLevel = level;
  RecordingMessageBox boxes;
  QueueTarget window;
  WavMusic cache(source);
  EXPECT_TRUE(cache.GetMusicInfo());
  Exported result;
  {
    auto writer = CreateMusic(kMusicApe, out);
    writer->info = cache.info;
    writer->info.durationMs = announcedMs;
    writer->progressWindow = &window;
    result.started = writer->InitWriter();
    for (std::size_t i = 0; result.started && i < spans.size(); ++i) {
      writer->finalizeOnClose = i + 1 == spans.size();
      if (spans.size() > 1) {
        writer->info.durationMs = spans[i].second * 1000 / kRate;
        writer->ResetProgress();
      }
      EXPECT_TRUE(cache.ConvertRange(writer.get(), spans[i].first, spans[i].second, -1, -1));
      EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
    }
    result.writeFailed = writer->writeFailed;
  }
  result.messages = Messages(boxes);
  GlobalEncoderSettings() = EncoderSettings{};
  return result;
}

TEST(ApeMusic, RealFilesLoadWithExactlyTheSamplesFfmpegDecodes) {
  for (const char* name : {"mac-399.ape", "mac-396.ape", "mac-399-tagged.ape"}) {
    SCOPED_TRACE(name);
    const std::string path = RealTestFile(name);
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "the shared test data is absent: " << path;
    TempDir dir;
    const Loaded loaded = Load(dir, path);
    const Bytes expected = Ffmpeg(path, 16);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(loaded.cache == expected) << loaded.cache.size() << " vs " << expected.size();
    EXPECT_EQ(loaded.messages, Texts{});
    EXPECT_EQ(loaded.info.durationMs,
              static_cast<std::int64_t>(expected.size() / 4) * 1000 / kRate);
    EXPECT_TRUE(loaded.info.sampleRate == kRate && loaded.info.channels == 2 &&
                loaded.info.bitsPerSample == 16 && loaded.info.tag.title.empty());
    // The average bitrate is the file's, as ffprobe reports it (bit/s → kbit/s).
    const std::string probed = RunCommand(
        "ffprobe -v error -show_entries format=bit_rate -of csv=p=0 " + ShellQuoted(path));
    EXPECT_NEAR(loaded.info.bitrate, std::stod(probed) / 1000, 1.0);
  }
}

TEST(ApeMusic, HostileCutAndDamagedFilesGiveTheirMessageAndAtMostAShorterValidCache) {
  TempDir dir;
  const std::string intactPath = dir.File("intact.ape");
  WriteNoiseWav(dir.File("in.wav"), 16, 2, 4 * kRate);  // three frames at level 1000
  ASSERT_TRUE(Export(dir.File("in.wav"), intactPath, {{0, 4 * kRate}}, 1000, 4000).started);
  const Bytes intact = ReadFileBytes(intactPath);
  const Bytes intactPcm = Ffmpeg(intactPath, 16);
  const auto seek = [&](int i) {
    return intact[76 + 4 * i] | intact[77 + 4 * i] << 8 | intact[78 + 4 * i] << 16;
  };
  Bytes flipped = intact;  // a byte in the middle of the second frame
  flipped[(seek(1) + seek(2)) / 2] ^= 0x10;
  const std::string notApe = kOpenError + "2)\r\n";
  struct Case {
    std::string name;
    Bytes bytes;
    std::string message;
    std::int64_t keptBytes;  // the intact samples the cache starts with; -1 no cache
  };
  std::vector<Case> cases = {
      {"second frame damaged", flipped, kDamaged, 73728 * 4},
      {"last bytes cut", Bytes(intact.begin(), intact.end() - 999), kDamaged, 2 * 73728 * 4},
      {"cut in the header", Bytes(intact.begin(), intact.begin() + 60), notApe, -1},
      {"text", Bytes{'t', 'e', 'x', 't'}, notApe, -1},
      {"empty", {}, notApe, -1},
      {"a wave file", ReadFileBytes(dir.File("in.wav")), notApe, -1},
      {"the magic alone", Bytes{'M', 'A', 'C', ' ', 0x96, 0x0F}, notApe, -1},
  };
  Texts absent;
  for (const char* name : {"longloop.ape", "zerodiv.ape", "mac-390-hdr.ape"}) {
    if (std::filesystem::exists(RealTestFile(name))) {
      cases.push_back({name, ReadFileBytes(RealTestFile(name)), notApe, -1});
    } else {
      absent.push_back(name);
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(dir.File("hostile.ape"), c.bytes);
    const auto start = std::chrono::steady_clock::now();
    const Loaded loaded = Load(dir, dir.File("hostile.ape"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(loaded.messages, Texts{c.message});
    ASSERT_EQ(loaded.probed, c.keptBytes >= 0);
    if (loaded.probed) {
      EXPECT_TRUE(loaded.cache == Bytes(intactPcm.begin(), intactPcm.begin() + c.keptBytes));
    }
  }
  for (const std::string& unopenable : {dir.File("missing.ape"), dir.path()})
    EXPECT_EQ(Load(dir, unopenable).messages, Texts{kOpenError + "1)\r\n"}) << unopenable;
  if (!absent.empty())
    GTEST_SKIP() << "shared test data absent: " << testing::PrintToString(absent);
}

TEST(ApeMusic, ExportsAtTheStoredLevelDecodeBitExactlyAndLoadBackTheSame) {
  struct Case {
    const char* name;
    int level, bits, channels;
    std::vector<Span> spans;
    int writtenLevel;
    std::int64_t announcedMs = -1;  // -1: the first span's length
  };
  const std::int64_t n = 3 * kRate;
  const std::vector<Span> twoRanges = {{0, 4 * kRate}, {5 * kRate, 5 * kRate}};
  const Case cases[] = {
      {"level 1000, 16-bit stereo", 1000, 16, 2, {{0, n}}, 1000},
      {"level 2000, 8-bit mono, a segment", 2000, 8, 1, {{1000, kRate}}, 2000},
      {"level 3000, 16-bit mono", 3000, 16, 1, {{0, n}}, 3000},
      {"level 4000, 8-bit stereo", 4000, 8, 2, {{5, n - 5}}, 4000},
      {"level 5000, 16-bit stereo", 5000, 16, 2, {{0, n}}, 5000},
      {"level 5000, 24-bit mono", 5000, 24, 1, {{0, n}}, 5000},
      {"level 5000, 24-bit stereo is written at 4000", 5000, 24, 2, {{0, n}}, 4000},
      {"32-bit samples are written as their top 24 bits", 3000, 32, 2, {{0, n}}, 3000},
      {"a stored level out of range gives 2000", 2500, 16, 2, {{0, n}}, 2000},
      {"an empty range gives one block of silence", 2000, 16, 2, {{100, 0}}, 2000},
      {"two ranges far longer than the segment announced", 1000, 16, 2, twoRanges, 1000, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string wav = dir.File("in.wav");
    const std::string out = dir.File("out.ape");
    WriteNoiseWav(wav, c.bits, c.channels, c.spans.back().first + c.spans.back().second + 7);
    const Exported exported =
        Export(wav, out, c.spans, c.level,
               c.announcedMs >= 0 ? c.announcedMs : c.spans[0].second * 1000 / kRate);
    EXPECT_TRUE(exported.started && !exported.writeFailed && exported.messages.empty());
    const int bits = std::min(c.bits, 24);
    const std::int64_t align = c.channels * bits / 8;
    const Bytes source = Ffmpeg(wav, bits);
    Bytes expected;
    for (const auto& [first, count] : c.spans)
      expected.insert(expected.end(), source.begin() + first * align,
                      source.begin() + (first + count) * align);
    if (expected.empty()) expected.assign(align, 0);
    EXPECT_TRUE(Ffmpeg(out, bits) == expected);
    const std::string log = RunCommand("ffprobe -v verbose " + ShellQuoted(out) + " 2>&1");
    EXPECT_NE(log.find("compression level " + std::to_string(c.writtenLevel) + "\n"),
              std::string::npos)
        << log;
    const Loaded loaded = Load(dir, out);
    EXPECT_TRUE(loaded.cache == expected && loaded.info.bitsPerSample == bits);
  }
}

TEST(ApeMusic, WriterFailuresAreReportedOnceAndMarkTheOutput) {
  struct Case {
    const char* output;  // inside the test folder
    std::int64_t seconds, announcedMs;
    rlim_t fileLimit;  // 0: none
    std::string message;
  };
  const Case cases[] = {
      {"missing/out.ape", 1, 1000, 0, "开始编码错误。"},
      {"more-than-announced.ape", 8, 1000, 0, "编码错误(错误代码： 7)"},
      {"disk-full-at-the-end.ape", 1, 1000, 2000, "结束编码错误。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    WriteNoiseWav(dir.File("in.wav"), 16, 2, c.seconds * kRate);
    auto limit = c.fileLimit > 0 ? std::make_unique<FileSizeLimit>(c.fileLimit) : nullptr;
    const Exported exported = Export(dir.File("in.wav"), dir.File(c.output),
                                     {{0, c.seconds * kRate}}, 2000, c.announcedMs);
    limit.reset();
    EXPECT_EQ(exported.messages, Texts{c.message});
    EXPECT_EQ(exported.writeFailed, exported.started);
  }
}

// A copy of this program runs this test again, in a folder holding no usable MACDll.so and with
// APE_BINDING_DATA naming the folder of the files it opens.
TEST(ApeMusic, WithoutAUsableLibraryApeAloneFailsAndSaysNothing) {
  if (const char* data = std::getenv("APE_BINDING_DATA")) {
    RecordingMessageBox boxes;
    for (const char* name : {"in.wav", "in.ogg", "in.ape"}) {
      MusicInfo info;
      info.fileName = std::string(data) + "/" + name;
      info.type = MusicTypeFromFileName(name);
      EXPECT_EQ(ProbeMusicFile(info), info.type != kMusicApe) << name;
    }
    auto writer = CreateMusic(kMusicApe, std::string(data) + "/out.ape");
    writer->info = {writer->path, kMusicApe, kRate, 2, 128, 16, 1000, {}};
    EXPECT_FALSE(writer->InitWriter() || std::filesystem::exists(writer->path));
    EXPECT_EQ(boxes.Texts(), Texts{});
    return;
  }
  TempDir data;
  WriteNoiseWav(data.File("in.wav"), 16, 2, kRate);
  ASSERT_TRUE(EncodeWithOggenc(data.File("in.ogg"), kRate, 2, kRate));
  ASSERT_TRUE(Export(data.File("in.wav"), data.File("in.ape"), {{0, kRate}}, 2000, 1000).started);
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  // Beside the copy as MACDll.so: nothing, a file that is no library, a library without the
  // interface.
  for (const std::string& library :
       {std::string(), data.File("in.wav"), (self.parent_path() / "mp3decdll.so").string()}) {
    SCOPED_TRACE(library);
    TempDir program;
    std::filesystem::copy_file(self, program.File("copy"));
    if (!library.empty()) std::filesystem::copy_file(library, program.File("MACDll.so"));
    int status = -1;
    const std::string out = RunCommand(
        "APE_BINDING_DATA=" + ShellQuoted(data.path()) + " " + ShellQuoted(program.File("copy")) +
            " --gtest_filter=ApeMusic.WithoutAUsableLibraryApeAloneFailsAndSaysNothing 2>&1",
        &status);
    EXPECT_TRUE(status == 0 && out.find("[  PASSED  ] 1 test.") != std::string::npos) << out;
  }
}

}  // namespace
