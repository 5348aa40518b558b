// Opening files and exporting through the main window, its real dialogs and real files; the
// written files are read back with sox.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>

#include "codecs/music_registry.h"
#include "core/export_now_dlg.h"
#include "core/file_dialogs.h"
#include "core/main_frame.h"
#include "playback/wave_player.h"
#include "tests/core/audio_oracle.h"
#include "tests/core/load_dialog_spy.h"
#include "tests/support/full_disk.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"
#include "waveview/wav_view.h"

using platform::BoxAnswer;
using testing_support::FilesIn;
using testing_support::NoiseSample;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kBytesPerSecond = kRate * 4;

std::vector<std::int16_t> NoiseFrames(std::int64_t from, std::int64_t to) {
  std::vector<std::int16_t> out;
  for (std::int64_t f = from; f < to; ++f)
    for (int c = 0; c < 2; ++c) out.push_back(static_cast<std::int16_t>(NoiseSample(f, c)));
  return out;
}

// One span as the export writes it: linear gains per frame over byte positions, truncated.
std::vector<std::int16_t> Faded(std::vector<std::int16_t> span, int fadeIn, int fadeOut) {
  const std::int64_t total = static_cast<std::int64_t>(span.size()) * 2;
  const std::int64_t in = fadeIn > 0 ? fadeIn * kBytesPerSecond : 0;
  const std::int64_t out = fadeOut > 0 ? fadeOut * kBytesPerSecond : 0;
  for (std::size_t i = 0; i < span.size(); i += 2) {
    const std::int64_t p = static_cast<std::int64_t>(i) * 2;
    long double gain = 1;
    if (p < in) gain *= static_cast<long double>(p) / in;
    if (out > 0 && p >= total - out) gain *= static_cast<long double>(total - p) / out;
    for (std::size_t c = 0; c < 2; ++c)
      span[i + c] = static_cast<std::int16_t>(std::trunc(gain * span[i + c]));
  }
  return span;
}

std::vector<std::int16_t> Join(std::vector<std::int16_t> a, const std::vector<std::int16_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Sample-by-sample comparison allowing one step of rounding in the gain.
::testing::AssertionResult SamplesMatch(const std::vector<std::int16_t>& actual,
                                        const std::vector<std::int16_t>& expected) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure()
           << "frames " << actual.size() / 2 << " != " << expected.size() / 2;
  for (std::size_t i = 0; i < actual.size(); ++i)
    if (std::abs(actual[i] - expected[i]) > 1)
      return ::testing::AssertionFailure()
             << "sample " << i << ": " << actual[i] << " != " << expected[i];
  return ::testing::AssertionSuccess();
}

// Pixels drawn in the waveform's colour.
int WavePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == 0xFF00C000;
  return count;
}

class OpenAndSplitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("WAVELATHE_HOME", home.path().c_str(), 1);
    frame = std::make_unique<CMainFrame>();
  }
  void TearDown() override {
    SetFileDialogHook(nullptr);
    frame.reset();
  }

  std::string MakeWav(const std::string& name, std::int64_t frames) {
    const std::string path = media.File(name);
    testing_support::WriteWav(path, kRate, 2, 16, frames, NoiseSample);
    return path;
  }
  // The save dialog answers `path`; returns how often it was asked.
  void AnswerSaveWith(const std::string& path) {
    SetFileDialogHook([this, path](const FileDialogRequest& request) {
      saveRequests.push_back(request);
      return QString::fromStdString(path);
    });
  }
  CWavView& view() { return *frame->view(); }

  TempDir home;
  TempDir media;
  RecordingMessageBox boxes;
  std::unique_ptr<CMainFrame> frame;
  std::vector<FileDialogRequest> saveRequests;
};

TEST_F(OpenAndSplitTest, OpeningAWavUsesItAsTheCacheAndAnUnknownTypeChangesNothing) {
  const std::string wav = MakeWav("Song.WAV", 2 * kRate);
  LoadDialogSpy spy;
  frame->OpenMusic(QString::fromStdString(wav));
  EXPECT_EQ(spy.done, 0);  // no progress dialog ran
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(frame->windowTitle().toStdString(), "Wavelathe - " + wav);
  EXPECT_EQ(frame->cacheInfo().fileName, wav);
  EXPECT_EQ(frame->sourceInfo().fileName, wav);
  EXPECT_TRUE(frame->tempFileName().empty());
  EXPECT_FALSE(fs::exists(home.path() + "/tmp") && !fs::is_empty(home.path() + "/tmp"));
  EXPECT_EQ(view().totalFrames, 2 * kRate);
  EXPECT_TRUE(view().hasMusic);

  const std::string other = media.File("tune.flac");
  testing_support::WriteFileBytes(other, {1, 2, 3, 4});
  frame->OpenMusic(QString::fromStdString(other));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"未知文件类型！ - " + other});
  EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::kInformation);
  EXPECT_EQ(frame->windowTitle().toStdString(), "Wavelathe - " + wav);
  EXPECT_EQ(frame->cacheInfo().fileName, wav);
  EXPECT_EQ(view().totalFrames, 2 * kRate);
  EXPECT_TRUE(view().hasMusic);
}

TEST_F(OpenAndSplitTest, TheTemporaryCacheIsMadeInTheApplicationFolderAndGoesAtTheNextOpen) {
  MusicInfo cache;
  cache.fileName = "/somewhere/opened.mp3";
  ASSERT_TRUE(frame->MakeCacheFileName(cache));
  const fs::path made = cache.fileName;
  EXPECT_EQ(made.parent_path(), fs::path(home.path()) / "tmp");
  EXPECT_EQ(made.filename().string().rfind("wav", 0), 0u);
  EXPECT_EQ(made.extension(), ".tmp");
  EXPECT_TRUE(fs::exists(made));
  EXPECT_EQ(frame->tempFileName(), cache.fileName);

  // A second name is a different file; only the latest one is remembered.
  MusicInfo second;
  ASSERT_TRUE(frame->MakeCacheFileName(second));
  EXPECT_NE(second.fileName, cache.fileName);
  EXPECT_EQ(frame->tempFileName(), second.fileName);

  // Opening a WAV deletes the remembered file and never the WAV itself.
  const std::string wav = MakeWav("in.wav", kRate);
  frame->OpenMusic(QString::fromStdString(wav));
  EXPECT_FALSE(fs::exists(second.fileName));
  EXPECT_TRUE(frame->tempFileName().empty());
  frame->OpenMusic(QString::fromStdString(wav));
  EXPECT_TRUE(fs::exists(wav));

  // No folder for the cache: the record must not keep the opened file's path.
  fs::remove_all(fs::path(home.path()) / "tmp");
  testing_support::WriteFileBytes(home.path() + "/tmp", {0});
  MusicInfo failed;
  failed.fileName = "/somewhere/opened.mp3";
  EXPECT_FALSE(frame->MakeCacheFileName(failed));
  EXPECT_TRUE(failed.fileName.empty());
  EXPECT_EQ(boxes.Texts(),
            std::vector<std::string>{"无法创建临时文件！ - " + home.path() + "/tmp"});
}

TEST_F(OpenAndSplitTest, ExportsTheWholeFileOrTheSegmentWithItsFades) {
  const std::int64_t total = 4 * kRate;
  const std::string wav = MakeWav("in.wav", total);
  frame->OpenMusic(QString::fromStdString(wav));

  // Nothing marked: the whole file, unchanged.
  AnswerSaveWith(media.File("whole.wav"));
  frame->SplitNow(kMusicWav, 128, -1, -1, false);
  ASSERT_EQ(saveRequests.size(), 1u);
  EXPECT_TRUE(saveRequests[0].save);
  EXPECT_EQ(saveRequests[0].filter.toStdString(), "wav 文件 (*.wav)");
  EXPECT_EQ(saveRequests[0].defaultSuffix, "wav");
  EXPECT_EQ(oracle::Frames(media.File("whole.wav")), total);
  EXPECT_EQ(oracle::Samples16(media.File("whole.wav")), NoiseFrames(0, total));

  // A segment marked backwards, one second of fade at each end.
  const std::int64_t a = kRate / 2, b = 3 * kRate + 99;
  view().SetSegment(b, a);
  view().MoveCursor(kRate);
  AnswerSaveWith(media.File("piece.wav"));
  frame->SplitNow(kMusicWav, 128, 1, 1, false);
  EXPECT_EQ(oracle::Frames(media.File("piece.wav")), b - a);
  EXPECT_TRUE(
      SamplesMatch(oracle::Samples16(media.File("piece.wav")), Faded(NoiseFrames(a, b), 1, 1)));
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(view().segStart, b);
  EXPECT_EQ(view().segEnd, a);
  EXPECT_EQ(view().cursorPos, kRate);
  EXPECT_FALSE(view().drawingSuspended);
}

TEST_F(OpenAndSplitTest, ExportsWhatLiesOutsideTheSegmentInItsThreeShapes) {
  const std::int64_t total = 5 * kRate;
  frame->OpenMusic(QString::fromStdString(MakeWav("in.wav", total)));
  const std::int64_t a = 2 * kRate - 7, b = 3 * kRate + 5;

  // Segment at the start: only what follows it.
  view().SetSegment(0, a);
  AnswerSaveWith(media.File("tail.wav"));
  frame->SplitNow(kMusicWav, 128, 1, 1, true);
  EXPECT_TRUE(
      SamplesMatch(oracle::Samples16(media.File("tail.wav")), Faded(NoiseFrames(a, total), 1, 1)));

  // Segment up to the end: only what precedes it.
  view().SetSegment(total, b);
  AnswerSaveWith(media.File("head.wav"));
  frame->SplitNow(kMusicWav, 128, 1, 2, true);
  EXPECT_TRUE(
      SamplesMatch(oracle::Samples16(media.File("head.wav")), Faded(NoiseFrames(0, b), 1, 2)));

  // Segment inside: both outer spans in one file, the fade-in on the first, the fade-out on the
  // second, and the join left alone; progress runs to 100 % once per span.
  view().SetSegment(a, b);
  LoadDialogSpy spy;
  AnswerSaveWith(media.File("outer.wav"));
  frame->SplitNow(kMusicWav, 128, 1, 1, true);
  EXPECT_EQ(oracle::Frames(media.File("outer.wav")), a + total - b);
  EXPECT_TRUE(
      SamplesMatch(oracle::Samples16(media.File("outer.wav")),
                   Join(Faded(NoiseFrames(0, a), 1, -1), Faded(NoiseFrames(b, total), -1, 1))));
  EXPECT_EQ(spy.done, 2);
  EXPECT_EQ(spy.CompletedRuns(), 2);

  // Nothing marked: the unselected part is empty, and so is the file.
  view().SetSegment(0, 0);
  AnswerSaveWith(media.File("none.wav"));
  frame->SplitNow(kMusicWav, 128, -1, -1, true);
  EXPECT_EQ(oracle::Frames(media.File("none.wav")), 0);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(OpenAndSplitTest, SplitCommandRunsTheExportDialogAndTheExport) {
  const std::int64_t total = 3 * kRate;
  frame->OpenMusic(QString::fromStdString(MakeWav("in.wav", total)));
  view().SetSegment(kRate, 2 * kRate);
  AnswerSaveWith(media.File("cmd.wav"));
  bool shown = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&shown, &poll] {
    auto* dialog = qobject_cast<CExportNowDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    poll.stop();
    shown = true;
    dialog->findChild<QComboBox*>("1016")->setCurrentText("wav");
    dialog->findChild<QCheckBox*>("1019")->setChecked(true);
    dialog->findChild<QLineEdit*>("1020")->setText("1");
    dialog->findChild<QPushButton*>("1")->click();
  });
  poll.start(10);
  frame->SplitCommand();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(SamplesMatch(oracle::Samples16(media.File("cmd.wav")),
                           Faded(NoiseFrames(kRate, 2 * kRate), 1, -1)));
  EXPECT_EQ(saveRequests.size(), 1u);

  // The user cancels the save dialog: nothing written, drawing resumes.
  SetFileDialogHook([](const FileDialogRequest&) { return QString(); });
  frame->SplitNow(kMusicWav, 128, -1, -1, false);
  EXPECT_FALSE(view().drawingSuspended);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(OpenAndSplitTest, CancelDuringTheFirstOfTwoSpansNeverStartsTheSecond) {
  // Minutes of audio so that the cancel lands while the first span is being copied.
  const std::int64_t total = std::int64_t{360} * kRate;
  const std::string wav = media.File("long.wav");
  testing_support::WriteWav(wav, kRate, 2, 16, total, [](std::int64_t f, int c) {
    return static_cast<std::int16_t>(f * 7 + c);
  });
  frame->OpenMusic(QString::fromStdString(wav));
  const std::int64_t a = std::int64_t{180} * kRate, b = std::int64_t{240} * kRate;
  view().SetSegment(a, b);
  view().MoveCursor(12345);
  const auto cacheSize = fs::file_size(wav);
  const auto cacheTime = fs::last_write_time(wav);

  // The file the user chose to replace gives way to the shorter file the cancel keeps.
  testing_support::WriteFileBytes(media.File("cut.wav"), {1, 2, 3});
  LoadDialogSpy spy;
  spy.cancelOnFirstProgress = true;
  boxes.AnswerNext(BoxAnswer::kYes);
  AnswerSaveWith(media.File("cut.wav"));
  frame->SplitNow(kMusicWav, 128, -1, -1, true);
  EXPECT_EQ(FilesIn(media.path()), (std::vector<std::string>{"cut.wav", "long.wav"}));

  EXPECT_TRUE(spy.cancelPressed);
  EXPECT_EQ(spy.done, 1);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"取消分割吗？"});
  // A valid file holding a prefix of the first span, in whole frames.
  const std::string cut = media.File("cut.wav");
  const std::int64_t written = oracle::Frames(cut);
  ASSERT_GE(written, 0);
  EXPECT_LE(written, a);
  EXPECT_EQ((fs::file_size(cut) - 46) % 4, 0u);
  const auto samples = oracle::Samples16(cut);
  ASSERT_EQ(static_cast<std::int64_t>(samples.size()), written * 2);
  for (std::int64_t f = 0; f < written; f += 1009)
    ASSERT_EQ(samples[f * 2], static_cast<std::int16_t>(f * 7)) << f;
  // Nothing else moved.
  EXPECT_EQ(view().segStart, a);
  EXPECT_EQ(view().segEnd, b);
  EXPECT_EQ(view().cursorPos, 12345);
  EXPECT_EQ(view().totalFrames, total);
  EXPECT_FALSE(view().drawingSuspended);
  EXPECT_EQ(frame->cacheInfo().fileName, wav);
  EXPECT_EQ(fs::file_size(wav), cacheSize);
  EXPECT_EQ(fs::last_write_time(wav), cacheTime);
}

// However the export ends, the view draws its whole picture again: a paint during the export
// (drawing suspended) left a back buffer without the waveform.
TEST_F(OpenAndSplitTest, TheWholePictureIsRedrawnHoweverTheExportEnds) {
  const std::string wav = MakeWav("in.wav", 2 * kRate);
  frame->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  frame->OpenMusic(QString::fromStdString(wav));
  view().repaint();
  ASSERT_GT(WavePixels(view().BackBuffer()), 0);
  const struct {
    const char* how;
    std::string answer;
  } cases[] = {
      {"exported", media.File("out.wav")},
      {"save dialog cancelled", ""},
      {"refused: the file being edited", wav},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    SetFileDialogHook([this, &c](const FileDialogRequest&) {
      view().RenderAll();
      return QString::fromStdString(c.answer);
    });
    frame->SplitNow(kMusicWav, 128, -1, -1, false);
    view().repaint();
    EXPECT_GT(WavePixels(view().BackBuffer()), 0);
  }
}

TEST_F(OpenAndSplitTest, RefusesToExportOverTheFileBeingEdited) {
  const std::string wav = MakeWav("in.wav", kRate);
  frame->OpenMusic(QString::fromStdString(wav));
  const auto original = testing_support::ReadFileBytes(wav);
  fs::create_directory(media.File("sub"));
  fs::create_symlink(wav, media.File("sub/link.wav"));
  fs::create_hard_link(wav, media.File("hard.wav"));

  for (const std::string& target :
       {wav, media.path() + "/sub/../in.wav", media.path() + "/./in.wav",
        media.File("sub/link.wav"), media.File("hard.wav")}) {
    boxes.Clear();
    AnswerSaveWith(target);
    frame->SplitNow(kMusicWav, 128, 1, 1, false);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"不能覆盖正在编辑的文件。"}) << target;
    EXPECT_FALSE(view().drawingSuspended);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(wav), original);
  EXPECT_EQ(view().totalFrames, kRate);
}

// How the space runs out while an export writes.
enum class Space { kFullFilesystem, kFileSizeLimit };

class ExportOutOfSpace : public OpenAndSplitTest, public ::testing::WithParamInterface<Space> {};

// The export fails in the first of its two spans: the second is not started, the file it was
// to replace stays as it was, no partial file is left, and the one message adds the system's
// reason to the program's text.
TEST_P(ExportOutOfSpace, LeavesTheDestinationAsItWasAndNoPartialFile) {
  frame->OpenMusic(QString::fromStdString(MakeWav("in.wav", 2 * kRate)));
  view().SetSegment(kRate / 2, kRate);
  TempDir out;
  std::string folder = out.path();
  std::unique_ptr<testing_support::SmallFilesystem> small;
  std::errc reason = std::errc::file_too_large;
  if (GetParam() == Space::kFullFilesystem) {
    small = std::make_unique<testing_support::SmallFilesystem>(64 * 1024);
    if (!small->reason().empty()) GTEST_SKIP() << small->reason();
    folder = small->path();
    reason = std::errc::no_space_on_device;
  }
  const std::string destination = folder + "/keep.wav";
  testing_support::WriteWav(destination, 8000, 1, 16, 8000, NoiseSample);
  const auto before = testing_support::ReadFileBytes(destination);
  AnswerSaveWith(destination);
  {
    std::unique_ptr<testing_support::FileSizeLimit> limit;
    if (GetParam() == Space::kFileSizeLimit)
      limit = std::make_unique<testing_support::FileSizeLimit>(50 * 1024);
    frame->SplitNow(kMusicWav, 128, -1, -1, true);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(destination), before);
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"keep.wav"});
  EXPECT_EQ(oracle::Frames(destination), 8000);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  const std::string expected = "mmioWrite 失败。 " + std::make_error_code(reason).message();
  EXPECT_EQ(boxes.Texts()[0].rfind(expected, 0), 0u) << boxes.Texts()[0];
  EXPECT_FALSE(view().drawingSuspended);
}

INSTANTIATE_TEST_SUITE_P(Space, ExportOutOfSpace,
                         ::testing::Values(Space::kFullFilesystem, Space::kFileSizeLimit),
                         [](const ::testing::TestParamInfo<Space>& info) {
                           return info.param == Space::kFullFilesystem ? "FullFilesystem"
                                                                       : "FileSizeLimit";
                         });

// A compressed copy of `wav` in the first format this build decodes, made by a public encoder;
// empty when there is none.
std::string Compressed(const std::string& wav, const std::string& stem) {
  const struct {
    MusicType type;
    const char* ext;
    const char* command;
  } encoders[] = {
      {kMusicOgg, "ogg", "sox '%1' '%2'"},
      {kMusicMp3, "mp3", "lame --quiet '%1' '%2'"},
      {kMusicWma, "wma", "ffmpeg -v quiet -y -i '%1' -c:a wmav2 '%2'"},
  };
  for (const auto& e : encoders) {
    if (!CreateMusic(e.type, stem + "." + e.ext)) continue;
    const std::string out = stem + "." + e.ext;
    const QString command = QString::fromLatin1(e.command).arg(QString::fromStdString(wav),
                                                               QString::fromStdString(out));
    int status = 0;
    testing_support::RunCommand(command.toStdString() + " 2>&1", &status);
    if (status == 0) return out;
  }
  return {};
}

// Loads that decode need a codec other than WAV.
TEST_F(OpenAndSplitTest, AFailedOrCancelledLoadLeavesNothingToPlayOrSplit) {
  const std::string wav = MakeWav("first.wav", kRate);
  const std::string compressed = Compressed(MakeWav("long.wav", 30 * kRate), media.File("tone"));
  if (compressed.empty()) GTEST_SKIP() << "no compressed format can be decoded in this build";
  frame->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  const auto expectNothingLoaded = [this] {
    // The picture is that of an empty view: no ruler times, markers, selection or waveform.
    CWavView empty;
    empty.resize(view().size());
    empty.RenderAll();
    view().repaint();
    EXPECT_EQ(view().BackBuffer(), empty.BackBuffer());
    EXPECT_EQ(view().totalFrames, 0);
    EXPECT_FALSE(view().hasMusic);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Wavelathe");
    frame->OnCommand(32778);  // play
    EXPECT_FALSE(frame->player()->playing());
    bool dialogShown = false;
    QTimer::singleShot(0, [&dialogShown] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        dialogShown = true;
        modal->close();
      }
    });
    frame->SplitCommand();
    QApplication::processEvents();
    EXPECT_FALSE(dialogShown);
  };

  // The cache folder cannot be made: a file stands where it should be.
  frame->OpenMusic(QString::fromStdString(wav));
  testing_support::WriteFileBytes(home.path() + "/tmp", {0});
  frame->OpenMusic(QString::fromStdString(compressed));
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "无法创建临时文件！ - " + home.path() + "/tmp");
  EXPECT_NE(frame->cacheInfo().fileName, compressed);
  expectNothingLoaded();

  // A cancelled decode keeps its partial cache until the next open.
  fs::remove(home.path() + "/tmp");
  boxes.Clear();
  LoadDialogSpy spy;
  spy.cancelOnFirstProgress = true;
  boxes.AnswerNext(BoxAnswer::kYes);
  frame->OpenMusic(QString::fromStdString(compressed));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"取消载入吗？"});
  const std::string partial = frame->tempFileName();
  ASSERT_FALSE(partial.empty());
  EXPECT_TRUE(fs::exists(partial));
  EXPECT_EQ(frame->cacheInfo().fileName, partial);
  expectNothingLoaded();

  frame->OpenMusic(QString::fromStdString(wav));
  EXPECT_FALSE(fs::exists(partial));
  EXPECT_TRUE(frame->tempFileName().empty());
  EXPECT_EQ(view().totalFrames, kRate);
}

// An ASF header's duration counts the codec's padding, so it promises more audio than the
// decode delivers. The view's length is the cache's, as sox counts it, never a frame past it.
TEST_F(OpenAndSplitTest, TheLengthIsWhatTheCacheHolds) {
  const std::string wav = MakeWav("tone.wav", 3 * kRate);
  const std::string wma = media.File("padded.wma");
  int status = 0;
  testing_support::RunCommand("ffmpeg -v quiet -y -i '" + wav + "' -c:a wmav2 '" + wma + "'",
                              &status);
  ASSERT_EQ(status, 0);
  frame->OpenMusic(QString::fromStdString(wma));
  ASSERT_TRUE(boxes.Texts().empty());
  const std::int64_t held =
      std::stoll(testing_support::RunCommand("soxi -s '" + frame->tempFileName() + "'"));
  EXPECT_GT(frame->sourceInfo().durationMs, frame->cacheInfo().durationMs);
  EXPECT_LE(view().totalFrames, held);
  EXPECT_GT(view().totalFrames, held - kRate / 1000 - 1);
}

}  // namespace
