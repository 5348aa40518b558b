// The WAV reader: format records, chunk layouts, open failures and hostile files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "codecs/wav/wav_music.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/test_files.h"
#include "tests/support/wav_copy.h"

using namespace testing_support;

namespace {

Bytes Samples(std::size_t n) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return out;
}

// Probes `bytes` written to a file; returns the messages shown (without the path).
std::vector<std::string> Probe(const TempDir& dir, const Bytes& bytes, MusicInfo* info,
                               const std::string& name = "f.wav") {
  const std::string path = dir.File(name);
  WriteFileBytes(path, bytes);
  RecordingMessageBox boxes;
  WavMusic music(path);
  const bool ok = music.GetMusicInfo();
  if (info) *info = music.info;
  std::vector<std::string> texts;
  for (const std::string& text : boxes.Texts()) {
    const std::string suffix = " - " + path;
    EXPECT_TRUE(text.size() > suffix.size() &&
                text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
        << text;
    texts.push_back(text.substr(0, text.size() - std::min(text.size(), suffix.size())));
  }
  EXPECT_EQ(ok, texts.empty());
  return texts;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(WavReader, ReadsFormatRecordsOfSixteenAndEighteenBytes) {
  TempDir dir;
  MusicInfo info;
  const Bytes data = Samples(176400 * 2 + 8);
  EXPECT_EQ(
      Probe(dir,
            RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16)), Chunk("data", data)}),
            &info),
      Texts{});
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.bitsPerSample, 16);
  EXPECT_EQ(info.bitrate, 1378);
  EXPECT_EQ(info.durationMs, 2000);

  EXPECT_EQ(Probe(dir,
                  RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 1, 8000, 8, 18)),
                                    Chunk("data", Samples(12345))}),
                  &info),
            Texts{});
  EXPECT_EQ(info.durationMs, 12345 * 1000 / 8000);
  EXPECT_EQ(info.bitrate, 8000 * 8 / 1024);
}

TEST(WavReader, SkipsOtherChunksOddSizesAndLongFormatRecords) {
  TempDir dir;
  MusicInfo info;
  // A LIST before fmt, an odd-sized junk chunk (with its pad byte) between fmt and data, and
  // an odd-sized fmt record of 17 bytes.
  const Bytes list = Chunk("LIST", Concat({{'I', 'N', 'F', 'O'}, Chunk("INAM", {'a', 'b', 'c'})}));
  EXPECT_EQ(
      Probe(dir,
            RiffForm("WAVE", {list, Chunk("fmt ", FormatRecord(1, 2, 22050, 16, 17)),
                              Chunk("junk", {1, 2, 3, 4, 5}), Chunk("data", Samples(22050 * 4))}),
            &info),
      Texts{});
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(info.durationMs, 1000);

  // A 40-byte extensible record is read as far as its first 18 bytes and refused by its tag.
  EXPECT_EQ(Probe(dir,
                  RiffForm("WAVE", {Chunk("fmt ", FormatRecord(0xFFFE, 2, 44100, 16, 40)),
                                    Chunk("data", Samples(400))}),
                  nullptr),
            Texts{"不是 PCM 格式。"});
  // A 16-byte PCM record with the fact chunk of a compressed file in between.
  EXPECT_EQ(Probe(dir,
                  RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 1, 8000, 16)),
                                    Chunk("fact", {0x10, 0, 0, 0}), Chunk("data", Samples(16000))}),
                  &info),
            Texts{});
  EXPECT_EQ(info.durationMs, 1000);
}

TEST(WavReader, MissingChunksAndTruncatedRecords) {
  TempDir dir;
  EXPECT_EQ(Probe(dir, RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16))}), nullptr),
            Texts{"无法找到 data riff/chunk！"});
  EXPECT_EQ(Probe(dir, RiffForm("WAVE", {Chunk("data", Samples(100))}), nullptr),
            Texts{"无法找到 fmt  riff/chunk！"});
  // data before fmt: the search for data starts after fmt.
  EXPECT_EQ(Probe(dir,
                  RiffForm("WAVE", {Chunk("data", Samples(100)),
                                    Chunk("fmt ", FormatRecord(1, 2, 44100, 16))}),
                  nullptr),
            Texts{"无法找到 data riff/chunk！"});
  EXPECT_EQ(Probe(dir, RiffForm("AVI ", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16))}), nullptr),
            Texts{"无法找到 WAVE riff/chunk！"});
  EXPECT_EQ(Probe(dir, {}, nullptr), Texts{"无法找到 WAVE riff/chunk！"});
  // The file ends inside the format record.
  Bytes cut = RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16))});
  cut.resize(cut.size() - 6);
  EXPECT_EQ(Probe(dir, cut, nullptr), Texts{"无法获得 wave 格式！"});
}

TEST(WavReader, RefusesFormatsThatWouldDivideByZeroOrMakeNoSense) {
  TempDir dir;
  struct Case {
    int channels, rate, bits, blockAlign;
  };
  const Case cases[] = {{0, 44100, 16, 4},  {2, 0, 16, 4},     {2, 44100, 0, 4},
                        {2, 44100, 16, 0},  {2, 44100, 12, 3}, {65, 44100, 16, 130},
                        {2, 44100, 40, 10}, {1, 44100, 4, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.channels << "/" << c.rate << "/" << c.bits << "/" << c.blockAlign);
    const Bytes fmt = FormatRecordWithAlign(1, c.channels, c.rate, c.bits, c.blockAlign);
    EXPECT_EQ(
        Probe(dir, RiffForm("WAVE", {Chunk("fmt ", fmt), Chunk("data", Samples(64))}), nullptr),
        Texts{"无效文件错误"});
  }
  // A format record too short to hold the sample width.
  EXPECT_EQ(Probe(dir,
                  RiffForm("WAVE", {Chunk("fmt ", Bytes{1, 0, 2, 0, 0x44, 0xAC, 0, 0}),
                                    Chunk("data", Samples(64))}),
                  nullptr),
            Texts{"无效文件错误"});
}

TEST(WavReader, DataLargerThanTheFileGivesTheWholeFramesPresent) {
  TempDir dir;
  MusicInfo info;
  // Claims 10 s of 16-bit stereo; holds 1 s and 2 stray bytes.
  Bytes bytes = RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16)),
                                  Chunk("data", Samples(176400 + 2), 1764000)});
  EXPECT_EQ(Probe(dir, bytes, &info, "short.wav"), Texts{});
  EXPECT_EQ(info.durationMs, 1000);

  // A range asked for beyond what is there yields the frames that are there.
  RecordingMessageBox boxes;
  CopyWavFrames(dir.File("short.wav"), info, dir.File("out.wav"), 40000, 441000);
  const Bytes out = ReadFileBytes(dir.File("out.wav"));
  ASSERT_EQ(out.size(), 46u + (44100 - 40000) * 4);
  EXPECT_TRUE(std::equal(out.begin() + 46, out.end(), bytes.begin() + 44 + 40000 * 4));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WavReader, OpenFailuresAreChosenByTheErrorNumber) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string missing = dir.File("missing.wav");
  WavMusic a(missing);
  EXPECT_FALSE(a.GetMusicInfo());
  WavMusic b(dir.path());
  EXPECT_FALSE(b.GetMusicInfo());
  ASSERT_EQ(boxes.Texts().size(), 2u);
  EXPECT_EQ(boxes.Texts()[0], "mmioOpen 失败，未知错误 - " + missing);
  EXPECT_EQ(boxes.Texts()[1], "无效文件错误 - " + dir.path());
  EXPECT_EQ(boxes.Flashes(), 2);
}

TEST(WavReader, ProtectedFileIsReportedAsSuch) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string locked = dir.File("locked.wav");
  WriteWav(locked, 8000, 1, 8, 10, [](std::int64_t, int) { return 128; });
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  EXPECT_TRUE(RunAsUnprivilegedUser([&] {
    RecordingMessageBox boxes;
    WavMusic music(locked);
    return !music.GetMusicInfo() && boxes.Texts() == Texts{"文件受保护，无法打开。 - " + locked};
  }));
}

TEST(WavReader, OpenAtDataGivesTheOffsetOfTheFirstSample) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string canonical = dir.File("c.wav");
  WriteWav(canonical, 8000, 1, 16, 100, NoiseSample);
  WavMusic reader(canonical);
  ASSERT_TRUE(reader.OpenAtData());
  EXPECT_EQ(reader.Seek(0), 44);
  EXPECT_EQ(reader.Seek(10), 54);
  EXPECT_EQ(reader.Seek(-54), 0);
  EXPECT_EQ(reader.Seek(-1), -1);
  reader.Close();
  EXPECT_EQ(reader.Seek(0), -1);
  reader.Close();

  const std::string padded = dir.File("p.wav");
  WriteFileBytes(
      padded, RiffForm("WAVE", {Chunk("JUNK", {9}), Chunk("fmt ", FormatRecord(1, 1, 8000, 8, 18)),
                                Chunk("data", Samples(10))}));
  WavMusic other(padded);
  ASSERT_TRUE(other.OpenAtData());
  EXPECT_EQ(other.Seek(0), 12 + 10 + 26 + 8);
  other.Close();

  WavMusic none(dir.File("none.wav"));
  EXPECT_FALSE(none.OpenAtData());
  EXPECT_EQ(none.Seek(0), -1);
  EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST(WavReader, WriterMisuseIsReported) {
  TempDir dir;
  RecordingMessageBox boxes;
  WavMusic music(dir.File("x.wav"));
  const std::uint8_t byte = 0;
  EXPECT_FALSE(music.WriteSamples(&byte, 1));
  EXPECT_FALSE(music.CloseWriter());
  WavMusic blocked(dir.path() + "/no/such/folder/x.wav");
  blocked.info = {"", 0, 8000, 1, 0, 8, 0, {}};
  EXPECT_FALSE(blocked.InitWriter());
  const Texts expected = {"必须 InitWriter 早于 WriteSamples。 - " + dir.File("x.wav"),
                          "必须 InitWriter 早于 CloseWriter。 - " + dir.File("x.wav"),
                          "mmioOpen 失败，未知错误 - " + dir.path() + "/no/such/folder/x.wav"};
  EXPECT_EQ(boxes.Texts(), expected);
}

// Extensible headers are what sox and ffmpeg write for more than two channels or more than 16
// bits: PCM sub-formats read as the PCM they are, sample for sample as sox decodes them; other
// sub-formats (and the plain float tag) are refused.
TEST(WavReader, ExtensibleHeadersFromSoxAndFfmpeg) {
  struct Case {
    const char* command;  // makes the file x.wav
    int channels, bits;   // 0 bits: refused as not PCM
  };
  const Case cases[] = {
      {"sox -n -b 24 -c 2 -r 48000 x.wav synth 0.2 sine 440 sine 660", 2, 24},
      {"sox -n -b 16 -c 6 x.wav synth 0.2 sine 440", 6, 16},
      {"sox -n -b 32 -e floating-point -c 3 x.wav synth 0.2 sine 440", 0, 0},
      {"ffmpeg -f lavfi -i sine=d=0.2:r=48000 -ac 2 -c:a pcm_s24le x.wav", 2, 24},
      {"ffmpeg -f lavfi -i sine=d=0.2 -af 'pan=5.1|c0=c0|c1=-1*c0|c2=c0|c3=c0|c4=c0|c5=c0' x.wav",
       6, 16},
      {"ffmpeg -f lavfi -i sine=d=0.2 -ac 3 -c:a pcm_u8 x.wav", 3, 8},
      {"ffmpeg -f lavfi -i sine=d=0.2 -ac 2 -c:a pcm_f32le x.wav", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    TempDir dir;
    int status = 0;
    RunCommand("cd '" + dir.path() + "' && " + c.command + " >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    MusicInfo info;
    const Texts texts = Probe(dir, ReadFileBytes(dir.File("x.wav")), &info, "x.wav");
    if (c.bits == 0) {
      EXPECT_EQ(texts, Texts{"不是 PCM 格式。"});
      continue;
    }
    ASSERT_EQ(texts, Texts{});
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.bitsPerSample, c.bits);
    CopyWavFrames(dir.File("x.wav"), info, dir.File("copy.wav"), 0, std::int64_t{1} << 40);
    const std::string theirs = RunCommand("sox '" + dir.File("x.wav") + "' -t raw -");
    EXPECT_TRUE(RunCommand("sox '" + dir.File("copy.wav") + "' -t raw -") == theirs);
  }
}

// Files written by other programs, some of them deliberately hostile: each gives its message
// or its result, and a file that opens also converts completely without trouble.
TEST(WavReader, RealWorldAndHostileFiles) {
  SKIP_WITHOUT_TESTDATA();
  struct Case {
    const char* name;
    const char* message;  // nullptr: opens
  };
  const Case cases[] = {
      {"pcm_with_fact_chunk.wav", nullptr},
      {"duplicate_tags.wav", nullptr},
      {"infloop.wav", nullptr},
      {"rf64.wav", nullptr},
      {"uint8we.wav", nullptr},  // extensible, PCM sub-format
      {"float64.wav", "不是 PCM 格式。"},
      {"alaw.wav", "不是 PCM 格式。"},
      {"segfault.wav", "不是 PCM 格式。"},
      {"zero-size-chunk.wav", "无法找到 fmt  riff/chunk！"},
      {"invalid-chunk.wav", "无法找到 fmt  riff/chunk！"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = RealTestFile(c.name);
    RecordingMessageBox boxes;
    QueueTarget window;  // outlives the reader's worker
    WavMusic reader(path);
    const bool ok = reader.GetMusicInfo();
    if (c.message != nullptr) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(boxes.Texts(), Texts{std::string(c.message) + " - " + path});
      continue;
    }
    ASSERT_TRUE(ok) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_GT(reader.info.durationMs, 0);
    WavMusic writer(dir.File(std::string("copy-") + c.name));
    writer.info = reader.info;
    writer.progressWindow = &window;
    ASSERT_TRUE(writer.InitWriter());
    ASSERT_TRUE(reader.StartConvert(&writer));
    ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE).has_value());
    const std::int64_t frames =
        std::int64_t{reader.info.sampleRate} * reader.info.durationMs / 1000;
    const std::int64_t blockAlign = reader.info.channels * reader.info.bitsPerSample / 8;
    EXPECT_EQ(static_cast<std::int64_t>(ReadFileBytes(writer.path).size()),
              46 + frames * blockAlign);
    EXPECT_TRUE(boxes.Texts().empty());
  }
}
