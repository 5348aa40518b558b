// The waveform view: the editing state of the program (length, zoom, visible range, cursor,
// segment) and its display. All positions are frames of the PCM cache (64-bit signed).
//
// Runs on the UI thread only, except ComputePeaks, which the peak dialog's worker runs while
// hasMusic is false. The segment pair is not ordered; consumers order it.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "codecs/music.h"
#include "codecs/wav_music.h"
#include "platform/file_map.h"
#include "platform/message.h"

class CBrowseBar;
class ViewFrame;

class CWavView : public QWidget {
  Q_OBJECT

 public:
  explicit CWavView(QWidget* parent = nullptr);
  ~CWavView() override;

  void SetFrame(ViewFrame* frame) { frame_ = frame; }

  // Mapping and text.
  std::int64_t PixelToPos(int x) const;
  int PosToPixel(std::int64_t p, bool hideBefore) const;
  QString FormatTime(std::int64_t p) const;
  int WaveWidth() const;  // W = client width − 40

  // Operations.
  void ClearMusic();
  void SetMusic(const MusicInfo& info);  // runs the peak dialog modally, then draws
  void SetZoom(double z);
  void SetViewStart(std::int64_t p);
  void MoveCursor(std::int64_t p);
  void SetSegment(std::int64_t a, std::int64_t b);
  void ShowCursorTime();
  void ShowLengthTime();

  // Fills the peak table; posts WM_CALC_PROGRESS to progressWindow when not null.
  void ComputePeaks(platform::WindowHandle progressWindow);

  // Editing state (read by the frame, the player and the export).
  std::int64_t totalFrames = 0;
  double zoom = 1.0;
  std::int64_t viewStart = 0;
  std::int64_t cursorPos = 0;
  std::int64_t segStart = 0;
  std::int64_t segEnd = 0;
  bool hasMusic = false;
  bool drawingSuspended = false;  // set by the export while it runs
  std::int64_t dataOffset = 0;
  MusicInfo waveInfo;  // copy of the frame's cache record

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  ViewFrame* frame_ = nullptr;
  CBrowseBar* browseBar_ = nullptr;
  // The peak table, the mapping, drag state and the back buffer are added by the view's
  // implementation.
};
