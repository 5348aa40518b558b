// The waveform view: the editing state of the program (length, zoom, visible range, cursor,
// segment) and its display. All positions are frames of the PCM cache (64-bit signed).
//
// Runs on the UI thread only, except ComputePeaks, which the peak dialog's worker runs while
// hasMusic is false. The segment pair is not ordered; consumers order it.
//
// The whole view is drawn into a back buffer; cursor line and selection highlight are
// exclusive-or'ed into it, so drawing either twice at the same place restores the pixels.
// While the peak worker runs, the view only shows its last drawing and reads no state.
// A paint never opens a message box: a cache that cannot be mapped there is reported once per
// loaded file, after the paint.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "codecs/music.h"
#include "codecs/wav/wav_music.h"
#include "platform/file_map.h"
#include "platform/message.h"
#include "waveview/peak_table.h"
#include "waveview/wave_raster.h"

class CBrowseBar;
class QMenu;
class QPainter;
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
  static constexpr double kMaxZoom = 1e12;
  void SetZoom(double z);  // kept within 1..kMaxZoom
  void SetViewStart(std::int64_t p);
  void MoveCursor(std::int64_t p);
  void SetSegment(std::int64_t a, std::int64_t b);
  void ShowCursorTime();
  void ShowLengthTime();

  // Fills the peak table; posts WM_CALC_PROGRESS to progressWindow when not null.
  void ComputePeaks(platform::WindowHandle progressWindow);

  // The peak table of the loaded cache.
  const PeakTable& peaks() const { return peakTable; }
  // True while SetMusic's peak computation runs; the view reads none of its state then.
  bool PeaksRunning() const { return peaksRunning; }
  // Hit rectangles of the two segment labels (empty while totalFrames is 0).
  QRect StartLabelRect() const;
  QRect EndLabelRect() const;
  // Fills `menu` with the items of the view's context menu; each action's data is its id.
  static void BuildContextMenu(QMenu& menu);
  // Marks the whole drawing stale and schedules a repaint, which redraws the back buffer from
  // the current state: for changes made from outside (lengths reset, drawing resumed).
  void Invalidate();
  // Redraws the whole back buffer now (what a paint does after an invalidation).
  void RenderAll();
  const QImage& BackBuffer() const { return backBuffer; }
  CBrowseBar* browseBar() const { return browseBar_; }

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
  enum class DragMode { kNone, kSelect, kStartLabel, kEndLabel };

  // Model helpers.
  std::int64_t ClampPos(std::int64_t p) const;
  void ShowMouseTime(int x);
  void PlaceCursorAt(int x);
  void DragTo(int x);
  void ShowContextMenu();
  bool ReadPeaks(platform::WindowHandle progressWindow);
  SampleSource MappedSamples() const;
  void ReportMapFailure(const std::string& text);

  // Drawing (wav_view_paint.cpp). `area` is the waveform area x 0..W, y 30..Hc−50.
  QRect WaveArea() const;
  bool BufferCurrent() const;
  void DrawCursorLine(QImage& image, const QRect& area, std::int64_t p) const;
  void DrawSelection(QImage& image, const QRect& area, std::int64_t a, std::int64_t b) const;
  void DrawMarkerBar(QPainter& painter) const;
  void DrawRuler(QPainter& painter) const;
  void DrawLevelPanel(QPainter& painter) const;
  void DrawGrid(QPainter& painter) const;
  void DrawWaveform(QImage& image);
  void DrawText(QPainter& painter, int x, int y, const QString& text) const;
  // Partial updates of the back buffer; each repaints only what it touched.
  void ToggleCursor(std::int64_t p);
  void ToggleSelection(std::int64_t a, std::int64_t b);
  void RedrawMarkerBar();

  ViewFrame* frame_ = nullptr;
  CBrowseBar* browseBar_ = nullptr;
  PeakTable peakTable;
  platform::FileMap fileMap;  // opened around one computation or one drawing
  bool peaksReady = false;    // the last computation found the samples (dataOffset valid)
  bool peaksRunning = false;
  bool mapFailureReported = false;  // since the last SetMusic
  std::int64_t dragAnchor = 0;
  DragMode dragMode = DragMode::kNone;
  QImage backBuffer;
  bool bufferStale = true;
  WaveRaster waveRaster;  // coverage of the waveform lines, reused between drawings
};
