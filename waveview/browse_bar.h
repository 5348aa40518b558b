// The scroll bar at the bottom of the waveform view: two 20-pixel arrow buttons and a thumb
// whose width is the visible fraction of the file and whose place is the view start.
//
// Reads totalFrames, zoom and viewStart from the view and changes only viewStart (through
// SetViewStart). The thumb is recomputed from the view when the bar is invalidated (zoom,
// size, a new file); scrolling by the bar itself keeps its own pixel offset, so repeated
// one-pixel steps never round back.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>

class CWavView;

class CBrowseBar : public QWidget {
  Q_OBJECT

 public:
  // `view` must outlive the bar (it is the bar's parent in the program).
  CBrowseBar(CWavView* view, QWidget* parent);

  // Recomputes the thumb from the view and repaints (after zoom, size or file changes).
  void Invalidate();
  // viewStart = totalFrames × off × ((zoom − 1) ÷ zoom) ÷ (trackWidth − thumbWidth), or 0
  // when the thumb fills the track; then the view's SetViewStart.
  void ApplyThumbOffset(int off);
  // Draws the bar now with the thumb at `off` and the current thumb width; stores off.
  void RedrawBar(int off);
  // One tick of the arrow auto-repeat timer (100 ms); the first five only count.
  void TimerTick();

  int trackWidth() const { return trackWidth_; }
  int thumbWidth() const { return thumbWidth_; }
  int thumbOffset() const { return thumbOffset_; }
  bool repeating() const { return repeating_; }
  bool dragging() const { return dragging_; }
  static constexpr int kArrowWidth = 20;
  static constexpr int kMinThumb = 40;
  static constexpr int kRepeatMs = 100;
  static constexpr int kSilentTicks = 5;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void ComputeThumb();
  void Render();
  void StartRepeat(bool right);
  void StepArrow();
  void ApplyAndRedraw();

  CWavView* view_;
  QImage buffer_;
  bool stale_ = true;
  int trackWidth_ = 0;
  int thumbWidth_ = kMinThumb;
  int thumbOffset_ = 0;
  bool dragging_ = false;
  int dragStartX_ = 0;
  int dragStartOffset_ = 0;
  bool repeating_ = false;
  bool repeatRight_ = false;
  int repeatCount_ = 0;
  QTimer timer_;
};
