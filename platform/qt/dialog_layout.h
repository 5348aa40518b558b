// Places the controls of a dialog described in dialog units, as a dialog template would: the
// dialog gets the 9-point "宋体" font, and units convert with that font's metrics
// (x = units × average character width / 4, y = units × character height / 8, rounded).
#pragma once

#include <QRect>

class QWidget;

class DialogLayout {
 public:
  // Sets the dialog font on `dialog` and gives it a fixed client size of width × height units.
  DialogLayout(QWidget* dialog, int width, int height);

  int X(int units) const;
  int Y(int units) const;
  QRect Rect(int x, int y, int width, int height) const;
  // Moves `control` to the rectangle (in units) and returns it.
  QWidget* Place(QWidget* control, int x, int y, int width, int height) const;

  int charWidth() const { return charWidth_; }
  int charHeight() const { return charHeight_; }

 private:
  int charWidth_ = 1;
  int charHeight_ = 1;
};
