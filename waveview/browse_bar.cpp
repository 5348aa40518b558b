#include "waveview/browse_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "waveview/wav_view.h"

namespace {

const QColor kBackground(64, 64, 64);

int GlobalX(const QMouseEvent* event) { return static_cast<int>(event->globalPosition().x()); }

}  // namespace

CBrowseBar::CBrowseBar(CWavView* view, QWidget* parent) : QWidget(parent), view_(view) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  timer_.setInterval(kRepeatMs);
  connect(&timer_, &QTimer::timeout, this, &CBrowseBar::TimerTick);
}

void CBrowseBar::Invalidate() {
  stale_ = true;
  // The view's state is read only while no peak computation writes it.
  if (!view_->PeaksRunning()) {
    ComputeThumb();
    Render();
  }
  update();
}

void CBrowseBar::ComputeThumb() {
  trackWidth_ = width() - 2 * kArrowWidth;
  const double zoom = view_->zoom;
  thumbWidth_ = std::max(kMinThumb, static_cast<int>(trackWidth_ / zoom));
  thumbOffset_ = 0;
  if (zoom > 1.0 && view_->totalFrames > 0) {
    const std::int64_t product =
        static_cast<std::int64_t>(trackWidth_ - thumbWidth_) * view_->viewStart;
    thumbOffset_ = static_cast<int>(static_cast<double>(product) * zoom / (zoom - 1) /
                                    static_cast<double>(view_->totalFrames));
  }
  stale_ = false;
}

void CBrowseBar::ApplyThumbOffset(int off) {
  const int room = trackWidth_ - thumbWidth_;
  std::int64_t start = 0;
  if (room > 0) {
    const double zoom = view_->zoom;
    const std::int64_t product = view_->totalFrames * off;
    start = static_cast<std::int64_t>(static_cast<double>(product) * ((zoom - 1) / zoom) / room);
  }
  view_->SetViewStart(start);
}

void CBrowseBar::RedrawBar(int off) {
  thumbOffset_ = off;
  stale_ = false;
  Render();
  repaint();
}

void CBrowseBar::Render() {
  if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
  if (buffer_.isNull()) return;
  buffer_.fill(kBackground);
  QPainter painter(&buffer_);
  const int wb = width();
  const int hb = height();
  QStyleOptionButton button;
  button.initFrom(this);
  button.state = QStyle::State_Enabled | QStyle::State_Raised;
  QStyleOption arrow = button;
  const QRect arrows[2] = {QRect(0, 0, kArrowWidth, hb),
                           QRect(wb - kArrowWidth, 0, kArrowWidth, hb)};
  const QStyle::PrimitiveElement kinds[2] = {QStyle::PE_IndicatorArrowLeft,
                                             QStyle::PE_IndicatorArrowRight};
  for (int i = 0; i < 2; ++i) {
    button.rect = arrows[i];
    style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
    arrow.rect = arrows[i].adjusted(4, 4, -4, -4);
    style()->drawPrimitive(kinds[i], &arrow, &painter, this);
  }
  button.rect = QRect(kArrowWidth + thumbOffset_, 0, thumbWidth_, hb);
  style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
}

void CBrowseBar::paintEvent(QPaintEvent* event) {
  // While the view's peak worker runs its state is not read; the last drawing stays.
  if (stale_ && !view_->PeaksRunning()) {
    ComputeThumb();
    Render();
  }
  if (buffer_.size() != size()) Render();
  QPainter painter(this);
  const QRect r = event->rect();
  painter.drawImage(r.topLeft(), buffer_, r);
}

void CBrowseBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Invalidate();
}

void CBrowseBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (stale_) ComputeThumb();
  const int x = static_cast<int>(event->position().x());
  if (x <= kArrowWidth) {
    StartRepeat(false);
    if (thumbOffset_ > 0) --thumbOffset_;
  } else if (x >= width() - kArrowWidth) {
    StartRepeat(true);
    if (thumbOffset_ < trackWidth_ - 2 * thumbWidth_) ++thumbOffset_;
  } else if (x < kArrowWidth + thumbOffset_) {
    thumbOffset_ = thumbOffset_ - thumbWidth_ > 0 ? thumbOffset_ - thumbWidth_ : 0;
  } else if (x <= kArrowWidth + thumbOffset_ + thumbWidth_) {
    dragging_ = true;
    dragStartX_ = GlobalX(event);
    dragStartOffset_ = thumbOffset_;
    return;
  } else if (thumbOffset_ + 2 * thumbWidth_ < trackWidth_) {
    thumbOffset_ += thumbWidth_;
  } else {
    thumbOffset_ = trackWidth_ - thumbWidth_;
  }
  ApplyAndRedraw();
}

void CBrowseBar::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  int off = dragStartOffset_ + (GlobalX(event) - dragStartX_);
  if (off < 0) off = 0;
  if (off + thumbWidth_ >= trackWidth_) off = trackWidth_ - thumbWidth_;
  if (trackWidth_ - thumbWidth_ > 0) {
    ApplyThumbOffset(off);
    RedrawBar(off);
  }
}

void CBrowseBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = false;
  repeating_ = false;
  timer_.stop();
}

void CBrowseBar::StartRepeat(bool right) {
  repeating_ = true;
  repeatRight_ = right;
  repeatCount_ = 0;
  timer_.start();
}

void CBrowseBar::TimerTick() {
  if (!repeating_) return;
  if (repeatCount_ < kSilentTicks) {
    ++repeatCount_;
    return;
  }
  StepArrow();
  ApplyAndRedraw();
}

void CBrowseBar::StepArrow() {
  if (!repeatRight_) {
    if (thumbOffset_ > 0) --thumbOffset_;
  } else if (thumbOffset_ < trackWidth_ - 2 * thumbWidth_) {
    ++thumbOffset_;
  }
}

void CBrowseBar::ApplyAndRedraw() {
  ApplyThumbOffset(thumbOffset_);
  RedrawBar(thumbOffset_);
}
