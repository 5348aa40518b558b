// The look of the main window's menus, drawn by the program: items 22 pixels high
// (separators 5) and as wide as their text plus 32 pixels (plus 48 when a tab follows the
// first character), a 22-pixel icon column in RGB(232,228,216) and white elsewhere, the
// selected item framed in RGB(0,63,152) and filled with RGB(192,224,255), disabled text in
// RGB(165,165,165), separators as a line at y = 3 from x = 27. An item shows the check image
// at (2, 2) when checked, else its action's icon (20 × 20) at (1, 1). Each item is painted
// into an off-screen picture and copied to the menu in one step.
//
// The style does not own the menus it is applied to; it must outlive them.
#pragma once

#include <QFont>
#include <QProxyStyle>

class QMenu;

class MenuStyle : public QProxyStyle {
  Q_OBJECT

 public:
  MenuStyle();

  // "宋体", 12 pixels, normal weight.
  static QFont MenuFont();
  // The width of an item reading `text` ("label" or "label\tshortcut") in `font`.
  static int ItemWidth(const QString& text, const QFont& font);
  // Gives `menu` and, recursively, every sub-menu of its items this look and the menu font.
  void Apply(QMenu* menu);

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
};
