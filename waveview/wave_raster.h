// Pixel coverage of the waveform lines, kept column by column so that the mostly vertical
// strokes of a waveform are filled with contiguous writes; Composite then paints the covered
// pixels into an RGB32 image row by row. Lines follow the classic raster rule: a line from A
// to B covers A but not B, so a polyline joins without doubled points. Reuses its memory
// between drawings of the same size.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

class WaveRaster {
 public:
  // Clears the coverage for an image of width × height.
  void Reset(int width, int height);
  // Covers (x0,y0) up to but not including (x1,y1); pixels outside the image are skipped.
  void Line(int x0, int y0, int x1, int y1);
  // Paints every covered pixel of `image` (same size as Reset) with `color`.
  void Composite(QImage& image, QRgb color) const;

 private:
  void Set(int x, int y);
  void VLine(int x, int y0, int y1);
  void Bresenham(int x0, int y0, int x1, int y1);

  int width_ = 0;
  int height_ = 0;
  int top_ = 0;  // covered rows lie in top_ .. bottom_
  int bottom_ = -1;
  std::vector<std::uint8_t> covered_;  // column-major: x × height + y
};
