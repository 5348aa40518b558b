// The contract every codec keeps, run once per codec: a failed probe leaves the caller's
// record alone; progress only grows and is posted at most about a thousand times; every
// decode and every export ends with exactly one completion, after success, a cancel or a
// refused write; a writer kept open for a second range and a writer destroyed unfinished
// both leave a file that ffprobe reads; hostile files give a message, never a crash.
//
// A codec joins with one line in kCodecs (and, where needed, a function that makes a file of
// its format with an independent tool).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "tests/support/disc_image.h"
#include "tests/support/full_disk.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

// A codec under contract: its type and how an independent tool makes a file of its format.
struct CodecCase {
  const char* name;
  std::int32_t type;
  bool writes;
  // Writes a 16-bit stereo 44.1 kHz file of `seconds` at `path`; false when it could not.
  bool (*makeSource)(const std::string& path, int seconds);
};

void PrintTo(const CodecCase& codec, std::ostream* out) { *out << codec.name; }

// Written byte by byte by the tests' own writer.
bool MakeWav(const std::string& path, int seconds) {
  WriteWav(path, 44100, 2, 16, std::int64_t{44100} * seconds, NoiseSample);
  return true;
}

// The same noise written as WAV, then encoded by `command`, in which {in} and {out} stand
// for the two paths.
bool EncodeNoise(const std::string& path, int seconds, std::string command) {
  const std::string wav = path + ".wav";
  MakeWav(wav, seconds);
  command.replace(command.find("{in}"), 4, "'" + wav + "'");
  command.replace(command.find("{out}"), 5, "'" + path + "'");
  int status = -1;
  RunCommand(command + " 2>&1", &status);
  std::remove(wav.c_str());
  return status == 0;
}

bool MakeMp3(const std::string& path, int seconds) {
  return EncodeNoise(path, seconds, "lame --quiet -b 128 {in} {out}");
}

bool MakeOgg(const std::string& path, int seconds) {
  return EncodeNoise(path, seconds, "oggenc -Q -b 128 -o {out} {in}");
}

bool MakeWma(const std::string& path, int seconds) {
  return EncodeNoise(path, seconds, "ffmpeg -v error -y -i {in} -c:a wmav2 -b:a 128k {out}");
}

// A one-track disc image beside `path`, whose track file is copied to `path`.
bool MakeCdTrack(const std::string& path, int seconds) {
  const std::string folder = path.substr(0, path.rfind('/'));
  const std::string image = cd_testing::WriteDiscImage(
      folder, "disc", {{true, static_cast<std::uint32_t>(75 * seconds)}});
  return cd_testing::CopyTrackFile(image, 1, path);
}

// No Debian tool writes APE: the noise goes through our own writer (the WAV range copy of every
// export into an ApeMusic), whose files the APE tests check bit-exactly against ffmpeg.
bool MakeApe(const std::string& path, int seconds) {
  const std::string wav = path + ".wav";
  MakeWav(wav, seconds);
  WavMusic cache(wav);
  QueueTarget window;
  auto writer = CreateMusic(kMusicApe, path);
  if (!writer || !cache.GetMusicInfo()) return false;
  writer->info = cache.info;
  writer->progressWindow = &window;
  const bool written = writer->InitWriter() &&
                       cache.ConvertRange(writer.get(), 0, std::int64_t{44100} * seconds, -1, -1) &&
                       window.WaitFor(WM_MUSIC_DONE).has_value() && !writer->writeFailed;
  std::remove(wav.c_str());
  return written;
}

// clang-format off
const CodecCase kCodecs[] = {
    {"wav", kMusicWav, true, &MakeWav},
    {"mp3", kMusicMp3, true, &MakeMp3},
    {"wma", kMusicWma, true, &MakeWma},
    {"cda", kMusicCda, false, &MakeCdTrack},
    {"ogg", kMusicOgg, true, &MakeOgg},
    {"ape", kMusicApe, true, &MakeApe},
};
// clang-format on

// CD tracks are named by a CDDB server: keep their lookups on this machine, where nothing
// answers, so that they fail at once.
const bool kLocalCddbServer = setenv("WAVELATHE_CDDB_SERVER", "127.0.0.1:1", 0) == 0;

constexpr std::uint64_t kSentinel = 0x5EED;

MusicInfo SentinelRecord(const std::string& path, std::int32_t type) {
  MusicInfo info;
  info.fileName = path;
  info.type = type;
  info.sampleRate = info.channels = info.bitrate = info.bitsPerSample = kSentinel;
  info.durationMs = kSentinel;
  info.tag = {"t", "a", "b", "1", "2000", "g"};
  return info;
}

bool SameRecord(const MusicInfo& a, const MusicInfo& b) {
  return a.fileName == b.fileName && a.type == b.type && a.sampleRate == b.sampleRate &&
         a.channels == b.channels && a.bitrate == b.bitrate && a.bitsPerSample == b.bitsPerSample &&
         a.durationMs == b.durationMs && a.tag.title == b.tag.title &&
         a.tag.artist == b.tag.artist && a.tag.album == b.tag.album && a.tag.track == b.tag.track &&
         a.tag.year == b.tag.year && a.tag.genre == b.tag.genre;
}

int Count(const std::vector<PostedMessage>& posted, std::uint32_t msg) {
  int n = 0;
  for (const PostedMessage& m : posted) n += m.msg == msg;
  return n;
}

// Progress values strictly grow and there are at most 1001 of them.
::testing::AssertionResult ProgressGrows(const std::vector<PostedMessage>& posted) {
  platform::WParam last = 0;
  int count = 0;
  for (const PostedMessage& m : posted) {
    if (m.msg != WM_MUSIC_PROGRESS) continue;
    if (m.w <= last && count > 0)
      return ::testing::AssertionFailure() << "progress fell to " << m.w;
    last = m.w;
    ++count;
  }
  if (count > 1001) return ::testing::AssertionFailure() << count << " progress posts";
  return ::testing::AssertionSuccess();
}

// Duration in seconds that ffprobe reads from `path`; negative when it cannot read the file.
double ProbedSeconds(const std::string& path) {
  int status = 0;
  const std::string out = RunCommand(
      "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "' 2>&1", &status);
  if (status != 0 || out.empty()) return -1;
  return std::atof(out.c_str());
}

// A cache writer described like `source`, posting to `window`.
std::unique_ptr<Music> CacheWriter(const std::string& path, const MusicInfo& source,
                                   QueueTarget* window) {
  auto writer = CreateMusic(kMusicWav, path);
  writer->info = source;
  writer->info.fileName = path;
  writer->info.type = kMusicWav;
  writer->progressWindow = window;
  return writer;
}

// A writer of the codec under test for 44.1 kHz 16-bit stereo at 128 kbit/s.
std::unique_ptr<Music> ExportWriter(std::int32_t type, const std::string& path,
                                    std::int64_t durationMs, QueueTarget* window) {
  auto writer = CreateMusic(type, path);
  writer->info.fileName = path;
  writer->info.type = type;
  writer->info.sampleRate = 44100;
  writer->info.channels = 2;
  writer->info.bitsPerSample = 16;
  writer->info.bitrate = 128;
  writer->info.durationMs = durationMs;
  writer->info.tag = {"标题", "artist", "album", "3", "2024", "Rock"};
  writer->progressWindow = window;
  return writer;
}

// The cache WAV the exports read from.
std::unique_ptr<WavMusic> CacheSource(const std::string& path, int seconds) {
  WriteWav(path, 44100, 2, 16, std::int64_t{44100} * seconds, NoiseSample);
  auto source = std::make_unique<WavMusic>(path);
  EXPECT_TRUE(source->GetMusicInfo());
  return source;
}

class CodecContract : public ::testing::TestWithParam<CodecCase> {
 protected:
  void SetUp() override {
    if (!MusicTypeAvailable(Type())) GTEST_SKIP() << "this build has no codec for the type";
  }
  std::int32_t Type() const { return GetParam().type; }
  std::string Ext() const { return FindMusicFormat(Type())->extension; }
  std::string Source(const std::string& stem, int seconds) {
    const std::string path = dir_.File(stem + "." + Ext());
    if (!GetParam().makeSource(path, seconds)) ADD_FAILURE() << "could not make " << path;
    return path;
  }
  // Decodes `path` into a cache writer; cancels at once when asked. Returns what was posted.
  std::vector<PostedMessage> Decode(const std::string& path, bool cancel, bool limitWrites) {
    MusicInfo info = SentinelRecord(path, Type());
    EXPECT_TRUE(ProbeMusicFile(info));
    QueueTarget window;
    auto source = CreateMusic(Type(), path);
    source->info = info;
    auto writer = CacheWriter(dir_.File("cache.wav"), info, &window);
    std::unique_ptr<FileSizeLimit> limit;
    if (limitWrites) limit = std::make_unique<FileSizeLimit>(20000);
    EXPECT_TRUE(writer->InitWriter());
    EXPECT_TRUE(source->StartConvert(writer.get()));
    if (cancel) source->CancelConvert();
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
    limit.reset();
    lastWriteFailed_ = writer->writeFailed;
    source.reset();
    writer.reset();
    return window.All();
  }

  TempDir dir_;
  RecordingMessageBox boxes_;
  bool lastWriteFailed_ = false;
};

TEST_P(CodecContract, DecodeEndsWithOneCompletionAfterSuccessCancelOrRefusedWrite) {
  const std::string path = Source("source", 8);
  struct Case {
    const char* name;
    bool cancel;
    bool limitWrites;
  };
  for (const Case c : {Case{"complete", false, false}, Case{"cancelled", true, false},
                       Case{"refused write", false, true}}) {
    SCOPED_TRACE(c.name);
    const std::vector<PostedMessage> posted = Decode(path, c.cancel, c.limitWrites);
    EXPECT_EQ(Count(posted, WM_MUSIC_DONE), 1);
    EXPECT_TRUE(ProgressGrows(posted));
    EXPECT_EQ(lastWriteFailed_, c.limitWrites);
    if (c.limitWrites) continue;
    const double seconds = ProbedSeconds(dir_.File("cache.wav"));
    EXPECT_GE(seconds, 0) << "the cache must stay a readable file";
    EXPECT_LE(seconds, 8.1);
    if (!c.cancel) {
      EXPECT_NEAR(seconds, 8.0, 0.1);
    }
  }
}

TEST_P(CodecContract, HostileFilesGiveAMessageOrAShorterResultAndFailedProbesChangeNothing) {
  const Bytes real = ReadFileBytes(Source("real", 2));
  ASSERT_GE(real.size(), 44u);
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"empty", {}},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}},
      {"header only", Bytes(real.begin(), real.begin() + std::min<std::size_t>(100, real.size()))},
      {"half", Bytes(real.begin(), real.begin() + real.size() / 2)},
  };
  Bytes noise(real.size());
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  cases.emplace_back("noise", noise);
  Bytes scrambled = real;
  for (std::size_t i = 4; i < std::min<std::size_t>(scrambled.size(), 512); i += 7)
    scrambled[i] ^= 0xA5;
  cases.emplace_back("scrambled header", scrambled);
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    const std::string path = dir_.File("hostile." + Ext());
    WriteFileBytes(path, bytes);
    boxes_.Clear();
    const MusicInfo before = SentinelRecord(path, Type());
    MusicInfo info = before;
    if (!ProbeMusicFile(info)) {
      EXPECT_TRUE(SameRecord(info, before));
      EXPECT_FALSE(boxes_.Texts().empty()) << "a failed probe says why";
      continue;
    }
    QueueTarget window;
    auto source = CreateMusic(Type(), path);
    source->info = info;
    auto writer = CacheWriter(dir_.File("hostile-cache.wav"), info, &window);
    if (!writer->InitWriter()) continue;  // a format the cache cannot hold was reported
    if (!source->StartConvert(writer.get())) continue;
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
  }
}

TEST_P(CodecContract, ExportEndsWithOneCompletionAndAReadableFile) {
  if (!GetParam().writes) GTEST_SKIP() << "the format is read only";
  auto cache = CacheSource(dir_.File("cache.wav"), 6);
  const std::string out = dir_.File("out." + Ext());
  struct Case {
    const char* name;
    bool cancel;
    bool limitWrites;
  };
  for (const Case c : {Case{"complete", false, false}, Case{"cancelled", true, false},
                       Case{"refused write", false, true}}) {
    SCOPED_TRACE(c.name);
    QueueTarget window;
    auto writer = ExportWriter(Type(), out, 6000, &window);
    std::unique_ptr<FileSizeLimit> limit;
    if (c.limitWrites) limit = std::make_unique<FileSizeLimit>(4000);
    ASSERT_TRUE(writer->InitWriter());
    ASSERT_TRUE(cache->ConvertRange(writer.get(), 0, 44100 * 6, 1, 1));
    if (c.cancel) cache->CancelConvert();
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
    limit.reset();
    const std::vector<PostedMessage> posted = window.All();
    EXPECT_EQ(Count(posted, WM_MUSIC_DONE), 1);
    EXPECT_TRUE(ProgressGrows(posted));
    EXPECT_EQ(writer->writeFailed.load(), c.limitWrites);
    writer.reset();
    if (c.limitWrites) continue;
    const double seconds = ProbedSeconds(out);
    EXPECT_GE(seconds, 0) << "ffprobe must read the output";
    if (!c.cancel) {
      EXPECT_NEAR(seconds, 6.0, 0.1);
    }
  }
}

TEST_P(CodecContract, OpenWritersTakeASecondRangeAndUnfinishedOnesAreStillValid) {
  if (!GetParam().writes) GTEST_SKIP() << "the format is read only";
  auto cache = CacheSource(dir_.File("cache.wav"), 4);
  const std::string joined = dir_.File("joined." + Ext());
  {
    QueueTarget window;
    auto writer = ExportWriter(Type(), joined, 1000, &window);
    ASSERT_TRUE(writer->InitWriter());
    writer->finalizeOnClose = false;
    ASSERT_TRUE(cache->ConvertRange(writer.get(), 0, 44100, 1, -1));
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
    writer->finalizeOnClose = true;
    writer->info.durationMs = 2000;
    writer->ResetProgress();
    ASSERT_TRUE(cache->ConvertRange(writer.get(), 44100 * 2, 44100 * 2, -1, 1));
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
    EXPECT_EQ(Count(window.All(), WM_MUSIC_DONE), 2);
  }
  EXPECT_NEAR(ProbedSeconds(joined), 3.0, 0.1);

  const std::string unfinished = dir_.File("unfinished." + Ext());
  {
    auto writer = ExportWriter(Type(), unfinished, 4000, nullptr);
    ASSERT_TRUE(writer->InitWriter());
    const std::vector<std::uint8_t> pcm(44100 * 4, 0x11);
    ASSERT_TRUE(writer->WriteSamples(pcm.data(), static_cast<std::int64_t>(pcm.size())));
  }
  EXPECT_NEAR(ProbedSeconds(unfinished), 1.0, 0.1);
  EXPECT_TRUE(boxes_.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Codec, CodecContract, ::testing::ValuesIn(kCodecs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
