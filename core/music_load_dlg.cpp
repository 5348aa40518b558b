#include "core/music_load_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <limits>

#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "platform/message_box.h"
#include "platform/qt/dialog_layout.h"
#include "res/core_texts.h"

namespace {

constexpr std::uint32_t WM_LOAD_START = platform::kWmUser + 100;  // 0x464, posted to itself

// Milliseconds of a monotonic clock, wrapping at 32 bits like a tick count.
std::uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QString LoadPercentText(std::int64_t permille) {
  const std::int64_t p =
      std::clamp<std::int64_t>(permille, 0, std::numeric_limits<std::int32_t>::max());
  return QString::asprintf(texts::kPercentFormat, static_cast<int>(p / 10),
                           static_cast<int>(p % 10));
}

QString LoadStatusText(std::int64_t permille, std::uint32_t elapsedSeconds) {
  const std::int64_t e = elapsedSeconds;
  // No progress yet gives no estimate rather than a division by zero.
  const std::int64_t r =
      permille > 0 ? (1000 - std::min<std::int64_t>(permille, 1000)) * e / permille : 0;
  return QString::asprintf(texts::kTimeFormat, static_cast<int>(e / 3600),
                           static_cast<int>(e % 3600 / 60), static_cast<int>(e % 60),
                           static_cast<int>(r / 3600), static_cast<int>(r % 3600 / 60),
                           static_cast<int>(r % 60));
}

CMusicLoadDlg::CMusicLoadDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setWindowTitle(Text(texts::kLoadCaption));
  const DialogLayout layout(this, 370, 65);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("1000"));
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  layout.Place(progressBar_, 31, 17, 289, 13);

  cancelButton_ = new QPushButton(Text(texts::kLoadCancelButton), this);
  cancelButton_->setObjectName(QStringLiteral("1001"));
  cancelButton_->setAutoDefault(false);
  layout.Place(cancelButton_, 272, 37, 50, 14);
  connect(cancelButton_, &QPushButton::clicked, this, &CMusicLoadDlg::AskCancel);

  statusLabel_ = new QLabel(this);
  statusLabel_->setObjectName(QStringLiteral("1002"));
  layout.Place(statusLabel_, 32, 36, 184, 8);

  percentLabel_ = new QLabel(this);
  percentLabel_->setObjectName(QStringLiteral("1003"));
  layout.Place(percentLabel_, 325, 19, 29, 8);
}

CMusicLoadDlg::~CMusicLoadDlg() {
  // Only reached with a running worker when the owner tears the dialog down early: stop it and
  // serve the UI until its completion arrives, as the worker may be waiting in a message box.
  if (running_) {
    cancelled_ = true;
    source_->CancelConvert();
    platform::ServeEventsUntil([this] { return !running_; });
  }
  ReleaseMusic();
}

void CMusicLoadDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (started_) return;
  started_ = true;
  if (splitMode) setWindowTitle(Text(texts::kSplitCaption));
  platform::PostMessage(&window_, WM_LOAD_START);
}

bool CMusicLoadDlg::event(QEvent* e) {
  if (e->type() != platform::MessageEvent::Type()) return QDialog::event(e);
  const auto* message = static_cast<platform::MessageEvent*>(e);
  switch (message->msg) {
    case WM_LOAD_START: OnLoadStart(); break;
    case WM_MUSIC_PROGRESS: OnProgress(static_cast<std::int64_t>(message->w)); break;
    case WM_MUSIC_DONE: OnDone(); break;
    default: break;
  }
  return true;
}

void CMusicLoadDlg::OnLoadStart() {
  if (cancelled_) {  // cancelled before anything was started
    End();
    return;
  }
  source_ = CreateMusic(sourceInfo.type, sourceInfo.fileName);
  if (!source_) {
    End();
    return;
  }
  source_->info = sourceInfo;
  if (!CreateTarget() || !target_->InitWriter()) {
    ReleaseMusic();
    End();
    return;
  }
  target_->finalizeOnClose = true;
  const bool started = splitMode ? StartExport() : source_->StartConvert(target_.get());
  if (!started) {
    ReleaseMusic();
    End();
    return;
  }
  running_ = true;
  RestartClock();
}

bool CMusicLoadDlg::CreateTarget() {
  if (targetInfo.type == kMusicCda) {
    platform::ShowMessage(texts::kCannotWriteCda);
    return false;
  }
  if (targetInfo.type < 0 || targetInfo.type >= kMusicTypeCount) return false;
  target_ = CreateMusic(targetInfo.type, targetInfo.fileName);
  if (!target_) return false;
  target_->info = targetInfo;
  target_->progressWindow = &window_;
  return true;
}

// One span, or the first of the two spans around the segment; the second starts when the
// writer reports the first one done.
bool CMusicLoadDlg::StartExport() {
  auto* reader = dynamic_cast<WavMusic*>(source_.get());
  if (reader == nullptr) return false;
  if (!exportUnselected)
    return reader->ConvertRange(target_.get(), startFrame, frameCount, fadeInSeconds,
                                fadeOutSeconds);
  secondSpanPending_ = true;
  target_->finalizeOnClose = false;
  SetTargetSpan(startFrame);
  return reader->ConvertRange(target_.get(), 0, startFrame, fadeInSeconds, -1);
}

bool CMusicLoadDlg::StartSecondSpan() {
  auto* reader = dynamic_cast<WavMusic*>(source_.get());
  if (reader == nullptr) return false;
  const std::int64_t first = startFrame + frameCount;
  const std::int64_t rest = totalFrames - first;
  SetTargetSpan(rest);
  target_->finalizeOnClose = true;
  progressBar_->setValue(0);
  return reader->ConvertRange(target_.get(), first, rest, -1, fadeOutSeconds);
}

// The writer's progress runs from 0 to 1000 per mille over `frames`.
void CMusicLoadDlg::SetTargetSpan(std::int64_t frames) {
  const std::int32_t rate = target_->info.sampleRate;
  target_->info.durationMs = rate > 0 ? frames * 1000 / rate : 0;
  target_->ResetProgress();
}

void CMusicLoadDlg::OnProgress(std::int64_t permille) {
  progressBar_->setValue(static_cast<int>(std::min<std::int64_t>(permille / 10, 100)));
  percentText_ = LoadPercentText(permille);
  const std::uint32_t elapsed = (TickCount() - startTick_) / 1000;
  statusText_ = LoadStatusText(permille, elapsed);
  percentLabel_->setText(percentText_);
  statusLabel_->setText(statusText_);
}

void CMusicLoadDlg::OnDone() {
  if (!running_) return;
  // A writer that could not write or finish its file leaves a shortened output: not a success.
  const bool writeFailed = target_ && target_->writeFailed;
  if (splitMode && exportUnselected && secondSpanPending_ && !cancelled_ && !writeFailed) {
    secondSpanPending_ = false;
    if (StartSecondSpan()) {
      RestartClock();
      return;
    }
    running_ = false;
    ReleaseMusic();
    End();
    return;
  }
  running_ = false;
  FinishTarget();
  targetValid = !target_->writeFailed;
  ReleaseMusic();
  succeeded = !cancelled_ && !writeFailed;
  End();
}

// A cancel during the first of two spans leaves the target open: it is finished here, where a
// failure to finish it is still seen, rather than by its destructor.
void CMusicLoadDlg::FinishTarget() {
  source_.reset();  // joins the worker
  if (target_->finalizeOnClose) return;
  target_->progressWindow = nullptr;
  target_->finalizeOnClose = true;
  target_->CloseWriter();
}

void CMusicLoadDlg::AskCancel() {
  if (cancelled_ || ended_) return;
  const char* question = splitMode ? texts::kCancelSplitQuestion : texts::kCancelLoadQuestion;
  if (platform::ShowBox(platform::BoxKind::kQuestion, question) != platform::BoxAnswer::kYes)
    return;
  if (ended_) return;  // the work completed while the question was open
  cancelled_ = true;
  if (running_) source_->CancelConvert();
}

void CMusicLoadDlg::reject() { AskCancel(); }

void CMusicLoadDlg::closeEvent(QCloseEvent* e) {
  e->ignore();
  AskCancel();
}

void CMusicLoadDlg::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

// The source goes first: destroying it joins its worker, which may still be returning from
// the target's CloseWriter.
void CMusicLoadDlg::ReleaseMusic() {
  source_.reset();
  target_.reset();
}

void CMusicLoadDlg::End() {
  ended_ = true;
  done(0);
}

void CMusicLoadDlg::RestartClock() { startTick_ = TickCount(); }
