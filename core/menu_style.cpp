#include "core/menu_style.h"

#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionMenuItem>
#include <algorithm>

#include "core/toolbar_icons.h"
#include "platform/qt/fonts.h"

namespace {

constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 5;
constexpr int kColumnWidth = 22;
constexpr int kTextLeft = 27;
constexpr int kTextRightGap = 8;
constexpr int kExtraWidth = 32;
constexpr int kTabExtraWidth = 48;
constexpr int kBorder = 1;

const QColor kColumn(232, 228, 216);
const QColor kFrame(0, 63, 152);
const QColor kSelectedFill(192, 224, 255);
const QColor kDisabledText(165, 165, 165);
const QColor kBorderColor(128, 128, 128);

// What QMenu adds to the widest item for the shortcut column: the widest text after a tab.
int ShortcutReserve(const QWidget* widget) {
  const auto* menu = qobject_cast<const QMenu*>(widget);
  if (menu == nullptr) return 0;
  int widest = 0;
  for (const QAction* action : menu->actions()) {
    const QString text = action->text();
    const int tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
      widest = std::max(widest, menu->fontMetrics().horizontalAdvance(text.mid(tab + 1)));
  }
  return widest;
}

void PaintBackground(QPainter& p, const QRect& rect, int columnLeft) {
  p.fillRect(rect, Qt::white);
  p.fillRect(QRect(columnLeft, rect.top(), kColumnWidth, rect.height()), kColumn);
}

void PaintSubMenuArrow(QPainter& p, const QRect& all, const QColor& color) {
  const int x = all.right() - kTextRightGap + 2;
  const int y = all.center().y();
  const QPoint arrow[] = {{x, y - 3}, {x + 3, y}, {x, y + 3}};
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPolygon(arrow, 3);
}

void PaintText(QPainter& p, const QStyleOptionMenuItem& item, const QRect& all) {
  const bool enabled = item.state & QStyle::State_Enabled;
  const QColor color = enabled ? QColor(Qt::black) : kDisabledText;
  p.setFont(MenuStyle::MenuFont());
  p.setPen(color);
  const QRect textRect(kTextLeft, 0, all.width() - kTextLeft - kTextRightGap, all.height());
  const int tab = item.text.indexOf(QLatin1Char('\t'));
  constexpr int kFlags = Qt::AlignVCenter | Qt::TextSingleLine;
  p.drawText(textRect, kFlags | Qt::AlignLeft | Qt::TextShowMnemonic, item.text.left(tab));
  if (tab >= 0) p.drawText(textRect, kFlags | Qt::AlignRight, item.text.mid(tab + 1));
  if (item.menuItemType == QStyleOptionMenuItem::SubMenu) PaintSubMenuArrow(p, all, color);
}

void PaintItem(QPainter& p, const QStyleOptionMenuItem& item, const QSize& size, qreal ratio) {
  const QRect all(QPoint(0, 0), size);
  PaintBackground(p, all, 0);
  if (item.menuItemType == QStyleOptionMenuItem::Separator) {
    p.fillRect(QRect(kTextLeft, 3, size.width() - kTextLeft, 1), kFrame);
    return;
  }
  const bool enabled = item.state & QStyle::State_Enabled;
  if (enabled && (item.state & QStyle::State_Selected)) {
    p.fillRect(all, kFrame);
    p.fillRect(all.adjusted(1, 1, -1, -1), kSelectedFill);
  }
  if (item.checked) {
    p.drawPixmap(2, 2, MenuCheckPixmap());
  } else if (!item.icon.isNull()) {
    p.drawPixmap(1, 1, item.icon.pixmap(QSize(20, 20), ratio));
  }
  PaintText(p, item, all);
}

}  // namespace

MenuStyle::MenuStyle() = default;

QFont MenuStyle::MenuFont() {
  platform::InstallFontSubstitutions();
  QFont font(QStringLiteral("宋体"));
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  // A Song face at this size is drawn from its hinted outlines without smoothing, sharp like
  // the bitmap strikes it is known by.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

int MenuStyle::ItemWidth(const QString& text, const QFont& font) {
  // Measured as written, '&' included: the room it takes keeps the text clear of the right
  // margin, which is wider than the 32 pixels added.
  const QFontMetrics metrics(font);
  const int tab = text.indexOf(QLatin1Char('\t'));
  int width = metrics.horizontalAdvance(text.left(tab)) + kExtraWidth;
  if (tab >= 0) width += metrics.horizontalAdvance(text.mid(tab + 1));
  if (tab > 0) width += kTabExtraWidth;
  return width;
}

void MenuStyle::Apply(QMenu* menu) {
  menu->setStyle(this);
  menu->setFont(MenuFont());
  for (QAction* action : menu->actions())
    if (QMenu* sub = action->menu()) Apply(sub);
}

int MenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                           const QWidget* widget) const {
  switch (metric) {
    case PM_MenuPanelWidth: return kBorder;
    case PM_MenuHMargin:
    case PM_MenuVMargin: return 0;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

QSize MenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (type != CT_MenuItem || item == nullptr)
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  if (item->menuItemType == QStyleOptionMenuItem::Separator) return {1, kSeparatorHeight};
  // The menu adds its shortcut column to the widest item; it is part of the width here.
  const int width = ItemWidth(item->text, MenuFont()) - ShortcutReserve(widget);
  return {std::max(1, width), kItemHeight};
}

void MenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* painter, const QWidget* widget) const {
  switch (element) {
    case PE_PanelMenu: PaintBackground(*painter, option->rect, kBorder); return;
    case PE_FrameMenu:
      painter->save();
      painter->setPen(kBorderColor);
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
      painter->restore();
      return;
    default: QProxyStyle::drawPrimitive(element, option, painter, widget);
  }
}

void MenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (item == nullptr || (element != CE_MenuItem && element != CE_MenuEmptyArea)) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  if (element == CE_MenuEmptyArea) {
    PaintBackground(*painter, option->rect, kBorder);
    return;
  }
  const qreal ratio = painter->device()->devicePixelRatioF();
  QPixmap picture(item->rect.size() * ratio);
  picture.setDevicePixelRatio(ratio);
  {
    QPainter offscreen(&picture);
    PaintItem(offscreen, *item, item->rect.size(), ratio);
  }
  painter->drawPixmap(item->rect.topLeft(), picture);
}
