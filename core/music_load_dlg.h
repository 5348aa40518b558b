// The modal progress dialog of every decode (load mode) and export (split mode).
//
// The caller fills the two records (and, for an export, the split-mode fields), runs exec(),
// then reads `succeeded`. The dialog creates and destroys the source and target Music itself
// and never ends before the target's WM_MUSIC_DONE, so no worker outlives them.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "codecs/music.h"

class CMusicLoadDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CMusicLoadDlg(QWidget* parent = nullptr);
  ~CMusicLoadDlg() override;

  MusicInfo sourceInfo;
  MusicInfo targetInfo;
  bool succeeded = false;

  // Split mode.
  bool splitMode = false;
  std::int64_t startFrame = 0;
  std::int64_t frameCount = 0;
  std::int32_t fadeInSeconds = -1;
  std::int32_t fadeOutSeconds = -1;
  bool exportUnselected = false;
  std::int64_t totalFrames = 0;
};

// "%d.%d%%" for per mille p.
QString LoadPercentText(std::int64_t permille);
// "用时 hh:mm:ss, 估计时间 hh:mm:ss" for p per mille after `elapsedSeconds`.
QString LoadStatusText(std::int64_t permille, std::uint32_t elapsedSeconds);
