#include "platform/qt/dialog_layout.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

#include "platform/qt/fonts.h"

namespace {

int MulDivRounded(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  return static_cast<int>((product + denominator / 2) / denominator);
}

}  // namespace

DialogLayout::DialogLayout(QWidget* dialog, int width, int height) {
  const QFont font = platform::ProgramFont();
  dialog->setFont(font);
  const QFontMetrics metrics(font);
  // The average width the way dialog templates measure it: the 52 Latin letters, rounded.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  charWidth_ = std::max(1, (letters / 26 + 1) / 2);
  charHeight_ = std::max(1, metrics.height());
  dialog->setFixedSize(X(width), Y(height));
}

int DialogLayout::X(int units) const { return MulDivRounded(units, charWidth_, 4); }

int DialogLayout::Y(int units) const { return MulDivRounded(units, charHeight_, 8); }

QRect DialogLayout::Rect(int x, int y, int width, int height) const {
  return {X(x), Y(y), X(width), Y(height)};
}

QWidget* DialogLayout::Place(QWidget* control, int x, int y, int width, int height) const {
  control->setGeometry(Rect(x, y, width, height));
  return control;
}
