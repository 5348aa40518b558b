// Drawing of CWavView: the full repaint into the back buffer and the partial updates.
//
// Lines follow the classic raster rule: a line from A to B covers A but not B. Cursor line
// and selection are exclusive-or'ed.
#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "platform/message_box.h"
#include "res/view_texts.h"
#include "waveview/wav_view.h"

namespace {

constexpr int kMarkerHeight = 30;
constexpr int kPanelWidth = 40;
constexpr int kRulerHeight = 30;
constexpr int kBottomHeight = 50;  // ruler and browse bar
constexpr QRgb kGray = 0xFF404040;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGreen = 0xFF00C000;
constexpr QRgb kCursorRed = 0xFFFF0000;
constexpr QRgb kSelectionBlue = 0xFF0000C0;

// Horizontal and vertical lines without their end pixel.
void PaintHLine(QPainter& painter, int y, int x0, int x1, QRgb c) {
  if (x0 == x1) return;
  painter.setPen(QColor(c));
  painter.drawLine(x0, y, x1 > x0 ? x1 - 1 : x1 + 1, y);
}

void PaintVLine(QPainter& painter, int x, int y0, int y1, QRgb c) {
  if (y0 == y1) return;
  painter.setPen(QColor(c));
  painter.drawLine(x, y0, x, y1 > y0 ? y1 - 1 : y1 + 1);
}

QFont TextFont() {
  QFont font(QStringLiteral("Arial Narrow"));
  font.setPointSize(8);
  // Plain two-colour glyphs, as a classic bitmap text output draws them.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

}  // namespace

QRect CWavView::WaveArea() const {
  return QRect(QPoint(0, kMarkerHeight), QPoint(WaveWidth() - 1, height() - kBottomHeight - 1));
}

bool CWavView::BufferCurrent() const {
  return !bufferStale && !peaksRunning && backBuffer.size() == size();
}

void CWavView::paintEvent(QPaintEvent* event) {
  // While the peak worker writes the state, only the last drawing is shown.
  if (!peaksRunning && (bufferStale || backBuffer.size() != size())) RenderAll();
  QPainter painter(this);
  const QRect r = event->rect();
  if (backBuffer.size() != size()) painter.fillRect(r, Qt::black);
  painter.drawImage(r.topLeft(), backBuffer, r);
}

void CWavView::RenderAll() {
  if (backBuffer.size() != size()) backBuffer = QImage(size(), QImage::Format_RGB32);
  bufferStale = false;
  if (backBuffer.isNull()) return;
  backBuffer.fill(Qt::black);
  {
    QPainter painter(&backBuffer);
    painter.setFont(TextFont());
    DrawRuler(painter);
    DrawLevelPanel(painter);
    DrawMarkerBar(painter);
    DrawGrid(painter);
  }
  DrawWaveform(backBuffer);
  const QRect area = WaveArea();
  DrawCursorLine(backBuffer, area, cursorPos);
  DrawSelection(backBuffer, area, segStart, segEnd);
}

void CWavView::DrawText(QPainter& painter, int x, int y, const QString& text) const {
  const QFontMetrics metrics(painter.font());
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), QColor(kGray));
  painter.setPen(QColor(kWhite));
  painter.drawText(x, y + metrics.ascent(), text);
}

void CWavView::DrawRuler(QPainter& painter) const {
  const int wc = width();
  const int hc = height();
  const int w = WaveWidth();
  const int top = hc - kBottomHeight;
  painter.fillRect(QRect(0, top, wc, kRulerHeight), QColor(kGray));
  PaintHLine(painter, top, 0, wc, kWhite);
  if (totalFrames <= 0) return;
  const double span = static_cast<double>(totalFrames) / zoom;
  DrawText(painter, w - 15, hc - 43,
           FormatTime(static_cast<std::int64_t>(span + static_cast<double>(viewStart))));
  PaintVLine(painter, w, top, top + 5, kWhite);
  DrawText(painter, 0, hc - 43, FormatTime(viewStart));
  int n = 1;
  if (w > 75) {
    n = 2;
    while (w / n > 75) ++n;
  }
  const int b = n - 1;
  for (int c = 1; c < b; ++c) {
    const int x = w * c / b;
    PaintVLine(painter, x, top, top + 5, kWhite);
    const double t = static_cast<double>(totalFrames) * c / zoom / b + viewStart;
    DrawText(painter, x - 15, hc - 43, FormatTime(static_cast<std::int64_t>(t)));
  }
}

void CWavView::DrawLevelPanel(QPainter& painter) const {
  const int wc = width();
  const int hc = height();
  const int h = hc - 80;
  const int left = wc - kPanelWidth;
  painter.fillRect(QRect(left, kMarkerHeight, kPanelWidth, h), QColor(kGray));
  PaintVLine(painter, left, kMarkerHeight, hc - kBottomHeight, kWhite);
  const QString zero = QString::fromUtf8(texts::kLevelZero);
  const QString max = QString::fromUtf8(texts::kLevelMax);
  const int x = wc - 35;
  DrawText(painter, x, 30 + h / 4 - 4, zero);
  DrawText(painter, x, 30 + (3 * h) / 4 - 4, zero);
  DrawText(painter, x, 30, max);
  DrawText(painter, x, 30 + h / 2 - 4, max);
  DrawText(painter, x, hc - kBottomHeight - 14, max);
}

void CWavView::DrawMarkerBar(QPainter& painter) const {
  const int wc = width();
  painter.fillRect(QRect(0, 0, wc, kMarkerHeight), QColor(kGray));
  PaintHLine(painter, kMarkerHeight, 0, wc, kWhite);
  if (totalFrames <= 0) return;
  const int xs = PosToPixel(segStart, false);
  const int xe = PosToPixel(segEnd, false);
  PaintVLine(painter, xe, kMarkerHeight, 12, kWhite);
  DrawText(painter, std::max(0, xe - 15), 0, FormatTime(segEnd));
  PaintVLine(painter, xs, kMarkerHeight, 26, kWhite);
  DrawText(painter, std::max(0, xs - 15), 14, FormatTime(segStart));
}

void CWavView::DrawGrid(QPainter& painter) const {
  const int h = height() - 80;
  const int w = WaveWidth();
  for (const int y : {30 + h / 4, 30 + (3 * h) / 4, 30 + h / 2})
    PaintHLine(painter, y, 0, w, kGray);
}

void CWavView::DrawWaveform(QImage& image) {
  if (!hasMusic || drawingSuspended || !peaksReady) return;
  SampleSource probe;
  probe.channels = waveInfo.channels;
  probe.bitsPerSample = waveInfo.bitsPerSample;
  if (!probe.Drawable()) return;
  std::string failure;
  if (!fileMap.Open(waveInfo.fileName, &failure)) {
    ReportMapFailure(failure);
    return;
  }
  const SampleSource src = MappedSamples();
  const int q = (height() - 80) / 4;
  const int c0 = 30 + q;
  const int c1 = 30 + 3 * q;
  const std::int32_t scale = src.bitsPerSample == 8 ? 128 : 32768;
  const bool stereo = src.channels > 1;
  int prev0 = c0;
  int prev1 = c1;
  waveRaster.Reset(image.width(), image.height());
  // Each column joins the previous column's last point to its minimum, then to its maximum.
  peakTable.WalkColumns(src, totalFrames, WaveWidth(), zoom, viewStart,
                        [&](int column, const Envelope& env) {
                          const int min0 = c0 + env.minL * q / scale;
                          const int max0 = c0 + env.maxL * q / scale;
                          waveRaster.Line(column - 1, prev0, column, min0);
                          waveRaster.Line(column, min0, column, max0);
                          prev0 = max0;
                          if (!stereo) return;
                          const int min1 = c1 + env.minR * q / scale;
                          const int max1 = c1 + env.maxR * q / scale;
                          waveRaster.Line(column - 1, prev1, column, min1);
                          waveRaster.Line(column, min1, column, max1);
                          prev1 = max1;
                        });
  fileMap.Close();
  waveRaster.Composite(image, kGreen);
}

// A modal box inside a paint would run an event loop there, and every repaint would open
// another; so the box opens once, from the event loop, after this paint.
void CWavView::ReportMapFailure(const std::string& text) {
  if (mapFailureReported) return;
  mapFailureReported = true;
  QMetaObject::invokeMethod(
      this, [text] { platform::ShowBox(platform::BoxKind::kPlain, text); }, Qt::QueuedConnection);
}

void CWavView::DrawCursorLine(QImage& image, const QRect& area, std::int64_t p) const {
  const int x = PosToPixel(p, true);
  if (x < 0 || area.height() <= 0) return;
  // A dotted red column over black gaps, exclusive-or'ed as a whole.
  QImage dots(1, area.height(), QImage::Format_RGB32);
  dots.fill(Qt::black);
  for (int y = 0; y < area.height(); y += 2) dots.setPixel(0, y, kCursorRed);
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.drawImage(QPoint(x, area.top()), dots);
}

void CWavView::DrawSelection(QImage& image, const QRect& area, std::int64_t a,
                             std::int64_t b) const {
  if (totalFrames == 0) return;
  const int xa = PosToPixel(a, false);
  const int xb = PosToPixel(b, false);
  if (xa == xb || area.height() <= 0) return;
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.fillRect(QRect(std::min(xa, xb), area.top(), std::abs(xb - xa), area.height()),
                   QColor(kSelectionBlue));
}

void CWavView::ToggleCursor(std::int64_t p) {
  if (!BufferCurrent()) return update();
  const QRect area = WaveArea();
  DrawCursorLine(backBuffer, area, p);
  const int x = PosToPixel(p, true);
  if (x >= 0) update(QRect(x, area.top(), 1, area.height()));
}

void CWavView::ToggleSelection(std::int64_t a, std::int64_t b) {
  if (!BufferCurrent()) return update();
  const QRect area = WaveArea();
  DrawSelection(backBuffer, area, a, b);
  const int xa = PosToPixel(a, false);
  const int xb = PosToPixel(b, false);
  update(QRect(std::min(xa, xb), area.top(), std::abs(xb - xa), area.height()));
}

// The base line of the marker bar (y 30) is the first row of the waveform area, where the
// cursor and the selection are exclusive-or'ed and the waveform may reach; it never changes,
// so the partial redraw leaves it alone and later toggles still find the pixels they expect.
void CWavView::RedrawMarkerBar() {
  if (!BufferCurrent()) return update();
  const QRect bar(0, 0, width(), kMarkerHeight);
  {
    QPainter painter(&backBuffer);
    painter.setClipRect(bar);
    painter.setFont(TextFont());
    DrawMarkerBar(painter);
  }
  update(bar);
}
