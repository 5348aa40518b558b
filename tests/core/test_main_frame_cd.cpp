// Opening tracks of a disc image from the main window, named by a CDDB server on 127.0.0.1,
// then exporting a piece of one; the cache and the export are read back with sox.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cd/disc_toc.h"
#include "core/command_ids.h"
#include "core/export_now_dlg.h"
#include "core/file_dialogs.h"
#include "core/main_frame.h"
#include "tests/core/audio_oracle.h"
#include "tests/core/load_dialog_spy.h"
#include "tests/support/cddb_test_server.h"
#include "tests/support/disc_image.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/xmcd_records.h"
#include "waveview/wav_view.h"

using namespace cd_testing;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;

namespace {

constexpr std::int64_t kFramesPerSector = 588;

// The 16-bit samples of `count` sectors of the image from `first` on.
std::vector<std::int16_t> ImageSamples(std::uint32_t first, std::uint32_t count) {
  const std::vector<std::uint8_t> bytes = ImageBytes(first, count);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), bytes.size());
  return samples;
}

std::uint32_t DiscId(const std::string& image) {
  std::uint32_t id = 0;
  EXPECT_TRUE(cd::ComputeDiscIdForPath(TrackPath(image, 1), id));
  return id;
}

class CdTrackWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("WAVELATHE_HOME", home_.path().c_str(), 1);
    frame_ = std::make_unique<CMainFrame>();
  }
  void TearDown() override {
    SetFileDialogHook({});
    frame_.reset();
    unsetenv("WAVELATHE_CDDB_SERVER");
  }
  // Serves `image` as "Some Artist / Some Album" from now on.
  void ServeDisc(const std::string& image) {
    server_ = std::make_unique<CddbTestServer>(std::vector<ServerDisc>{
        {"rock", DiscId(image), "Some Artist / Some Album", kMinimalRecord}});
    setenv("WAVELATHE_CDDB_SERVER", server_->Address().c_str(), 1);
  }
  // F2: the open dialog answers `path`.
  void Open(const std::string& path) {
    SetFileDialogHook([path](const FileDialogRequest&) { return QString::fromStdString(path); });
    frame_->OnCommand(cmd::kOpen);
  }

  TempDir home_, media_;
  RecordingMessageBox boxes_;
  std::unique_ptr<CddbTestServer> server_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace

TEST_F(CdTrackWindowTest, TracksOpenWithTheirSamplesAndNamesAndAPieceExportsUnchanged) {
  const std::string disc = WriteDiscImage(media_, "disc", {{true, 300}, {true, 450}});
  ServeDisc(disc);
  const struct {
    int position;
    std::uint32_t first, sectors;
    const char* title;
    const char* number;
    int connections;  // the second track of the disc costs none
  } tracks[] = {{2, 300, 450, "Closing", "02", 2}, {1, 0, 300, "Opening", "01", 2}};
  for (const auto& t : tracks) {
    SCOPED_TRACE(t.position);
    const std::string path = TrackPath(disc, t.position);
    Open(path);
    EXPECT_EQ(frame_->windowTitle().toStdString(), "Wavelathe - " + path);
    const MusicTag& tag = frame_->sourceInfo().tag;
    EXPECT_EQ(
        std::vector<std::string>(
            {tag.title, tag.artist, tag.album, tag.track, tag.year, tag.genre}),
        std::vector<std::string>({t.title, "Some Artist", "Some Album", t.number, "1999", "Rock"}));
    EXPECT_EQ(server_->Connections(), t.connections);
    EXPECT_EQ(frame_->view()->totalFrames, t.sectors * kFramesPerSector);
    EXPECT_EQ(oracle::Samples16(frame_->tempFileName()), ImageSamples(t.first, t.sectors));
  }

  // F5 offers wav for a CD track; the piece holds the image's frames unchanged.
  const std::int64_t a = 1000, b = 100000;
  frame_->view()->SetSegment(b, a);
  SetFileDialogHook([this](const FileDialogRequest&) {
    return QString::fromStdString(media_.File("piece.wav"));
  });
  QString offered;
  QTimer::singleShot(0, [&offered] {
    auto* dialog = qobject_cast<CExportNowDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    offered = dialog->findChild<QComboBox*>("1016")->currentText();
    dialog->findChild<QPushButton*>("1")->click();
  });
  frame_->OnCommand(cmd::kSplit);
  EXPECT_EQ(offered, "wav");
  const std::vector<std::int16_t> track = ImageSamples(0, 300);
  EXPECT_EQ(oracle::Samples16(media_.File("piece.wav")),
            std::vector<std::int16_t>(track.begin() + 2 * a, track.begin() + 2 * b));
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(CdTrackWindowTest, CancelMidReadLeavesAValidShorterCache) {
  // A thirty-minute track of silence that costs no disk: a read that ignored the cancel would
  // take visibly long.
  const std::uint32_t sectors = 30 * 60 * 75;
  const std::string disc = WriteDiscImage(media_, "long", {{true, sectors}}, true);
  ServeDisc(disc);
  LoadDialogSpy spy;
  spy.cancelOnFirstProgress = true;
  boxes_.AnswerNext(platform::BoxAnswer::kYes);
  Open(TrackPath(disc, 1));

  EXPECT_TRUE(spy.cancelPressed);
  EXPECT_EQ(spy.done, 1);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"取消载入吗？"});
  EXPECT_EQ(frame_->windowTitle().toStdString(), "Wavelathe");
  EXPECT_EQ(frame_->view()->totalFrames, 0);
  const std::int64_t written = oracle::Frames(frame_->tempFileName());
  EXPECT_GT(written, 0);
  EXPECT_LT(written, sectors * kFramesPerSector / 4);
  EXPECT_EQ(written % kFramesPerSector, 0) << "whole sectors";
  EXPECT_EQ(oracle::Samples16(frame_->tempFileName()),
            std::vector<std::int16_t>(static_cast<std::size_t>(written) * 2, 0));
}
