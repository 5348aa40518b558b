// The WMA codec against ffmpeg, ffprobe and TagLib: files of several encoders open with their
// format, length and attributes and decode to ffmpeg's very samples; exports decode at the
// chosen format with every attribute in place; bad and protected files, and bitrates without
// a format, give their messages; one open at a time, and a decode ends with its object.
#include <taglib/asffile.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "codecs/wma/wma_music.h"
#include "res/wma_texts.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/wmf/wmf_harness.h"

using namespace testing_support;
using wmf_test::Ffmpeg;
using wmf_test::FfmpegPcm;
using wmf_test::Quote;
using wmf_test::Signal;

namespace {

std::string Message(const char* text, const std::string& path) { return text + (" - " + path); }

// What ffprobe reports of the first audio stream and of the format, by key ("sample_rate",
// "duration", "TAG:title" …); a key it does not show reads as "".
std::map<std::string, std::string> Probed(const std::string& path) {
  std::istringstream lines(
      RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,"
                 "channels,bit_rate:format=duration:format_tags -of default=nw=1 " +
                 Quote(path)));
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) values.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return values;
}

double Number(const std::string& text) { return std::atof(text.c_str()); }

// A record of 16-bit PCM at `rate` and `channels` (and `kbps` for a writer).
MusicInfo Pcm(int rate, int channels, int kbps = 0, std::int64_t durationMs = 0) {
  MusicInfo info;
  info.sampleRate = rate;
  info.channels = channels;
  info.bitrate = kbps;
  info.bitsPerSample = 16;
  info.durationMs = durationMs;
  return info;
}

// Probes `path` and decodes it into `cache`; false when the probe failed.
bool Load(const std::string& path, const std::string& cache, MusicInfo* info) {
  *info = MusicInfo();
  info->fileName = path;
  info->type = kMusicWma;
  if (!ProbeMusicFile(*info)) return false;
  QueueTarget window;
  WavMusic writer(cache);
  writer.info = *info;
  writer.progressWindow = &window;
  EXPECT_TRUE(writer.InitWriter());
  WmaMusic source(path);
  EXPECT_TRUE(source.StartConvert(&writer));
  EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
  return true;
}

// A cache writer that holds its first chunk until `release` is set.
class HeldWriter : public WavMusic {
 public:
  using WavMusic::WavMusic;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override {
    if (std::exchange(first_, false)) {
      reached.set_value();
      held_.wait();
    }
    return WavMusic::WriteSamples(data, length);
  }
  std::promise<void> reached, release;

 private:
  bool first_ = true;
  std::shared_future<void> held_ = release.get_future().share();
};

// Opens `path` and decodes it into a cache, checking both against ffprobe and ffmpeg.
void ExpectSameAsFfmpeg(const std::string& path, const TempDir& dir) {
  MusicInfo info;
  ASSERT_TRUE(Load(path, dir.File("cache.wav"), &info));
  auto probed = Probed(path);
  EXPECT_EQ(info.sampleRate, Number(probed["sample_rate"]));
  EXPECT_EQ(info.channels, Number(probed["channels"]));
  EXPECT_EQ(info.bitrate, static_cast<int>(Number(probed["bit_rate"])) / 1000);
  EXPECT_NEAR(info.durationMs, Number(probed["duration"]) * 1000, 1);
  const MusicTag& t = info.tag;
  EXPECT_EQ(std::vector<std::string>({t.title, t.artist, t.album, t.track, t.year, t.genre}),
            std::vector<std::string>({probed["TAG:title"], probed["TAG:artist"],
                                      probed["TAG:album"], probed["TAG:WM/Track"],
                                      probed["TAG:WM/Year"], probed["TAG:WM/GenreID"]}));
  EXPECT_TRUE(FfmpegPcm(dir.File("cache.wav")) == FfmpegPcm(path));
}

}  // namespace

TEST(WmaMusic, OpensFilesOfFfmpegAndOtherEncodersWithTheirFormatLengthTagsAndSamples) {
  const struct {
    const char* codec;
    int rate, channels, kbps;
  } cases[] = {{"wmav2", 44100, 2, 128}, {"wmav1", 11025, 1, 24}};  // other rates: WmfReader
  TempDir dir;
  RecordingMessageBox boxes;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate));
    const std::string path = dir.File("in.wma");
    ASSERT_TRUE(Ffmpeg(Signal(c.rate, c.channels, 3.5) + " -c:a " + c.codec + " -b:a " +
                       std::to_string(c.kbps) +
                       "k -metadata title=中文标题 -metadata artist=作者 -metadata album=专辑 "
                       "-metadata WM/Track=7 -metadata WM/Year=2021 -metadata WM/GenreID=流行 " +
                       Quote(path)));
    ExpectSameAsFfmpeg(path, dir);
  }
  EXPECT_TRUE(boxes.Texts().empty());
  if (!std::filesystem::exists(RealTestFile(""))) GTEST_SKIP() << "shared test data absent";
  for (const char* name : {"silence-1.wma", "lossless.wma"}) {
    SCOPED_TRACE(name);
    ExpectSameAsFfmpeg(RealTestFile(name), dir);
  }
  // A header with attributes but no audio: it does not open, yet its tags read.
  const std::string path = RealTestFile("real_example.wma");
  MusicInfo info;
  EXPECT_FALSE(Load(path, dir.File("cache.wav"), &info));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Message(texts::kWmaOpenUnknown, path)});
  WmaMusic music(path);
  EXPECT_TRUE(music.ReadTags());
  auto probed = Probed(path);
  const MusicTag& t = music.info.tag;
  EXPECT_EQ(
      std::vector<std::string>({t.title, t.artist, t.album}),
      std::vector<std::string>({probed["TAG:title"], probed["TAG:artist"], probed["TAG:album"]}));
}

TEST(WmaMusic, TitleAndAuthorFallBackOnlyWhenAbsentAndNumbersReadAsNumbers) {
  const struct {
    const char* what;
    std::function<void(TagLib::ASF::Tag*)> edit;  // by TagLib, which adds "Title" and "Author"
    std::vector<std::string> titleArtistTrack;
  } cases[] = {
      {"no content description", nullptr, {"WT", "WA", "5"}},
      {"empty title present",
       [](TagLib::ASF::Tag* tag) { tag->setArtist(TagLib::String("艺人", TagLib::String::UTF8)); },
       {"", "艺人", "5"}},
      {"track as a number",
       [](TagLib::ASF::Tag* tag) { tag->setAttribute("WM/Track", TagLib::ASF::Attribute(12u)); },
       {"", "", "12"}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("tags.wma");
    ASSERT_TRUE(Ffmpeg(Signal(22050, 1, 1) + " -c:a wmav2 -metadata WM/Title=WT " +
                       "-metadata WM/Author=WA -metadata WM/Track=5 " + Quote(path)));
    if (c.edit) {
      TagLib::ASF::File file(path.c_str());
      c.edit(file.tag());
      ASSERT_TRUE(file.save());
    }
    WmaMusic music(path);
    ASSERT_TRUE(music.ReadTags());
    const MusicTag& t = music.info.tag;
    EXPECT_EQ(std::vector<std::string>({t.title, t.artist, t.track}), c.titleArtistTrack);
  }
}

TEST(WmaMusic, ExportsDecodeAtTheChosenFormatWithEveryAttribute) {
  const MusicTag full{"中文标题", "作者", "专辑", "3", "2024", "流行"};
  const struct {
    int rate, channels, bits, kbps;
    MusicTag tag;
  } cases[] = {{44100, 2, 16, 128, full},
               {22050, 1, 16, 32, full},
               {48000, 2, 16, 192, {"only a title", "", "", "", "", ""}},
               {32000, 2, 8, 64, full},
               {44100, 2, 24, 96, full}};
  TempDir dir;
  RecordingMessageBox boxes;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bits");
    // Any wrong width of the samples between cache and encoder shows in the length.
    WriteWav(dir.File("cache.wav"), c.rate, c.channels, c.bits, c.rate * 3,
             [](std::int64_t f, int channel) { return (f * 37 + channel * 11) % 200; });
    WavMusic cache(dir.File("cache.wav"));
    ASSERT_TRUE(cache.GetMusicInfo());
    const std::string out = dir.File("out.wma");
    QueueTarget window;
    WmaMusic writer(out);
    writer.info = cache.info;
    writer.info.bitrate = c.kbps;
    writer.info.tag = c.tag;
    writer.progressWindow = &window;
    ASSERT_TRUE(writer.InitWriter());
    ASSERT_TRUE(cache.ConvertRange(&writer, 0, c.rate * 3, -1, -1));
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());

    auto probed = Probed(out);
    EXPECT_EQ(probed["codec_name"], "wmav2");
    EXPECT_EQ(Number(probed["sample_rate"]), c.rate);
    EXPECT_EQ(Number(probed["channels"]), c.channels);
    EXPECT_NEAR(Number(probed["bit_rate"]), c.kbps * 1000, 249);
    EXPECT_NEAR(Number(probed["duration"]), 3.0, 0.1);
    EXPECT_EQ(probed["TAG:title"], c.tag.title);
    EXPECT_EQ(probed["TAG:artist"], c.tag.artist);
    TagLib::ASF::File file(out.c_str());
    const TagLib::ASF::AttributeListMap& attributes = file.tag()->attributeListMap();
    const std::pair<const char*, std::string> written[] = {
        {"WM/Title", c.tag.title}, {"WM/Author", c.tag.artist}, {"WM/AlbumTitle", c.tag.album},
        {"WM/Track", c.tag.track}, {"WM/Year", c.tag.year},     {"WM/GenreID", c.tag.genre}};
    for (const auto& [name, value] : written) {
      ASSERT_TRUE(attributes.contains(name)) << name << " is written, even when empty";
      EXPECT_EQ(attributes[name].front().toString().to8Bit(true), value) << name;
    }
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WmaMusic, ARateChannelsAndBitrateWithoutAFormatGiveTheMessage) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string out = dir.File("out.wma");
  for (const auto& [rate, channels, kbps] :
       {std::tuple{8000, 1, 320}, std::tuple{44100, 2, 20}, std::tuple{44100, 6, 128}}) {
    WmaMusic writer(out);
    writer.info = Pcm(rate, channels, kbps);
    EXPECT_FALSE(writer.InitWriter());
  }
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(3, Message(texts::kWmaNoFormat, out)));
}

TEST(WmaMusic, BadAndProtectedFilesGiveTheirMessage) {
  TempDir dir;
  const std::string good = dir.File("good.wma");
  ASSERT_TRUE(Ffmpeg(Signal(22050, 2, 2) + " -c:a wmav2 -b:a 64k " + Quote(good)));
  const wmf_test::AsfBytes asf(ReadFileBytes(good));
  wmf_test::AsfBytes encrypted = asf, noDuration = asf;
  encrypted.Insert(30,
                   wmf_test::GuidBytes(0x2211B3FB, 0xBD23, 0x11D2,
                                       {0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E}),
                   std::vector<std::uint8_t>(16, 0));
  noDuration.Put(noDuration.Find(wmf_test::kFileProperties) + 64, 0, 8);  // play duration
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"a WAV file", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, texts::kWmaOpenUnknown},
      {"play duration 0", noDuration.bytes(), texts::kWmaOpenUnknown},
      {"content encryption", encrypted.bytes(), texts::kWmaProtected},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("bad.wma");
    WriteFileBytes(path, c.bytes);
    RecordingMessageBox boxes;
    MusicInfo info;
    EXPECT_FALSE(Load(path, dir.File("cache.wav"), &info));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Message(c.message, path)});
  }
}

TEST(WmaMusic, OneOpenAtATimeAndADecodeEndsWithItsObject) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string path = dir.File("in.wma");
  ASSERT_TRUE(Ffmpeg(Signal(44100, 2, 4) + " -c:a wmav2 " + Quote(path)));
  for (const bool destroyEarly : {false, true}) {
    SCOPED_TRACE(destroyEarly ? "source destroyed while decoding" : "second open refused");
    QueueTarget window;
    HeldWriter cache(dir.File("cache.wav"));
    cache.info = Pcm(44100, 2, 0, 4000);
    cache.progressWindow = &window;
    ASSERT_TRUE(cache.InitWriter());
    auto source = std::make_unique<WmaMusic>(path);
    ASSERT_TRUE(source->StartConvert(&cache));
    cache.reached.get_future().wait();
    if (!destroyEarly) {
      EXPECT_FALSE(source->StartConvert(&cache));
      EXPECT_FALSE(source->GetMusicInfo());
      EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, Message(texts::kWmaOpenUnknown, path)));
      cache.release.set_value();
      ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
      source.reset();
      EXPECT_TRUE(FfmpegPcm(cache.path) == FfmpegPcm(path)) << "the first decode went on";
    } else {
      std::thread releaser([&cache] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cache.release.set_value();
      });
      source.reset();  // closes the decode held in its first chunk and joins the thread
      releaser.join();
      EXPECT_LT(FfmpegPcm(cache.path).size(), FfmpegPcm(path).size());
    }
    const std::vector<PostedMessage> posted = window.All();
    EXPECT_EQ(std::count_if(posted.begin(), posted.end(),
                            [](const PostedMessage& m) { return m.msg == WM_MUSIC_DONE; }),
              1);
  }
}
