#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "codecs/music.h"
#include "codecs/music_registry.h"
#include "core/music_load_dlg.h"
#include "platform/qt/qt_message_box.h"
#include "tests/core/audio_oracle.h"
#include "tests/core/load_dialog_spy.h"
#include "tests/support/full_disk.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using platform::BoxAnswer;
using testing_support::NoiseSample;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;

namespace {

constexpr int kRate = 44100;

std::string U8(const QString& s) { return s.toStdString(); }

MusicInfo ProbeWav(const std::string& path) {
  MusicInfo info;
  info.fileName = path;
  info.type = kMusicWav;
  EXPECT_TRUE(ProbeMusicFile(info));
  return info;
}

// A load-mode dialog decoding `source` into a new WAV cache at `cachePath`.
void PrepareLoad(CMusicLoadDlg& dialog, const std::string& source, const std::string& cachePath) {
  dialog.sourceInfo = ProbeWav(source);
  dialog.targetInfo = dialog.sourceInfo;
  dialog.targetInfo.fileName = cachePath;
}

std::vector<std::int16_t> Noise(std::int64_t frames) {
  std::vector<std::int16_t> out;
  for (std::int64_t f = 0; f < frames; ++f)
    for (int c = 0; c < 2; ++c) out.push_back(static_cast<std::int16_t>(NoiseSample(f, c)));
  return out;
}

}  // namespace

TEST(LoadProgressText, PercentAndTimeEstimates) {
  EXPECT_EQ(U8(LoadPercentText(527)), "52.7%");
  EXPECT_EQ(U8(LoadPercentText(1)), "0.1%");
  EXPECT_EQ(U8(LoadPercentText(1000)), "100.0%");
  EXPECT_EQ(U8(LoadPercentText(1013)), "101.3%");

  // No time elapsed: nothing to estimate from, whatever the progress.
  EXPECT_EQ(U8(LoadStatusText(1, 0)), "用时 00:00:00, 估计时间 00:00:00");
  EXPECT_EQ(U8(LoadStatusText(999, 0)), "用时 00:00:00, 估计时间 00:00:00");
  // (1000 − 1) × 10 / 1 = 9990 s.
  EXPECT_EQ(U8(LoadStatusText(1, 10)), "用时 00:00:10, 估计时间 02:46:30");
  EXPECT_EQ(U8(LoadStatusText(250, 3725)), "用时 01:02:05, 估计时间 03:06:15");
  // Past the expected end the estimate stays at zero instead of going negative.
  EXPECT_EQ(U8(LoadStatusText(1013, 10)), "用时 00:00:10, 估计时间 00:00:00");
  // A zero progress value must not divide by zero.
  EXPECT_EQ(U8(LoadStatusText(0, 10)), "用时 00:00:10, 估计时间 00:00:00");
}

TEST(MusicLoadDlg, LoadModeCopiesTheSourceAndShowsItsProgress) {
  RecordingMessageBox boxes;
  TempDir dir;
  const std::string source = dir.File("in.wav");
  // A whole number of milliseconds: a whole-file decode converts rate × ms / 1000 frames.
  const std::int64_t frames = 3 * kRate + 441;
  testing_support::WriteWav(source, kRate, 2, 16, frames, NoiseSample);

  CMusicLoadDlg dialog;
  PrepareLoad(dialog, source, dir.File("cache.tmp"));
  LoadDialogSpy spy;
  EXPECT_EQ(dialog.exec(), 0);

  EXPECT_TRUE(dialog.succeeded);
  EXPECT_EQ(U8(dialog.windowTitle()), "正载入 ...");
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(spy.done, 1);
  ASSERT_FALSE(spy.progress.empty());
  EXPECT_GE(spy.progress.back(), 1000);
  EXPECT_EQ(dialog.findChild<QProgressBar*>("1000")->value(), 100);
  EXPECT_EQ(U8(dialog.findChild<QLabel*>("1003")->text()),
            U8(LoadPercentText(spy.progress.back())));
  EXPECT_EQ(U8(dialog.findChild<QLabel*>("1002")->text()).rfind("用时 ", 0), 0u);
  // Read back by an independent reader: every frame, unchanged.
  EXPECT_EQ(oracle::Frames(dir.File("cache.tmp")), frames);
  EXPECT_EQ(oracle::Samples16(dir.File("cache.tmp")), Noise(frames));
}

// A one-hour stereo WAV whose first ten seconds hold a pattern; the rest is a hole in the
// file (silence that costs no disk), so a decode that ignored a cancel would take visibly long.
std::int64_t WriteLongSource(const std::string& path) {
  const std::int64_t patterned = std::int64_t{10} * kRate;
  testing_support::WriteWav(path, kRate, 2, 16, patterned, [](std::int64_t f, int c) {
    return static_cast<std::int16_t>(f * 3 + c);
  });
  const std::int64_t frames = std::int64_t{3600} * kRate;
  std::vector<std::uint8_t> bytes = testing_support::ReadFileBytes(path);
  const auto put32 = [&bytes](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(4, static_cast<std::uint32_t>(36 + frames * 4));
  put32(40, static_cast<std::uint32_t>(frames * 4));
  testing_support::WriteFileBytes(path, bytes);
  std::filesystem::resize_file(path, 44 + frames * 4);
  return frames;
}

TEST(MusicLoadDlg, CancelAnsweredYesEndsWithoutSuccessAndAValidShorterFile) {
  RecordingMessageBox boxes;
  TempDir dir;
  const std::string source = dir.File("long.wav");
  const std::int64_t frames = WriteLongSource(source);

  CMusicLoadDlg dialog;
  PrepareLoad(dialog, source, dir.File("cache.tmp"));
  LoadDialogSpy spy;
  spy.cancelOnFirstProgress = true;
  boxes.AnswerNext(BoxAnswer::kYes);
  dialog.exec();

  EXPECT_TRUE(spy.cancelPressed);
  EXPECT_FALSE(dialog.succeeded);
  EXPECT_EQ(spy.done, 1);  // the dialog waited for the writer's completion
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::kQuestion);
  EXPECT_EQ(boxes.Boxes()[0].text, "取消载入吗？");
  // The decode stopped early, and what it wrote is a valid file of whole frames.
  const std::int64_t written = oracle::Frames(dir.File("cache.tmp"));
  EXPECT_GE(written, 0);
  EXPECT_LT(written, frames / 4);
  const auto samples = oracle::Samples16(dir.File("cache.tmp"));
  ASSERT_EQ(static_cast<std::int64_t>(samples.size()), written * 2);
  for (std::int64_t f = 0; f < std::min<std::int64_t>(written, 10 * kRate); f += 4099)
    ASSERT_EQ(samples[f * 2 + 1], static_cast<std::int16_t>(f * 3 + 1)) << f;
}

TEST(MusicLoadDlg, CancelAnsweredNoEscapeAndEnterDoNotEndTheWork) {
  RecordingMessageBox boxes;
  TempDir dir;
  const std::string source = dir.File("in.wav");
  const std::int64_t frames = std::int64_t{60} * kRate;
  testing_support::WriteWav(source, kRate, 2, 16, frames,
                            [](std::int64_t f, int c) { return static_cast<std::int16_t>(f + c); });

  CMusicLoadDlg dialog;
  PrepareLoad(dialog, source, dir.File("cache.tmp"));
  // Before the worker runs: Enter is ignored, Escape and closing ask (answered No by default).
  QTimer::singleShot(0, &dialog, [&dialog] {
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
  });
  dialog.exec();

  EXPECT_TRUE(dialog.succeeded);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"取消载入吗？", "取消载入吗？"}));
  EXPECT_EQ(oracle::Frames(dir.File("cache.tmp")), frames);
}

TEST(MusicLoadDlg, WritersThatCannotBeCreatedEndTheDialogWithoutAFile) {
  RecordingMessageBox boxes;
  TempDir dir;
  const std::string source = dir.File("in.wav");
  testing_support::WriteWav(source, kRate, 2, 16, kRate, NoiseSample);

  CMusicLoadDlg cda;
  PrepareLoad(cda, source, dir.File("out.cda"));
  cda.targetInfo.type = kMusicCda;
  cda.exec();
  EXPECT_FALSE(cda.succeeded);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"无法写入为 cda 格式！！！"});
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.cda")));

  boxes.Clear();
  CMusicLoadDlg unknown;
  PrepareLoad(unknown, source, dir.File("out.xyz"));
  unknown.targetInfo.type = 9;
  unknown.exec();
  EXPECT_FALSE(unknown.succeeded);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.xyz")));
}

TEST(MusicLoadDlg, ASourceThatCannotBeReadFailsAfterItsOwnMessage) {
  RecordingMessageBox boxes;
  TempDir dir;
  const std::string source = dir.File("in.wav");
  testing_support::WriteWav(source, kRate, 2, 16, kRate, NoiseSample);
  CMusicLoadDlg dialog;
  PrepareLoad(dialog, source, dir.File("cache.tmp"));
  std::filesystem::remove(source);
  dialog.exec();
  EXPECT_FALSE(dialog.succeeded);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_NE(boxes.Texts()[0].find(source), std::string::npos);
}

TEST(MusicLoadDlg, SplitModeWritesBothSpansIntoOneFileWithProgressTwice) {
  RecordingMessageBox boxes;
  TempDir dir;
  const std::string cache = dir.File("cache.wav");
  const std::int64_t total = 4 * kRate;
  testing_support::WriteWav(cache, kRate, 2, 16, total, NoiseSample);

  CMusicLoadDlg dialog;
  dialog.sourceInfo = ProbeWav(cache);
  dialog.targetInfo = dialog.sourceInfo;
  dialog.targetInfo.fileName = dir.File("out.wav");
  dialog.splitMode = true;
  dialog.exportUnselected = true;
  dialog.startFrame = kRate;
  dialog.frameCount = 2 * kRate;
  dialog.totalFrames = total;
  LoadDialogSpy spy;
  dialog.exec();

  EXPECT_TRUE(dialog.succeeded);
  EXPECT_EQ(U8(dialog.windowTitle()), "正分割 ...");
  EXPECT_EQ(spy.done, 2);
  EXPECT_EQ(spy.CompletedRuns(), 2);
  const auto noise = Noise(total);
  std::vector<std::int16_t> expected(noise.begin(), noise.begin() + 2 * kRate);
  expected.insert(expected.end(), noise.begin() + 6 * kRate, noise.end());
  EXPECT_EQ(oracle::Frames(dir.File("out.wav")), 2 * kRate);
  EXPECT_EQ(oracle::Samples16(dir.File("out.wav")), expected);
}

// A writer that cannot write everything (the file size limit stands for a full disk) leaves a
// shortened file: the load or the export fails, and an export does not start its second span.
TEST(MusicLoadDlg, AWriterThatFailsEndsWithoutSuccess) {
  for (const bool split : {false, true}) {
    SCOPED_TRACE(split ? "export around a segment" : "load");
    RecordingMessageBox boxes;
    TempDir dir;
    const std::string source = dir.File("in.wav");
    testing_support::WriteWav(source, kRate, 2, 16, 4 * kRate, NoiseSample);
    CMusicLoadDlg dialog;
    PrepareLoad(dialog, source, dir.File("out.wav"));
    dialog.splitMode = dialog.exportUnselected = split;
    dialog.startFrame = 3 * kRate;
    dialog.frameCount = kRate / 2;
    dialog.totalFrames = 4 * kRate;
    LoadDialogSpy spy;
    {
      testing_support::FileSizeLimit limit(200'000);
      dialog.exec();
    }
    EXPECT_FALSE(dialog.succeeded);
    EXPECT_EQ(spy.done, 1);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0].rfind("mmioWrite 失败。", 0), 0u) << boxes.Texts()[0];
  }
}

namespace {

// The application's real message boxes, noting the texts a worker thread asked for.
class WorkerBoxes : public platform::QtMessageBoxHandler {
 public:
  WorkerBoxes() : previous_(platform::InstallMessageBoxHandler(this)) {}
  ~WorkerBoxes() override { platform::InstallMessageBoxHandler(previous_); }
  platform::BoxAnswer Show(platform::BoxKind kind, const std::string& text) override {
    if (QThread::currentThread() != qApp->thread()) {
      const std::lock_guard lock(mutex_);
      fromWorker_.push_back(text);
    }
    return QtMessageBoxHandler::Show(kind, text);
  }
  std::vector<std::string> FromWorker() const {
    const std::lock_guard lock(mutex_);
    return fromWorker_;
  }

 private:
  platform::MessageBoxHandler* previous_;
  mutable std::mutex mutex_;
  std::vector<std::string> fromWorker_;
};

}  // namespace

// Torn down while its worker waits on the UI thread for a message box (the cache cannot be
// written): the UI serves the box instead of joining the worker, and the teardown ends.
TEST(MusicLoadDlg, TornDownWhileItsWorkerWaitsForAMessageBoxItStillEnds) {
  TempDir dir;
  const std::string source = dir.File("in.wav");
  const std::string cache = dir.File("cache.tmp");
  testing_support::WriteWav(source, kRate, 2, 16, 2 * kRate, NoiseSample);
  WorkerBoxes boxes;
  QTimer user;  // presses OK on every box that opens
  QObject::connect(&user, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
  });
  user.start(10);
  const testing_support::FileSizeLimit full(20000);

  auto dialog = std::make_unique<CMusicLoadDlg>();
  PrepareLoad(*dialog, source, cache);
  dialog->show();
  QApplication::sendPostedEvents(dialog.get());  // starts the worker
  // Without serving the UI: the worker's box request stays queued, and the worker waits.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (boxes.FromWorker().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(boxes.FromWorker().size(), 1u);
  alarm(30);  // a deadlocked teardown ends the test here instead of hanging it
  dialog.reset();
  alarm(0);
  const std::string text = boxes.FromWorker()[0];
  EXPECT_EQ(text.rfind("mmioWrite 失败。", 0), 0u) << text;
  EXPECT_NE(text.find(" - " + cache), std::string::npos) << text;
}
