#include "waveview/wav_view.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/qt/fonts.h"
#include "res/view_texts.h"
#include "waveview/browse_bar.h"
#include "waveview/calc_buf_dlg.h"
#include "waveview/peak_pass.h"
#include "waveview/view_frame.h"

namespace {

constexpr int kPanelWidth = 40;
constexpr int kBarHeight = 20;
constexpr int kLabelOffset = 15;
constexpr int kLabelWidth = 50;
constexpr int kLabelHeight = 8;

std::int64_t Trunc(double v) { return static_cast<std::int64_t>(v); }

// Label rectangle whose left edge lies 15 pixels before x, not before 0.
QRect LabelRect(int x, int top) {
  const int left = x - kLabelOffset > 0 ? x - kLabelOffset : 0;
  return QRect(left, top, kLabelWidth, kLabelHeight);
}

// rate × ms ÷ 1000 without overflowing; nonsense inputs give 0.
std::int64_t FramesOf(std::int32_t rate, std::int64_t durationMs) {
  if (rate <= 0 || durationMs <= 0) return 0;
  const __int128 frames = static_cast<__int128>(rate) * durationMs / 1000;
  return frames > INT64_MAX ? INT64_MAX : static_cast<std::int64_t>(frames);
}

}  // namespace

CWavView::CWavView(QWidget* parent) : QWidget(parent) {
  platform::InstallFontSubstitutions();
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setGeometry(0, 0, 100, 100);
  browseBar_ = new CBrowseBar(this, this);
  browseBar_->setGeometry(0, 100 - kBarHeight, 100, kBarHeight);
  browseBar_->setCursor(Qt::ArrowCursor);
  browseBar_->show();
}

CWavView::~CWavView() = default;

// ---- Mapping and text ----

int CWavView::WaveWidth() const { return width() - kPanelWidth; }

std::int64_t CWavView::PixelToPos(int x) const {
  const int w = WaveWidth();
  if (w <= 0) return viewStart;
  return Trunc(static_cast<double>(totalFrames) / zoom * x / w + 0.5 + viewStart);
}

int CWavView::PosToPixel(std::int64_t p, bool hideBefore) const {
  if (p < viewStart) return hideBefore ? -1 : 0;
  if (totalFrames <= 0) return 0;
  const int w = WaveWidth();
  const double d = static_cast<double>(p - viewStart);
  if (d > static_cast<double>(totalFrames) / zoom) return w;
  return static_cast<int>(Trunc(w * zoom * d / static_cast<double>(totalFrames) + 0.5));
}

QString CWavView::FormatTime(std::int64_t p) const {
  if (p <= 0 || waveInfo.sampleRate <= 0) return QStringLiteral("0");
  const double s = static_cast<double>(p) / waveInfo.sampleRate;
  const std::int64_t whole = Trunc(s);
  const std::int64_t ms = Trunc(s * 1000 - static_cast<double>(whole) * 1000);
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                static_cast<long long>(whole / 3600), static_cast<long long>(whole % 3600 / 60),
                static_cast<long long>(whole % 60), static_cast<long long>(ms));
  const char* rest = text;
  while (*rest == '0' || *rest == ':') ++rest;
  if (rest != text && *rest != '\0') return QString::fromLatin1(rest);
  return QString::fromLatin1(text);
}

QRect CWavView::StartLabelRect() const {
  if (totalFrames == 0) return {};
  return LabelRect(PosToPixel(segStart, false), 14);
}

QRect CWavView::EndLabelRect() const {
  if (totalFrames == 0) return {};
  return LabelRect(PosToPixel(segEnd, false), 0);
}

// ---- Operations ----

void CWavView::ClearMusic() {
  hasMusic = false;
  Invalidate();
}

void CWavView::SetMusic(const MusicInfo& info) {
  hasMusic = false;
  waveInfo = info;
  mapFailureReported = false;
  peaksRunning = true;
  {
    CCalcBufDlg dialog(this, window());
    dialog.exec();
  }
  peaksRunning = false;
  hasMusic = true;
  Invalidate();
  browseBar_->Invalidate();
  ShowLengthTime();
  ShowCursorTime();
}

void CWavView::SetZoom(double z) {
  // Below 1 the visible span would pass the file's end and the mapping divides by it; past
  // kMaxZoom (far beyond one frame per pixel) the arithmetic would leave the finite range.
  zoom = std::clamp(std::isnan(z) ? 1.0 : z, 1.0, kMaxZoom);
  const std::int64_t maxStart = Trunc((zoom - 1) / zoom * static_cast<double>(totalFrames));
  if (viewStart > maxStart) viewStart = maxStart;
  Invalidate();
  browseBar_->Invalidate();
}

void CWavView::SetViewStart(std::int64_t p) {
  viewStart = p;
  Invalidate();
}

void CWavView::MoveCursor(std::int64_t p) {
  p = ClampPos(p);
  ToggleCursor(cursorPos);
  cursorPos = p;
  ToggleCursor(cursorPos);
  ShowCursorTime();
}

void CWavView::SetSegment(std::int64_t a, std::int64_t b) {
  a = ClampPos(a);
  b = ClampPos(b);
  ToggleSelection(segStart, segEnd);
  segStart = a;
  segEnd = b;
  ToggleSelection(segStart, segEnd);
  RedrawMarkerBar();
}

void CWavView::ShowCursorTime() {
  if (frame_)
    frame_->SetCursorPosText(QString::fromUtf8(texts::kCursorPosPrefix) + FormatTime(cursorPos));
}

void CWavView::ShowLengthTime() {
  if (frame_)
    frame_->SetLengthText(QString::fromUtf8(texts::kLengthPrefix) + FormatTime(totalFrames));
}

std::int64_t CWavView::ClampPos(std::int64_t p) const {
  return std::clamp<std::int64_t>(p, 0, std::max<std::int64_t>(0, totalFrames));
}

void CWavView::Invalidate() {
  bufferStale = true;
  update();
}

// ---- Peak computation (worker thread while SetMusic's dialog runs) ----

void CWavView::ComputePeaks(platform::WindowHandle progressWindow) {
  peakTable.Clear();
  peaksReady = false;
  totalFrames = FramesOf(waveInfo.sampleRate, waveInfo.durationMs);
  peakTable.Reset(totalFrames);
  viewStart = segEnd = segStart = cursorPos = 0;
  dataOffset = 0;
  WavMusic reader(waveInfo.fileName);
  const std::int64_t offset = reader.OpenAtData() ? reader.Seek(0) : -1;
  reader.Close();
  if (offset < 0) {
    // Without its sample data the cache has no frame to draw, play or export.
    totalFrames = 0;
    peakTable.Reset(0);
    return;
  }
  dataOffset = offset;
  if (!fileMap.Open(waveInfo.fileName)) return;
  peaksReady = ReadPeaks(progressWindow);
  fileMap.Close();
}

SampleSource CWavView::MappedSamples() const {
  SampleSource src;
  src.channels = waveInfo.channels;
  src.bitsPerSample = waveInfo.bitsPerSample;
  if (!src.Drawable() || !fileMap.IsOpen()) return src;
  src.frames = platform::FramesInMap(fileMap, dataOffset, src.BlockAlign());
  if (src.frames > 0) src.data = fileMap.Base + dataOffset;
  return src;
}

// Fills every entry; layouts the envelopes do not understand keep the neutral zeros.
bool CWavView::ReadPeaks(platform::WindowHandle progressWindow) {
  const SampleSource src = MappedSamples();
  if (!src.Drawable()) return false;
  PeakPass::Run(fileMap, dataOffset, src, peakTable, [progressWindow](int percent) {
    platform::PostMessage(progressWindow, WM_CALC_PROGRESS, static_cast<platform::WParam>(percent));
  });
  return true;
}

// ---- Mouse ----

void CWavView::ShowMouseTime(int x) {
  if (frame_)
    frame_->SetMousePosText(QString::fromUtf8(texts::kMousePosPrefix) + FormatTime(PixelToPos(x)));
}

void CWavView::PlaceCursorAt(int x) {
  ToggleCursor(cursorPos);
  cursorPos = PixelToPos(x);
  ToggleCursor(cursorPos);
  ShowCursorTime();
}

void CWavView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pt = event->position().toPoint();
  if (StartLabelRect().contains(pt)) {
    dragMode = DragMode::kStartLabel;
  } else if (EndLabelRect().contains(pt)) {
    dragMode = DragMode::kEndLabel;
  } else {
    PlaceCursorAt(pt.x());
    dragAnchor = cursorPos;
    dragMode = DragMode::kSelect;
  }
}

void CWavView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragMode = DragMode::kNone;
  } else if (event->button() == Qt::RightButton && totalFrames > 0) {
    PlaceCursorAt(event->position().toPoint().x());
    ShowContextMenu();
  }
}

void CWavView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pt = event->position().toPoint();
  ShowMouseTime(pt.x());
  if (dragMode != DragMode::kNone) {
    DragTo(pt.x());
    return;
  }
  const bool onLabel = StartLabelRect().contains(pt) || EndLabelRect().contains(pt);
  setCursor(onLabel ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

// The first movement after a click makes the click point the segment start; the segment end
// (or the dragged label) then follows the mouse on either side. No order is enforced.
void CWavView::DragTo(int x) {
  const std::int64_t p = PixelToPos(std::clamp(x, 0, std::max(0, WaveWidth())));
  switch (dragMode) {
    case DragMode::kSelect:
      if (dragAnchor != segStart) {
        ToggleSelection(segStart, segEnd);
        segStart = dragAnchor;
        ToggleSelection(segStart, segEnd);
      }
      ToggleSelection(segEnd, p);
      segEnd = p;
      break;
    case DragMode::kStartLabel:
      ToggleSelection(segStart, p);
      segStart = p;
      break;
    case DragMode::kEndLabel:
      ToggleSelection(segEnd, p);
      segEnd = p;
      break;
    case DragMode::kNone: return;
  }
  RedrawMarkerBar();
}

void CWavView::BuildContextMenu(QMenu& menu) {
  struct Item {
    const char* text;
    int id;
  };
  static constexpr Item kItems[] = {
      {texts::kCtxMenuMoveToStart, 32790},    {texts::kCtxMenuMoveToEnd, 32791},
      {texts::kCtxMenuPlay, 32792},           {texts::kCtxMenuPause, 32793},
      {texts::kCtxMenuStop, 32794},           {nullptr, 0},
      {texts::kCtxMenuMarkStart, 32795},      {texts::kCtxMenuMarkEnd, 32796},
      {texts::kCtxMenuMarkAll, 32797},        {nullptr, 0},
      {texts::kCtxMenuMoveToSegStart, 32798}, {texts::kCtxMenuMoveToSegEnd, 32799},
      {texts::kCtxMenuPlaySegment, 32800},    {nullptr, 0},
      {texts::kCtxMenuZoomIn, 32801},         {texts::kCtxMenuZoomOut, 32802},
      {texts::kCtxMenuBestFit, 32803},        {nullptr, 0},
      {texts::kCtxMenuSplitNow, 32804},
  };
  for (const Item& item : kItems) {
    if (item.text == nullptr) {
      menu.addSeparator();
    } else {
      menu.addAction(QString::fromUtf8(item.text))->setData(item.id);
    }
  }
}

void CWavView::ShowContextMenu() {
  QMenu menu(this);
  BuildContextMenu(menu);
  QPointer<CWavView> alive(this);
  QAction* chosen = menu.exec(QCursor::pos());
  if (alive && chosen != nullptr && frame_ != nullptr)
    frame_->OnViewCommand(chosen->data().toInt());
}

// ---- Size ----

void CWavView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  browseBar_->setGeometry(0, height() - kBarHeight, width(), kBarHeight);
  Invalidate();
}
