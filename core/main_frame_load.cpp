// Opening a file: probe, the PCM cache (the WAV file itself or a decoded temporary file) and
// handing it to the view.
#include <QByteArray>
#include <QFileInfo>
#include <QTimer>

#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "core/main_frame.h"
#include "core/music_load_dlg.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "playback/wave_player.h"
#include "res/core_texts.h"
#include "res/frame_texts.h"
#include "waveview/wav_view.h"

namespace {

// After a cancelled or failed load the cache holds fewer frames than any earlier length, so
// the view forgets its lengths and positions: play and split then do nothing until the next
// file loads.
void ForgetLength(CWavView& view) {
  view.hasMusic = false;
  view.totalFrames = 0;
  view.viewStart = 0;
  view.cursorPos = 0;
  view.segStart = 0;
  view.segEnd = 0;
  view.ShowLengthTime();
  view.ShowCursorTime();
  view.Invalidate();
}

// The first argument after the program's name that is not an option, as an absolute path; a
// file URL gives its local path. Empty when there is none.
QString FileFromArguments(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument.isEmpty() || argument.startsWith(QLatin1Char('-'))) continue;
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    return QFileInfo(path).absoluteFilePath();
  }
  return {};
}

// A decoder's header can promise more or less audio than the decode delivered (an ASF
// header's duration counts the codec's padding; a truncated file ends early). The view, the
// player and the export address frames of the cache, so its length is the one the cache holds.
void MatchCachedLength(MusicInfo& cache) {
  WavMusic reader(cache.fileName);
  if (reader.GetMusicInfo()) cache.durationMs = reader.info.durationMs;
}

}  // namespace

void CMainFrame::OpenFromCommandLine(const QStringList& arguments) {
  const QString path = FileFromArguments(arguments);
  if (path.isEmpty()) return;
  QTimer::singleShot(0, this, [this, path] { OpenMusic(path); });
}

void CMainFrame::OpenMusic(const QString& path) {
  player_->Stop();
  const QByteArray utf8 = path.toUtf8();
  const std::string fileName = utf8.toStdString();
  const std::int32_t type = MusicTypeFromFileName(fileName);
  // A type this build has no codec for is as unknown to it as a foreign extension.
  if (type < 0 || type >= kMusicTypeCount || !MusicTypeAvailable(type)) {
    platform::ShowMessage(
        QString::asprintf(texts::kUnknownFileType, utf8.constData()).toStdString());
    return;
  }
  MusicInfo probed;
  probed.fileName = fileName;
  probed.type = type;
  if (!ProbeMusicFile(probed)) return;

  view_->ClearMusic();
  setWindowTitle(QString::fromUtf8(texts::kAppTitle));
  DeleteTempFile();
  sourceInfo_ = probed;
  cacheInfo_ = probed;
  if (type != kMusicWav) {
    cacheInfo_.type = kMusicWav;
    bool loaded = MakeCacheFileName(cacheInfo_);
    if (loaded) {
      CMusicLoadDlg dialog(this);
      dialog.sourceInfo = probed;
      dialog.targetInfo = cacheInfo_;
      dialog.exec();
      loaded = dialog.succeeded;
    }
    if (!loaded) {
      ForgetLength(*view_);
      return;
    }
    MatchCachedLength(cacheInfo_);
  }
  view_->SetZoom(1.0);
  SetFormatText(cacheInfo_);
  view_->SetMusic(cacheInfo_);
  setWindowTitle(
      QString::asprintf(texts::kTitleWithPath, texts::kAppTitle, sourceInfo_.fileName.c_str()));
}

bool CMainFrame::MakeCacheFileName(MusicInfo& cache) {
  // Never leave the opened file's path here: the cache writer would overwrite it.
  cache.fileName.clear();
  const std::string appDir = platform::ApplicationDir();
  const std::string dir = appDir.empty() ? std::string() : appDir + "/tmp";
  const std::string name = dir.empty() ? std::string() : platform::CreateTempFileName(dir);
  if (name.empty()) {
    platform::ShowMessage(QString::asprintf(texts::kCannotCreateCache, dir.c_str()).toStdString());
    return false;
  }
  cache.fileName = name;
  tempFileName_ = name;
  return true;
}

// The name is forgotten only once the file is gone, so a file that could not be deleted now
// is tried again at the next open or at exit.
void CMainFrame::DeleteTempFile() {
  if (!tempFileName_.empty() && platform::DeleteFile(tempFileName_)) tempFileName_.clear();
}
