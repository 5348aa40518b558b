// The Music base: format table, probe, progress protocol, sample repacking and error reports.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "codecs/close_once.h"
#include "codecs/music.h"
#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "tests/support/queue_target.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

// A real WAV writer on `path` described as 16-bit stereo 44.1 kHz of `durationMs`.
std::unique_ptr<WavMusic> OpenWriter(const std::string& path, std::int64_t durationMs,
                                     QueueTarget* window, int bits = 16) {
  auto writer = std::make_unique<WavMusic>(path);
  writer->info.sampleRate = 44100;
  writer->info.channels = 2;
  writer->info.bitsPerSample = bits;
  writer->info.durationMs = durationMs;
  writer->progressWindow = window;
  EXPECT_TRUE(writer->InitWriter());
  return writer;
}

// The payload of the data chunk of a file made by the WAV writer (46-byte header).
Bytes SamplesOf(const std::string& wavPath) {
  const Bytes bytes = ReadFileBytes(wavPath);
  if (bytes.size() < 46) return {};
  const std::size_t size = bytes[42] | bytes[43] << 8 | bytes[44] << 16 | bytes[45] << 24;
  return Bytes(bytes.begin() + 46, bytes.begin() + 46 + std::min(size, bytes.size() - 46));
}

std::vector<platform::WParam> ProgressValues(const std::vector<PostedMessage>& posted) {
  std::vector<platform::WParam> values;
  for (const PostedMessage& m : posted)
    if (m.msg == WM_MUSIC_PROGRESS) values.push_back(m.w);
  return values;
}

}  // namespace

TEST(MusicTable, TypeFromFileNameAndFactory) {
  EXPECT_EQ(MusicTypeFromFileName("song.Mp3"), kMusicMp3);
  EXPECT_EQ(MusicTypeFromFileName("a.wav"), kMusicWav);
  EXPECT_EQ(MusicTypeFromFileName("/x/y/TRACK01.CDA"), kMusicCda);
  EXPECT_EQ(MusicTypeFromFileName(".wav"), kMusicUnknown);
  EXPECT_EQ(MusicTypeFromFileName("x.flac"), kMusicUnknown);
  EXPECT_EQ(MusicTypeFromFileName("x.mpeg"), kMusicUnknown);
  // Characters, not bytes: a wide character is one unit and matches no extension letter.
  EXPECT_EQ(MusicTypeFromFileName("歌.mp3"), kMusicMp3);
  EXPECT_EQ(MusicTypeFromFileName("歌mp3"), kMusicUnknown);
  EXPECT_EQ(MusicTypeFromFileName("歌歌.wa歌"), kMusicUnknown);
  EXPECT_EQ(MusicTypeFromFileName("bad\xFF.ogg"), kMusicOgg);

  std::unique_ptr<Music> wav = CreateMusic(kMusicWav, "x.wav");
  EXPECT_NE(dynamic_cast<WavMusic*>(wav.get()), nullptr);
  EXPECT_EQ(CreateMusic(kMusicUnknown, "x"), nullptr);
  EXPECT_EQ(CreateMusic(kMusicTypeCount, "x"), nullptr);
}

TEST(MusicProbe, FillsFormatOnSuccessAndLeavesRecordOnFailure) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string good = dir.File("good.wav");
  WriteWav(good, 22050, 1, 8, 22050 * 3, [](std::int64_t, int) { return 128; });
  MusicInfo info;
  info.fileName = good;
  info.type = kMusicWav;
  info.tag.title = "kept";
  ASSERT_TRUE(ProbeMusicFile(info));
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.bitsPerSample, 8);
  EXPECT_EQ(info.bitrate, 22050 * 8 / 1024);
  EXPECT_EQ(info.durationMs, 3000);
  // WAV carries no tags: the probe copies the codec's empty tag.
  EXPECT_EQ(info.tag.title, "");

  const std::string noData = dir.File("nodata.wav");
  WriteFileBytes(noData, RiffForm("WAVE", {Chunk("fmt ", FormatRecord(1, 2, 44100, 16))}));
  MusicInfo before;
  before.fileName = noData;
  before.type = kMusicWav;
  before.sampleRate = 7;
  before.channels = 3;
  before.bitrate = 11;
  before.bitsPerSample = 13;
  before.durationMs = 17;
  before.tag = {"t", "a", "al", "1", "2000", "g"};
  MusicInfo probed = before;
  EXPECT_FALSE(ProbeMusicFile(probed));
  EXPECT_EQ(probed.sampleRate, 7);
  EXPECT_EQ(probed.channels, 3);
  EXPECT_EQ(probed.bitrate, 11);
  EXPECT_EQ(probed.bitsPerSample, 13);
  EXPECT_EQ(probed.durationMs, 17);
  EXPECT_EQ(probed.tag.title, "t");
  EXPECT_EQ(probed.tag.genre, "g");
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "无法找到 data riff/chunk！ - " + noData);

  probed.type = 9;
  EXPECT_FALSE(ProbeMusicFile(probed));
  EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST(MusicReport, FlashesAndShowsTextWithPath) {
  RecordingMessageBox boxes;
  WavMusic music("/some/where/f.wav");
  music.ReportError("出错了");
  EXPECT_EQ(boxes.Flashes(), 1);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::kInformation);
  EXPECT_EQ(boxes.Boxes()[0].text, "出错了 - /some/where/f.wav");
}

TEST(MusicProgress, PostsOnlyGrowthAndIsNotClamped) {
  TempDir dir;
  RecordingMessageBox boxes;
  QueueTarget window;
  // 1000 ms of 16-bit stereo at 44.1 kHz: 176 400 bytes expected.
  std::unique_ptr<WavMusic> writer = OpenWriter(dir.File("p.wav"), 1000, &window);
  EXPECT_EQ(writer->bytesExpected, 176400u);
  const Bytes piece(1000, 0);
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(writer->WriteSamples(piece.data(), 1000));
  ASSERT_TRUE(writer->CloseWriter());
  const std::vector<platform::WParam> values = ProgressValues(window.All());
  ASSERT_FALSE(values.empty());
  for (std::size_t i = 1; i < values.size(); ++i) EXPECT_GT(values[i], values[i - 1]);
  EXPECT_EQ(values.front(), 5u);  // 1000 × 1000 / 176 400
  EXPECT_EQ(values.back(), 200000u * 1000 / 176400);
  EXPECT_GT(values.back(), 1000u);
  EXPECT_EQ(window.All().back().msg, WM_MUSIC_DONE);

  // Nothing expected: no progress at all, but still exactly one completion.
  QueueTarget quiet;
  std::unique_ptr<WavMusic> empty = OpenWriter(dir.File("q.wav"), 0, &quiet);
  ASSERT_TRUE(empty->WriteSamples(piece.data(), 1000));
  ASSERT_TRUE(empty->CloseWriter());
  ASSERT_EQ(quiet.All().size(), 1u);
  EXPECT_EQ(quiet.All()[0].msg, WM_MUSIC_DONE);

  // No window: progress is counted, nothing is posted, FinishWrite reports success.
  std::unique_ptr<WavMusic> silent = OpenWriter(dir.File("r.wav"), 1000, nullptr);
  ASSERT_TRUE(silent->WriteSamples(piece.data(), 1000));
  EXPECT_EQ(silent->bytesDone, 1000u);
  EXPECT_TRUE(silent->FinishWrite());
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(MusicProgress, ResetUsesWholeBytesPerSampleAndSaturates) {
  WavMusic m("x.wav");
  m.info = {"x", 0, 48000, 2, 0, 12, 1500, {}};
  m.bytesDone = 5;
  m.lastPermille = 9;
  m.ResetProgress();
  EXPECT_EQ(m.bytesExpected, 1u * 2 * 48000 * 1500 / 1000);
  EXPECT_EQ(m.bytesDone, 0u);
  EXPECT_EQ(m.lastPermille, 0);
  m.info.channels = -2;
  m.ResetProgress();
  EXPECT_EQ(m.bytesExpected, 0u);
  m.info = {"x", 0, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0x7FFFFFFF, INT64_MAX, {}};
  m.ResetProgress();
  EXPECT_EQ(m.bytesExpected, UINT64_MAX);
}

TEST(MusicRepack, WidensNarrowsAndPassesThrough) {
  TempDir dir;
  RecordingMessageBox boxes;
  // Exactly sized heap buffers, so a read past the input is caught by AddressSanitizer.
  auto input = std::make_unique<std::uint8_t[]>(3);
  input[0] = 0;
  input[1] = 128;
  input[2] = 255;
  {
    std::unique_ptr<WavMusic> writer = OpenWriter(dir.File("w16.wav"), 0, nullptr, 16);
    ASSERT_TRUE(Music::RepackSamples(input.get(), 3, writer.get(), 8, 16));
    ASSERT_TRUE(writer->CloseWriter());
  }
  EXPECT_EQ(SamplesOf(dir.File("w16.wav")), (Bytes{0, 0, 0x00, 0x40, 0x80, 0x7F}));

  auto wide = std::make_unique<std::uint8_t[]>(6);
  const std::int16_t values[] = {-32768, 0x1234, -1};
  for (int i = 0; i < 3; ++i) {
    wide[2 * i] = static_cast<std::uint8_t>(values[i] & 0xFF);
    wide[2 * i + 1] = static_cast<std::uint8_t>((values[i] >> 8) & 0xFF);
  }
  {
    std::unique_ptr<WavMusic> writer = OpenWriter(dir.File("w8.wav"), 0, nullptr, 8);
    ASSERT_TRUE(Music::RepackSamples(wide.get(), 6, writer.get(), 16, 8));
    ASSERT_TRUE(writer->CloseWriter());
  }
  // The top byte is kept; no sign conversion is made.
  EXPECT_EQ(SamplesOf(dir.File("w8.wav")), (Bytes{0x80, 0x12, 0xFF}));

  EXPECT_FALSE(Music::RepackSamples(input.get(), 3, nullptr, 8, 16));
  std::unique_ptr<WavMusic> writer = OpenWriter(dir.File("bad.wav"), 0, nullptr, 0);
  EXPECT_FALSE(Music::RepackSamples(input.get(), 3, writer.get(), 8, 0));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(CloseOnce, RacingEndsCloseTheTargetExactlyOnce) {
  TempDir dir;
  RecordingMessageBox boxes;
  for (int round = 0; round < 200; ++round) {
    QueueTarget window;
    std::unique_ptr<WavMusic> writer = OpenWriter(dir.File("race.wav"), 0, &window);
    CloseOnce guard;
    guard.Arm(writer.get());
    std::atomic<int> closed{0};
    std::thread engine([&] { closed += guard.Close(); });
    closed += guard.Close();
    engine.join();
    EXPECT_FALSE(guard.Close());
    ASSERT_EQ(closed, 1);
    ASSERT_EQ(window.All().size(), 1u);
    EXPECT_EQ(window.All()[0].msg, WM_MUSIC_DONE);
  }
  EXPECT_TRUE(boxes.Texts().empty());
}
