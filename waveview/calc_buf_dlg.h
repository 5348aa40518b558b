// The modal progress dialog of the peak computation.
//
// Runs the view's ComputePeaks on a worker thread it owns and ends itself when the worker has
// posted WM_CALC_DONE; close requests and Escape are ignored until then, so the view never
// draws while the worker still writes its table. The worker is joined before the dialog ends;
// a dialog destroyed earlier serves the UI until the worker's completion has arrived.
#pragma once

#include <QDialog>
#include <cstdint>
#include <thread>

#include "platform/message.h"
#include "platform/qt/qt_message_target.h"

class CWavView;
class QProgressBar;

constexpr std::uint32_t WM_CALC_PROGRESS = platform::kWmUser + 100;  // 0x464, wParam 1..100
constexpr std::uint32_t WM_CALC_START = platform::kWmUser + 200;     // 0x4C8
constexpr std::uint32_t WM_CALC_DONE = platform::kWmUser + 201;      // 0x4C9

class CCalcBufDlg : public QDialog {
  Q_OBJECT

 public:
  // `view` must outlive the dialog.
  CCalcBufDlg(CWavView* view, QWidget* parent = nullptr);
  ~CCalcBufDlg() override;

  QProgressBar* progressBar() const { return progress_; }
  bool finished() const { return finished_; }

  void reject() override;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnMessage(std::uint32_t msg, platform::WParam w);
  void StartWorker();
  void JoinWorker();

  CWavView* view_;
  QProgressBar* progress_ = nullptr;
  platform::QtMessageTarget window_{this};
  std::thread worker_;
  bool finished_ = false;
};
