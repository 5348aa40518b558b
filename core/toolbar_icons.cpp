#include "core/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

const QColor kInk(32, 48, 96);
const QColor kAccent(0, 150, 60);
const QColor kMark(200, 40, 40);

void Triangle(QPainter& p, qreal x, qreal y, qreal w, qreal h, bool right, const QColor& c) {
  QPolygonF poly;
  if (right)
    poly << QPointF(x, y) << QPointF(x + w, y + h / 2) << QPointF(x, y + h);
  else
    poly << QPointF(x + w, y) << QPointF(x, y + h / 2) << QPointF(x + w, y + h);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPolygon(poly);
}

void Bar(QPainter& p, qreal x, qreal y, qreal w, qreal h, const QColor& c) {
  p.fillRect(QRectF(x, y, w, h), c);
}

void Bracket(QPainter& p, qreal x, bool open, const QColor& c) {
  p.setPen(QPen(c, 2));
  const qreal d = open ? 4 : -4;
  p.drawPolyline(QPolygonF() << QPointF(x + d, 3) << QPointF(x, 3) << QPointF(x, 17)
                             << QPointF(x + d, 17));
}

void Magnifier(QPainter& p, int sign) {
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
  p.drawLine(QPointF(12, 12), QPointF(18, 18));
  p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
  if (sign > 0) p.drawLine(QPointF(8, 5.5), QPointF(8, 10.5));
  if (sign == 0) {
    p.setPen(QPen(kInk, 1));
    p.drawRect(QRectF(5, 5, 6, 6));
  }
}

void Folder(QPainter& p) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(240, 200, 80));
  p.drawPolygon(QPolygonF() << QPointF(2, 5) << QPointF(7, 5) << QPointF(9, 7) << QPointF(17, 7)
                            << QPointF(17, 16) << QPointF(2, 16));
}

void Scissors(QPainter& p) {
  p.setPen(QPen(kInk, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(5, 15), 3, 3);
  p.drawEllipse(QPointF(15, 15), 3, 3);
  p.drawLine(QPointF(7, 13), QPointF(14, 2));
  p.drawLine(QPointF(13, 13), QPointF(6, 2));
}

void Draw(QPainter& p, int index) {
  switch (index) {
    case 0: Folder(p); break;
    case 1:
      Bar(p, 4, 4, 2, 12, kInk);
      Triangle(p, 6, 4, 10, 12, false, kInk);
      break;
    case 2: Triangle(p, 5, 3, 11, 14, true, kAccent); break;
    case 3:
      Bar(p, 5, 4, 4, 12, kInk);
      Bar(p, 11, 4, 4, 12, kInk);
      break;
    case 4: Bar(p, 5, 5, 10, 10, kInk); break;
    case 5:
      Triangle(p, 4, 4, 10, 12, true, kInk);
      Bar(p, 14, 4, 2, 12, kInk);
      break;
    case 6: Bracket(p, 6, true, kMark); break;
    case 7: Bracket(p, 14, false, kMark); break;
    case 8:
      Bracket(p, 4, true, kMark);
      Bracket(p, 16, false, kMark);
      break;
    case 9:
      Bracket(p, 4, true, kMark);
      Triangle(p, 8, 5, 8, 10, false, kInk);
      break;
    case 10:
      Bracket(p, 3, true, kMark);
      Bracket(p, 17, false, kMark);
      Triangle(p, 7, 5, 7, 10, true, kAccent);
      break;
    case 11:
      Triangle(p, 4, 5, 8, 10, true, kInk);
      Bracket(p, 16, false, kMark);
      break;
    case 12: Magnifier(p, 1); break;
    case 13: Magnifier(p, -1); break;
    case 14: Magnifier(p, 0); break;
    case 15: Scissors(p); break;
    default: break;
  }
}

}  // namespace

QPixmap ToolbarPixmap(int index) {
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  Draw(painter, index);
  return pixmap;
}

QPixmap MenuCheckPixmap() {
  QPixmap pixmap(18, 18);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPolyline(QPolygonF() << QPointF(4, 9.5) << QPointF(7.5, 13) << QPointF(14, 5));
  return pixmap;
}
