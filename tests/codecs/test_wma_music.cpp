// The WMA codec against ffmpeg, ffprobe and TagLib: files of several encoders open with their
// format, length and attributes and decode to ffmpeg's very samples; exports decode at the
// chosen format with every attribute in place; bad and protected files, and bitrates without
// a format, give their messages; one open at a time, and a decode ends with its object.
#include <taglib/asffile.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "codecs/wma/wma_music.h"
#include "res/wma_texts.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/wmf/wmf_harness.h"

using namespace testing_support;
using wmf_test::Ffmpeg;
using wmf_test::FfmpegPcm;
using wmf_test::Quote;

namespace {

std::string Message(const char* text, const std::string& path) { return text + (" - " + path); }

// What ffprobe reports of the first audio stream and of the format, by key ("sample_rate",
// "duration", "TAG:title" …); a key it does not show reads as "".
class Probed {
 public:
  explicit Probed(const std::string& path) {
    std::istringstream lines(
        RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                   "stream=codec_name,sample_rate,channels,bit_rate:format=duration:format_tags "
                   "-of default=nw=1 " +
                   Quote(path)));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) values_.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  std::string operator[](const std::string& key) const {
    const auto found = values_.find(key);
    return found == values_.end() ? "" : found->second;
  }
  double Number(const std::string& key) const { return std::atof((*this)[key].c_str()); }

 private:
  std::map<std::string, std::string> values_;
};

MusicInfo Described(const std::string& path, std::int32_t type, int rate, int channels, int kbps,
                    std::int64_t durationMs) {
  MusicInfo info;
  info.fileName = path;
  info.type = type;
  info.sampleRate = rate;
  info.channels = channels;
  info.bitrate = kbps;
  info.bitsPerSample = 16;
  info.durationMs = durationMs;
  return info;
}

// Root mean square of ffmpeg's decode of `path`, relative to full scale.
double DecodedLevel(const std::string& path) {
  const std::string pcm = FfmpegPcm(path);
  double sum = 0;
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    const double s = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[i]) |
                                               static_cast<std::uint8_t>(pcm[i + 1]) << 8);
    sum += s * s;
  }
  return std::sqrt(sum / static_cast<double>(pcm.size() / 2)) / 32768;
}

// A cache writer posting to `window`, described like `source`.
std::unique_ptr<Music> CacheFor(const std::string& path, const MusicInfo& source,
                                QueueTarget* window) {
  auto cache = CreateMusic(kMusicWav, path);
  cache->info = source;
  cache->info.type = kMusicWav;
  cache->progressWindow = window;
  EXPECT_TRUE(cache->InitWriter());
  return cache;
}

// Probes `path` and decodes it into `cache`; false when the probe failed.
bool Load(const std::string& path, const std::string& cache, MusicInfo* info) {
  info->fileName = path;
  info->type = kMusicWma;
  if (!ProbeMusicFile(*info)) return false;
  QueueTarget window;
  WmaMusic source(path);
  source.info = *info;
  const auto writer = CacheFor(cache, *info, &window);
  EXPECT_TRUE(source.StartConvert(writer.get()));
  EXPECT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::seconds(60)).has_value());
  return true;
}

// A cache writer that holds the first chunk until it is let go.
class HeldWriter : public WavMusic {
 public:
  using WavMusic::WavMusic;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override {
    std::unique_lock lock(mutex_);
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return WavMusic::WriteSamples(data, length);
  }
  void WaitReached() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return reached_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reached_ = false;
  bool released_ = false;
};

}  // namespace

TEST(WmaMusic, OpensFilesFfmpegWroteWithTheirFormatLengthTagsAndSamples) {
  const struct {
    const char* codec;
    int rate, channels, kbps;
  } cases[] = {{"wmav2", 44100, 2, 128},
               {"wmav2", 22050, 1, 32},
               {"wmav1", 32000, 2, 64},
               {"wmav2", 48000, 2, 192},
               {"wmav1", 11025, 1, 24}};
  TempDir dir;
  RecordingMessageBox boxes;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate));
    const std::string path = dir.File("in.wma");
    ASSERT_TRUE(Ffmpeg(wmf_test::Signal(c.rate, c.channels, 3.5) + " -c:a " + c.codec + " -b:a " +
                       std::to_string(c.kbps) +
                       "k -metadata title=中文标题 -metadata artist=作者 -metadata album=专辑 "
                       "-metadata WM/Track=7 -metadata WM/Year=2021 -metadata WM/GenreID=流行 " +
                       Quote(path)));
    MusicInfo info;
    ASSERT_TRUE(Load(path, dir.File("cache.wav"), &info));
    const Probed probed(path);
    EXPECT_EQ(info.sampleRate, probed.Number("sample_rate"));
    EXPECT_EQ(info.channels, probed.Number("channels"));
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.bitrate, static_cast<int>(probed.Number("bit_rate")) / 1000);
    EXPECT_NEAR(info.durationMs, probed.Number("duration") * 1000, 1);
    const MusicTag& t = info.tag;
    EXPECT_EQ(std::vector<std::string>({t.title, t.artist, t.album, t.track, t.year, t.genre}),
              std::vector<std::string>({probed["TAG:title"], probed["TAG:artist"],
                                        probed["TAG:album"], probed["TAG:WM/Track"],
                                        probed["TAG:WM/Year"], probed["TAG:WM/GenreID"]}));
    EXPECT_TRUE(FfmpegPcm(dir.File("cache.wav")) == FfmpegPcm(path));
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WmaMusic, OpensFilesOfOtherEncodersOrSaysWhy) {
  if (!std::filesystem::exists(RealTestFile(""))) GTEST_SKIP() << "shared test data absent";
  TempDir dir;
  RecordingMessageBox boxes;
  for (const char* name : {"silence-1.wma", "lossless.wma"}) {
    SCOPED_TRACE(name);
    const std::string path = RealTestFile(name);
    MusicInfo info;
    ASSERT_TRUE(Load(path, dir.File("cache.wav"), &info));
    const Probed probed(path);
    EXPECT_EQ(info.sampleRate, probed.Number("sample_rate"));
    EXPECT_EQ(info.channels, probed.Number("channels"));
    EXPECT_NEAR(info.durationMs, probed.Number("duration") * 1000, 1);
    EXPECT_EQ(info.tag.title, probed["TAG:title"]);
    EXPECT_TRUE(FfmpegPcm(dir.File("cache.wav")) == FfmpegPcm(path));
  }
  // A header with attributes but no audio: it does not open, yet its tags read.
  const std::string path = RealTestFile("real_example.wma");
  MusicInfo info;
  EXPECT_FALSE(Load(path, dir.File("cache.wav"), &info));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Message(texts::kWmaOpenUnknown, path)});
  WmaMusic music(path);
  EXPECT_TRUE(music.ReadTags());
  const Probed probed(path);
  EXPECT_EQ(music.info.tag.title, probed["TAG:title"]);
  EXPECT_EQ(music.info.tag.artist, probed["TAG:artist"]);
  EXPECT_EQ(music.info.tag.album, probed["TAG:album"]);
}

TEST(WmaMusic, TitleAndAuthorFallBackOnlyWhenAbsentAndNumbersReadAsNumbers) {
  using TagLib::ASF::Attribute;
  const struct {
    const char* what;
    std::function<void(TagLib::ASF::Tag*)> edit;
    MusicTag expected;
  } cases[] = {
      {"no content description", nullptr, {"WT", "WA", "", "5", "", ""}},
      {"empty title present",
       [](TagLib::ASF::Tag* tag) {
         tag->setTitle("");
         tag->setArtist(TagLib::String("艺人", TagLib::String::UTF8));
       },
       {"", "艺人", "", "5", "", ""}},
      {"track as a number",
       [](TagLib::ASF::Tag* tag) { tag->setAttribute("WM/Track", Attribute(12u)); },
       {"", "", "", "12", "", ""}},  // TagLib's save adds an empty title and author
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("tags.wma");
    ASSERT_TRUE(Ffmpeg(wmf_test::Signal(22050, 1, 1) +
                       " -c:a wmav2 -metadata WM/Title=WT -metadata WM/Author=WA "
                       "-metadata WM/Track=5 " +
                       Quote(path)));
    if (c.edit) {
      TagLib::ASF::File file(path.c_str());
      c.edit(file.tag());
      ASSERT_TRUE(file.save());
    }
    WmaMusic music(path);
    ASSERT_TRUE(music.ReadTags());
    const MusicTag& t = music.info.tag;
    const MusicTag& e = c.expected;
    EXPECT_EQ(std::vector<std::string>({t.title, t.artist, t.track}),
              std::vector<std::string>({e.title, e.artist, e.track}));
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
    // A 440 Hz tone at 0.45 of full scale (RMS 0.318) in the cache's width.
    const double peak = 0.45 * std::ldexp(1.0, c.bits - 1);
    WriteWav(dir.File("cache.wav"), c.rate, c.channels, c.bits, c.rate * 3,
             [&](std::int64_t f, int) {
               const auto v = std::lround(peak * std::sin(2 * M_PI * 440 * f / c.rate));
               return static_cast<std::int32_t>(c.bits == 8 ? v + 128 : v);
             });
    WavMusic cache(dir.File("cache.wav"));
    ASSERT_TRUE(cache.GetMusicInfo());
    const std::string out = dir.File("out.wma");
    QueueTarget window;
    WmaMusic writer(out);
    writer.info = cache.info;
    writer.info.type = kMusicWma;
    writer.info.bitrate = c.kbps;
    writer.info.tag = c.tag;
    writer.progressWindow = &window;
    ASSERT_TRUE(writer.InitWriter());
    ASSERT_TRUE(cache.ConvertRange(&writer, 0, c.rate * 3, -1, -1));
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());

    const Probed probed(out);
    EXPECT_EQ(probed["codec_name"], "wmav2");
    EXPECT_EQ(probed.Number("sample_rate"), c.rate);
    EXPECT_EQ(probed.Number("channels"), c.channels);
    EXPECT_NEAR(probed.Number("bit_rate"), c.kbps * 1000, 249);
    EXPECT_NEAR(probed.Number("duration"), 3.0, 0.1);
    EXPECT_NEAR(DecodedLevel(out), 0.318, 0.04) << "the samples arrive in their own width";
    EXPECT_EQ(probed["TAG:title"], c.tag.title);
    EXPECT_EQ(probed["TAG:artist"], c.tag.artist);
    TagLib::ASF::File file(out.c_str());
    ASSERT_TRUE(file.isValid());
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

TEST(WmaMusic, WritersWithoutAFormatOrAFileSayWhyAndCountWhatTheyWereGiven) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string out = dir.File("out.wma");
  const struct {
    int rate, channels, kbps;
  } unlisted[] = {{8000, 1, 320}, {44100, 2, 20}, {44100, 6, 128}};
  for (const auto& c : unlisted) {
    WmaMusic writer(out);
    writer.info = Described(out, kMusicWma, c.rate, c.channels, c.kbps, 1000);
    EXPECT_FALSE(writer.InitWriter());
  }
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(3, Message(texts::kWmaNoFormat, out)));

  boxes.Clear();
  QueueTarget window;
  WmaMusic writer(out);
  writer.info = Described(out, kMusicWma, 44100, 2, 128, 60000);
  writer.progressWindow = &window;
  ASSERT_TRUE(writer.InitWriter());
  const std::vector<std::uint8_t> chunk(32768, 0x21);
  std::uint64_t offered = 0;
  {
    const FileSizeLimit limit(40000);
    for (int i = 0; i < 100 && !writer.writeFailed; ++i) {
      writer.WriteSamples(chunk.data(), static_cast<std::int64_t>(chunk.size()));
      offered += chunk.size();
    }
  }
  EXPECT_TRUE(writer.writeFailed);
  EXPECT_EQ(writer.bytesDone, offered) << "the refused chunk counts too";
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Message(texts::kWmaWriteSample, out)});
}

TEST(WmaMusic, BadAndProtectedFilesGiveTheirMessage) {
  TempDir dir;
  const std::string good = dir.File("good.wma");
  ASSERT_TRUE(Ffmpeg(wmf_test::Signal(22050, 2, 2) + " -c:a wmav2 -b:a 64k " + Quote(good)));
  const wmf_test::AsfBytes asf(ReadFileBytes(good));
  wmf_test::AsfBytes protectedFile = asf;
  protectedFile.Insert(30,
                       wmf_test::GuidBytes(0x2211B3FB, 0xBD23, 0x11D2,
                                           {0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E}),
                       std::vector<std::uint8_t>(16, 0));
  wmf_test::AsfBytes noDuration = asf;
  noDuration.Put(noDuration.Find(wmf_test::kFileProperties) + 24 + 40, 0, 8);
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"a WAV file", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, texts::kWmaOpenUnknown},
      {"header cut short",
       {asf.bytes().begin(), asf.bytes().begin() + 200},
       texts::kWmaOpenUnknown},
      {"play duration 0", noDuration.bytes(), texts::kWmaOpenUnknown},
      {"content encryption", protectedFile.bytes(), texts::kWmaProtected},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("bad.wma");
    WriteFileBytes(path, c.bytes);
    RecordingMessageBox boxes;
    MusicInfo info = Described(path, kMusicWma, 0, 0, 0, 0);
    EXPECT_FALSE(ProbeMusicFile(info));
    QueueTarget window;
    WmaMusic source(path);
    const auto cache =
        CacheFor(dir.File("cache.wav"), Described("", kMusicWav, 22050, 2, 0, 0), &window);
    EXPECT_FALSE(source.StartConvert(cache.get()));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, Message(c.message, path)));
    EXPECT_TRUE(window.All().empty()) << "nothing reaches the target of a decode not started";
  }
}

TEST(WmaMusic, OneOpenAtATimeAndADecodeEndsWithItsObject) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string path = dir.File("in.wma");
  ASSERT_TRUE(Ffmpeg(wmf_test::Signal(44100, 2, 4) + " -c:a wmav2 " + Quote(path)));
  MusicInfo info = Described(path, kMusicWma, 0, 0, 0, 0);
  ASSERT_TRUE(ProbeMusicFile(info));
  for (const bool destroyEarly : {false, true}) {
    SCOPED_TRACE(destroyEarly ? "source destroyed while decoding" : "second open refused");
    QueueTarget window;
    HeldWriter cache(dir.File("cache.wav"));
    cache.info = info;
    cache.info.type = kMusicWav;
    cache.progressWindow = &window;
    ASSERT_TRUE(cache.InitWriter());
    auto source = std::make_unique<WmaMusic>(path);
    ASSERT_TRUE(source->StartConvert(&cache));
    cache.WaitReached();
    if (!destroyEarly) {
      EXPECT_FALSE(source->StartConvert(&cache));
      EXPECT_FALSE(source->GetMusicInfo());
      EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, Message(texts::kWmaOpenUnknown, path)));
      cache.Release();
      ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
      source.reset();
      EXPECT_TRUE(FfmpegPcm(cache.path) == FfmpegPcm(path)) << "the first decode went on";
    } else {
      std::thread releaser([&cache] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cache.Release();
      });
      source.reset();  // closes the decode held in its first chunk and joins the thread
      releaser.join();
      EXPECT_LT(FfmpegPcm(cache.path).size(), FfmpegPcm(path).size());
    }
    std::vector<PostedMessage> posted = window.All();
    EXPECT_EQ(std::count_if(posted.begin(), posted.end(),
                            [](const PostedMessage& m) { return m.msg == WM_MUSIC_DONE; }),
              1);
  }
}
