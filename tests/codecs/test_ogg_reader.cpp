// The Ogg Vorbis reader against the public tools: files from oggenc and other encoders load
// with their format, exactly the samples oggdec decodes and their comments; chained, damaged
// and hostile files give the streams that fit, what is there, or a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/music_registry.h"
#include "codecs/ogg/ogg_music.h"
#include "codecs/wav/wav_music.h"
#include "tests/support/ogg_tools.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

using Texts = std::vector<std::string>;

struct Opened {
  bool probed = false;
  MusicInfo info;
  Texts messages;           // without " - <path>"
  Bytes cachePcm;           // the cache's samples as ffmpeg reads them through its header
  std::string cacheFormat;  // "<rate>,<channels>" as ffprobe reads the cache
};

// Probes `path` as opening a file does, then loads it into a cache.
Opened Open(const TempDir& dir, const std::string& path) {
  RecordingMessageBox boxes;
  Opened opened;
  opened.info.fileName = path;
  opened.info.type = kMusicOgg;
  opened.probed = ProbeMusicFile(opened.info);
  if (opened.probed) {
    const std::string cachePath = dir.File("cache.wav");
    QueueTarget window;
    WavMusic cache(cachePath);
    cache.info = opened.info;
    cache.progressWindow = &window;
    EXPECT_TRUE(cache.InitWriter());
    OggMusic source(path);
    source.info = opened.info;
    EXPECT_TRUE(source.StartConvert(&cache));
    EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
    RunCommand("ffmpeg -v error -y -i " + ShellQuoted(cachePath) + " -f s16le -c:a pcm_s16le " +
               ShellQuoted(cachePath + ".raw"));
    opened.cachePcm = ReadFileBytes(cachePath + ".raw");
    opened.cacheFormat = RunCommand(
        "ffprobe -v error -show_entries stream=sample_rate,channels "
        "-of csv=p=0 " +
        ShellQuoted(cachePath));
  }
  for (const std::string& text : boxes.Texts())
    opened.messages.push_back(text.substr(0, text.rfind(" - " + path)));
  return opened;
}

// The load gives exactly the samples oggdec decodes from `reference`, in a cache whose header
// says so, and a length that matches them to the millisecond (unless pages inside the file
// were lost: the length comes from the last page).
void ExpectLoadedLike(const Opened& opened, const std::string& reference, int rate, int channels,
                      bool exactLength = true) {
  ASSERT_TRUE(opened.probed) << ::testing::PrintToString(opened.messages);
  const std::optional<Bytes> expected = DecodeWithOggdec(reference);
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(opened.info.sampleRate, rate);
  EXPECT_EQ(opened.info.channels, channels);
  EXPECT_EQ(opened.info.bitsPerSample, 16);
  EXPECT_EQ(opened.cacheFormat, std::to_string(rate) + "," + std::to_string(channels) + "\n");
  EXPECT_TRUE(opened.cachePcm == *expected)
      << opened.cachePcm.size() << " bytes; oggdec: " << expected->size();
  const auto frames = static_cast<std::int64_t>(expected->size()) / (2 * channels);
  if (exactLength) {
    EXPECT_EQ(opened.info.durationMs, frames * 1000 / rate);
  }
}

std::string TagLine(const MusicTag& t) {
  return t.title + "|" + t.artist + "|" + t.album + "|" + t.track + "|" + t.year + "|" + t.genre;
}

// Comment keys match in any case and the last of a key wins; malformed comments and other keys
// are ignored.
TEST(OggReader, OggencFilesLoadWithTheirFormatExactSamplesAndTags) {
  struct Case {
    int rate, channels, bitrate;
    std::string options;  // oggenc's comment options
    std::string tag;      // title|artist|album|track|year|genre
    Texts comments = {};  // when given, the comment header is replaced by one holding these
  };
  const Case cases[] = {
      {44100, 1, 96, "-c TITLE=Mono -c ARTIST=Someone", "Mono|Someone||||"},
      {44100, 2, 128, "--title T --artist A --album B --tracknum 7 --date 2024 --genre Rock",
       "T|A|B|7|2024|Rock"},
      {48000, 2, 160, "-t 标题 -a 歌手 -l 专辑 -G 民谣", "标题|歌手|专辑|||民谣"},
      {22050, 1, 64, "-c title=小写 -c artist=a -c album=b -c tracknumber=3 -c date=1 -c genre=g",
       "小写|a|b|3|1|g"},
      {44100, 6, 192, "-c Genre=Surround", "|||||Surround"},
      {44100, 2, 128, "", "third|||||", {"TITLE=first", "title=second", "Title=third"}},
      {44100, 2, 128, "", "|x||||", {"TITLE", "ARTIST=x", "GENREpop", "TITLES=no", "DATEX=no"}},
      {44100, 2, 128, "", "|||05|2001|", {"TRACKNUMBER=05", "DATE=2001", "ALBUM="}},
      {44100, 2, 128, "", "|a\uFFFDb|\uFFFD\uFFFD|||", {"ARTIST=a\xff\x62", "ALBUM=\xe4\xb8"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options + ::testing::PrintToString(c.comments));
    TempDir dir;
    const std::string path = dir.File("in.ogg");
    ASSERT_TRUE(EncodeWithOggenc(path, c.rate, c.channels, c.rate * 2 + 1234,
                                 "-b " + std::to_string(c.bitrate) + " " + c.options));
    if (!c.comments.empty()) {
      WriteFileBytes(path,
                     ReplaceCommentHeader(ReadFileBytes(path), CommentHeader("v", c.comments)));
      ASSERT_EQ(ListComments(path), c.comments) << "vorbiscomment must read the file as made";
    }
    const Opened opened = Open(dir, path);
    ExpectLoadedLike(opened, path, c.rate, c.channels);
    EXPECT_EQ(opened.info.bitrate, c.bitrate);
    EXPECT_EQ(TagLine(opened.info.tag), c.tag);
  }
}

TEST(OggReader, FilesFromOtherEncodersLoadOrGiveAMessage) {
  if (!std::filesystem::exists(RealTestFile("test.ogg")))
    GTEST_SKIP() << "the shared test data folder is absent: " << RealTestFile("");
  struct Case {
    const char* file;
    int rate, bitrate;  // rate 0: refused with `message`, as oggdec refuses it
    std::string title, message;
  };
  const Case cases[] = {
      {"test.ogg", 44100, 112, "", ""},
      {"empty.ogg", 44100, 112, "", ""},
      {"multiplex.ogg", 48000, 96, "Paper Lights", ""},  // beside a video stream
      {"lowercase-fields.ogg", 0, 0, "", "ov_open 调用失败，无效 Vorbis 比特流头部。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    const Opened opened = Open(dir, RealTestFile(c.file));
    if (c.rate == 0) {
      EXPECT_FALSE(DecodeWithOggdec(RealTestFile(c.file)).has_value());
      EXPECT_EQ(opened.messages, Texts{c.message});
      continue;
    }
    ExpectLoadedLike(opened, RealTestFile(c.file), c.rate, 2);
    EXPECT_EQ(opened.info.bitrate, c.bitrate);
    EXPECT_EQ(opened.info.tag.title, c.title);
  }
}

int OpenDescriptors() {
  const std::filesystem::directory_iterator fds("/proc/self/fd");
  return static_cast<int>(std::distance(begin(fds), end(fds)));
}

TEST(OggReader, HostileFilesGiveTheirMessageAndLeaveNoFileOpen) {
  TempDir dir;
  const std::string plain = dir.File("plain.ogg");
  ASSERT_TRUE(EncodeWithOggenc(plain, 44100, 2, 4410));
  const Bytes real = ReadFileBytes(plain);
  WriteWav(dir.File("plain.wav"), 8000, 1, 16, 800, NoiseSample);
  const char* const notVorbis = "ov_open 调用失败，比特流不是 Vorbis 数据。";
  const char* const badHeader = "ov_open 调用失败，无效 Vorbis 比特流头部。";
  const Bytes hugeVendor = {3, 'v', 'o', 'r', 'b', 'i', 's', 0xF0, 0xFF, 0xFF, 0x7F, 'a', 1};
  const Bytes hugeLength = {3, 'v', 'o', 'r', 'b',  'i',  's',  1,    0,   0,   0,   'v',
                            1, 0,   0,   0,   0xF0, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c', 1};
  const std::pair<Bytes, const char*> cases[] = {
      {{}, notVorbis},
      {ReadFileBytes(dir.File("plain.wav")), notVorbis},
      {ReplaceCommentHeader(real, CommentHeader("v", {"TITLE=x"}, 0x7FFFFFFF)), badHeader},
      {ReplaceCommentHeader(real, hugeLength), badHeader},
      {ReplaceCommentHeader(real, hugeVendor), badHeader},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(bytes.size());
    const std::string path = dir.File("hostile.ogg");
    WriteFileBytes(path, bytes);
    const int descriptors = OpenDescriptors();
    EXPECT_EQ(Open(dir, path).messages, Texts{message});
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_FALSE(DecodeWithOggdec(path).has_value()) << "oggdec refuses it too";
  }
  EXPECT_EQ(Open(dir, dir.File("missing.ogg")).messages, Texts{"无法存取这个文件。"});
}

// Damaged files load what oggdec decodes from them; a chained file loads its second stream only
// when it has the first stream's format.
TEST(OggReader, DamagedAndChainedFilesLoadWhatFitsAsOggdecDecodesIt) {
  TempDir dir;
  const auto encoded = [&dir](const char* name, int rate, int channels, std::int64_t frames) {
    EXPECT_TRUE(EncodeWithOggenc(dir.File(name), rate, channels, frames));
    return ReadFileBytes(dir.File(name));
  };
  const Bytes real = encoded("plain.ogg", 44100, 2, 44100 * 4);
  const auto middle = static_cast<std::ptrdiff_t>(real.size() / 2);
  Bytes garbage = real;
  garbage.insert(garbage.begin() + middle, 3000, 0x5A);
  Bytes damaged = real;
  for (std::ptrdiff_t i = middle; i < middle + 200; ++i) damaged[i] ^= 0x3C;
  const Bytes first = encoded("first.ogg", 44100, 2, 44100 + 77);
  const auto chained = [&first](const Bytes& second) {
    Bytes bytes = first;
    bytes.insert(bytes.end(), second.begin(), second.end());
    return bytes;
  };
  const struct {
    const char* name;
    Bytes bytes;
    const char* reference;  // what oggdec must decode alike; nullptr: the file itself
    bool exactLength;       // whether its last page gives its length
    std::size_t minBytes;   // of samples: what follows the damage loads too
  } cases[] = {
      {"cut", Bytes(real.begin(), real.begin() + middle), nullptr, true, 44100u * 4 * 3 / 2},
      {"garbage inside", garbage, nullptr, false, 44100u * 4 * 3 / 2},
      {"bytes damaged", damaged, nullptr, false, 44100u * 4 * 3 / 2},
      {"chained alike", chained(encoded("s1.ogg", 44100, 2, 88200)), nullptr, true, 0},
      {"chained, other rate", chained(encoded("s2.ogg", 22050, 2, 44100)), "first.ogg", true, 0},
      {"chained, mono", chained(encoded("s3.ogg", 44100, 1, 88200)), "first.ogg", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("damaged.ogg");
    WriteFileBytes(path, c.bytes);
    const Opened opened = Open(dir, path);
    ExpectLoadedLike(opened, c.reference ? dir.File(c.reference) : path, 44100, 2, c.exactLength);
    EXPECT_GT(opened.cachePcm.size(), c.minBytes);
  }
}

}  // namespace
