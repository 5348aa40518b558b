// The menus' own drawing, checked on the pixels of a shown menu: item heights and width, the
// icon column, the selected, disabled and separator items, the icon and the text placement.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QMenu>
#include <QTest>

#include "core/menu_style.h"
#include "core/toolbar_icons.h"

namespace {

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

// Leftmost and rightmost x in `row` range [top, bottom) whose pixel is `ink`.
std::pair<int, int> InkSpan(const QImage& image, const QRect& rect, QRgb ink) {
  int left = INT_MAX, right = -1;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if (image.pixel(x, y) == ink) left = std::min(left, x), right = std::max(right, x);
  return {left, right};
}

}  // namespace

TEST(MenuStyle, DrawsItemsWithTheirColoursAndGeometry) {
  QMenu menu;
  QAction* open = menu.addAction(QStringLiteral("打开音乐(&O) ...\tF2"));
  open->setIcon(QIcon(ToolbarPixmap(0)));
  QAction* selected = menu.addAction(QStringLiteral("移到开头(&B)"));
  QAction* separator = menu.addSeparator();
  QAction* disabled = menu.addAction(QStringLiteral("放大(&I)"));
  disabled->setEnabled(false);
  MenuStyle style;
  style.Apply(&menu);
  menu.popup(QPoint(0, 0));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  menu.setActiveAction(selected);
  const QImage image = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);

  const QRect rOpen = menu.actionGeometry(open);
  const QRect rSelected = menu.actionGeometry(selected);
  const QRect rSeparator = menu.actionGeometry(separator);
  const QRect rDisabled = menu.actionGeometry(disabled);
  EXPECT_EQ(rOpen.height(), 22);
  EXPECT_EQ(rSeparator.height(), 5);
  EXPECT_EQ(rDisabled.top(), rSeparator.bottom() + 1);
  const QFontMetrics metrics(MenuStyle::MenuFont());
  EXPECT_EQ(rOpen.width(), metrics.horizontalAdvance(QStringLiteral("打开音乐(&O) ...")) +
                               metrics.horizontalAdvance(QStringLiteral("F2")) + 32 + 48);

  const QRgb column = Rgb(232, 228, 216), frame = Rgb(0, 63, 152);
  const QRgb white = Rgb(255, 255, 255), fill = Rgb(192, 224, 255);
  const QPoint o = rOpen.topLeft();
  EXPECT_EQ(image.pixel(o + QPoint(21, 10)), column);
  EXPECT_EQ(image.pixel(o + QPoint(24, 2)), white);
  const QImage icon = ToolbarPixmap(0).toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(image.pixel(o + QPoint(1 + 8, 1 + 10)), icon.pixel(8, 10));  // inside the folder
  const auto [shortcutLeft, shortcutRight] = InkSpan(image, rOpen, Rgb(0, 0, 0));
  EXPECT_EQ(shortcutLeft, o.x() + 27);  // "打" is drawn from the text's left edge
  EXPECT_LE(shortcutRight, rOpen.right() - 8);
  EXPECT_GE(shortcutRight, rOpen.right() - 10);

  const QPoint s = rSelected.topLeft();
  EXPECT_EQ(image.pixel(s), frame);
  EXPECT_EQ(image.pixel(rSelected.bottomRight()), frame);
  EXPECT_EQ(image.pixel(s + QPoint(5, 5)), fill);  // the icon column too
  EXPECT_EQ(image.pixel(rSelected.right() - 1, s.y() + 1), fill);

  const QPoint p = rSeparator.topLeft();
  EXPECT_EQ(image.pixel(p + QPoint(27, 3)), frame);
  EXPECT_EQ(image.pixel(rSeparator.right(), p.y() + 3), frame);
  EXPECT_EQ(image.pixel(p + QPoint(26, 3)), white);
  EXPECT_EQ(image.pixel(p + QPoint(30, 2)), white);
  EXPECT_EQ(image.pixel(p + QPoint(5, 3)), column);

  const auto [greyLeft, greyRight] = InkSpan(image, rDisabled, Rgb(165, 165, 165));
  EXPECT_GE(greyLeft, rDisabled.left() + 27);
  EXPECT_GT(greyRight, greyLeft);
  EXPECT_EQ(InkSpan(image, rDisabled, Rgb(0, 0, 0)).second, -1);
  EXPECT_EQ(image.pixel(rDisabled.topLeft() + QPoint(5, 5)), column);
}
