// The modal progress dialog of every decode (load mode) and export (split mode).
//
// The caller fills the two records (and, for an export, the split-mode fields), runs exec(),
// then reads `succeeded` (the modal result is always 0). Controls carry their template ids as
// object names: "1000" progress bar, "1001" cancel, "1002" status text, "1003" percent text.
// The dialog creates and destroys the source and target Music itself and never ends before the
// target's WM_MUSIC_DONE, so no worker outlives them.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "codecs/music.h"
#include "platform/qt/qt_message_target.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CMusicLoadDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CMusicLoadDlg(QWidget* parent = nullptr);
  ~CMusicLoadDlg() override;

  MusicInfo sourceInfo;
  MusicInfo targetInfo;
  bool succeeded = false;
  // After exec: the target file was finished as a valid file (complete, or shorter after a
  // cancel) and every write to it succeeded. False when it was never started or failed.
  bool targetValid = false;

  // Split mode.
  bool splitMode = false;
  std::int64_t startFrame = 0;
  std::int64_t frameCount = 0;
  std::int32_t fadeInSeconds = -1;
  std::int32_t fadeOutSeconds = -1;
  bool exportUnselected = false;
  std::int64_t totalFrames = 0;

  // Escape, the cancel button and closing the window ask before cancelling; the dialog still
  // ends only when the writer reports completion.
  void reject() override;

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void OnLoadStart();
  bool CreateTarget();
  bool StartExport();
  bool StartSecondSpan();
  void SetTargetSpan(std::int64_t frames);
  void OnProgress(std::int64_t permille);
  void OnDone();
  void FinishTarget();
  void AskCancel();
  void ReleaseMusic();
  void End();
  void RestartClock();

  std::uint32_t startTick_ = 0;
  QProgressBar* progressBar_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QLabel* percentLabel_ = nullptr;
  std::unique_ptr<Music> source_;
  std::unique_ptr<Music> target_;
  bool cancelled_ = false;
  bool started_ = false;  // WM_LOAD_START posted
  bool running_ = false;  // a worker feeds the target; WM_MUSIC_DONE still to come
  bool ended_ = false;
  bool secondSpanPending_ = false;
  QString statusText_;
  QString percentText_;
  platform::QtMessageTarget window_{this};
};

// "%d.%d%%" for per mille p.
QString LoadPercentText(std::int64_t permille);
// "用时 hh:mm:ss, 估计时间 hh:mm:ss" for p per mille after `elapsedSeconds`.
QString LoadStatusText(std::int64_t permille, std::uint32_t elapsedSeconds);
