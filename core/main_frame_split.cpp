// The split-now command: the export dialog, the output file and the export under the progress
// dialog.
#include <algorithm>
#include <filesystem>

#include "codecs/music_registry.h"
#include "core/export_now_dlg.h"
#include "core/file_dialogs.h"
#include "core/main_frame.h"
#include "core/music_load_dlg.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/staged_file.h"
#include "playback/wave_player.h"
#include "res/core_texts.h"
#include "waveview/wav_view.h"

namespace {

struct FrameRange {
  std::int64_t start = 0;
  std::int64_t count = 0;
};

// The marked segment in order, or the whole file when nothing is marked. Positions are kept
// inside the file so that the spans around the segment never get a negative length.
FrameRange MarkedRange(const CWavView& view) {
  const std::int64_t total = view.totalFrames;
  const std::int64_t a = std::clamp<std::int64_t>(std::min(view.segStart, view.segEnd), 0, total);
  const std::int64_t b = std::clamp<std::int64_t>(std::max(view.segStart, view.segEnd), 0, total);
  if (a == b) return {0, total};
  return {a, b - a};
}

// Export-unselected with one of the two outer spans empty becomes a single span.
bool ReduceUnselected(FrameRange& range, std::int64_t total) {
  if (range.start != 0 && range.start + range.count >= total) {
    range = {0, range.start};
    return false;
  }
  if (range.start == 0) {
    range = {range.count, total - range.count};
    return false;
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (platform::CanonicalPath(a) == platform::CanonicalPath(b)) return true;
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

void CMainFrame::SplitCommand() {
  if (view_->totalFrames <= 0) return;
  CExportNowDlg dialog(
      sourceInfo_,
      [this](const ExportParams& p) {
        SplitNow(p.type, p.bitrate, p.fadeInSeconds, p.fadeOutSeconds, p.exportUnselected);
      },
      this);
  dialog.exec();
}

void CMainFrame::SplitNow(int type, int bitrate, int fadeInSeconds, int fadeOutSeconds,
                          bool exportUnselected) {
  const MusicFormat* writable = FindMusicFormat(type);
  if (writable == nullptr || !writable->canWrite) return;
  if (!MusicTypeAvailable(type)) {
    platform::ShowMessage(
        QString::asprintf(texts::kCannotWriteFormat, writable->extension).toStdString());
    return;
  }
  player_->Stop();
  view_->drawingSuspended = true;
  FrameRange range = MarkedRange(*view_);
  const std::int64_t total = view_->totalFrames;

  CMusicLoadDlg dialog(this);
  dialog.sourceInfo = cacheInfo_;
  dialog.targetInfo = cacheInfo_;
  dialog.targetInfo.type = type;
  dialog.targetInfo.bitrate = bitrate;
  dialog.splitMode = true;

  const char* format = writable->extension;
  const QString path =
      ChooseSaveFile(this, QString::asprintf(texts::kSaveFilterFormat, format, format),
                     QString::fromLatin1(format));
  const std::string output = path.toStdString();
  // The export reads the cache while it writes; writing over it would destroy the source.
  const bool edited =
      SameFile(output, cacheInfo_.fileName) || SameFile(output, sourceInfo_.fileName);
  if (path.isEmpty() || edited) {
    if (edited) platform::ShowMessage(texts::kCannotOverwriteOpened);
    ResumeDrawing();
    return;
  }

  // Written beside the destination and moved over it only when complete, so a failed export
  // leaves the destination as it was. Without a place for that, the destination is written.
  platform::StagedFile staged;
  const bool stagedOk = staged.Begin(output);
  dialog.targetInfo.fileName = stagedOk ? staged.path() : output;
  dialog.fadeInSeconds = fadeInSeconds;
  dialog.fadeOutSeconds = fadeOutSeconds;
  dialog.totalFrames = total;
  dialog.exportUnselected = exportUnselected && ReduceUnselected(range, total);
  dialog.startFrame = range.start;
  dialog.frameCount = range.count;
  const std::int32_t rate = cacheInfo_.sampleRate;
  dialog.targetInfo.durationMs = rate > 0 ? range.count * 1000 / rate : 0;
  dialog.exec();
  if (stagedOk && dialog.targetValid) staged.Commit();
  ResumeDrawing();
}

// A paint while the drawing was suspended left a picture without the waveform in the view's
// back buffer: the whole picture is drawn again.
void CMainFrame::ResumeDrawing() {
  view_->drawingSuspended = false;
  view_->Invalidate();
  update();
}
