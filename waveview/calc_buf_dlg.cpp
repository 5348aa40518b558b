#include "waveview/calc_buf_dlg.h"

#include <QCloseEvent>
#include <QProgressBar>

#include "platform/qt/dialog_layout.h"
#include "res/view_texts.h"
#include "waveview/wav_view.h"

CCalcBufDlg::CCalcBufDlg(CWavView* view, QWidget* parent) : QDialog(parent), view_(view) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint);
  setModal(true);
  const DialogLayout layout(this, 332, 47);
  progress_ = new QProgressBar(this);
  layout.Place(progress_, 17, 16, 300, 13);
  progress_->setTextVisible(false);
  progress_->setRange(1, 100);
  progress_->setValue(1);
  platform::PostMessage(&window_, WM_CALC_START);
  setWindowTitle(QString::fromUtf8(texts::kCalcBufCaption));
}

CCalcBufDlg::~CCalcBufDlg() {
  if (worker_.joinable()) platform::ServeEventsUntil([this] { return finished_; });
}

bool CCalcBufDlg::event(QEvent* event) {
  if (event->type() == platform::MessageEvent::Type()) {
    const auto* message = static_cast<platform::MessageEvent*>(event);
    OnMessage(message->msg, message->w);
    return true;
  }
  return QDialog::event(event);
}

void CCalcBufDlg::OnMessage(std::uint32_t msg, platform::WParam w) {
  switch (msg) {
    case WM_CALC_START: StartWorker(); break;
    case WM_CALC_PROGRESS:
      progress_->setValue(static_cast<int>(std::min<platform::WParam>(w, 100)));
      break;
    case WM_CALC_DONE:
      JoinWorker();
      finished_ = true;
      done(0);
      break;
    default: break;
  }
}

void CCalcBufDlg::StartWorker() {
  if (worker_.joinable() || finished_) return;
  worker_ = std::thread([this] {
    view_->ComputePeaks(&window_);
    platform::PostMessage(&window_, WM_CALC_DONE);
  });
}

void CCalcBufDlg::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void CCalcBufDlg::reject() {
  if (finished_) QDialog::reject();
}

void CCalcBufDlg::closeEvent(QCloseEvent* event) {
  if (finished_) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}
