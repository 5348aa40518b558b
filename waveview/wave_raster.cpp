#include "waveview/wave_raster.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kTile = 64;
}

void WaveRaster::Reset(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  covered_.assign(static_cast<std::size_t>(width_) * height_, 0);
  top_ = height_;
  bottom_ = -1;
}

void WaveRaster::Set(int x, int y) {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) return;
  covered_[static_cast<std::size_t>(x) * height_ + y] = 1;
  top_ = std::min(top_, y);
  bottom_ = std::max(bottom_, y);
}

// Rows y0 .. y1 exclusive of y1, in either direction.
void WaveRaster::VLine(int x, int y0, int y1) {
  if (x < 0 || x >= width_ || y0 == y1) return;
  int lo = y1 > y0 ? y0 : y1 + 1;
  int hi = y1 > y0 ? y1 - 1 : y0;
  lo = std::max(lo, 0);
  hi = std::min(hi, height_ - 1);
  if (lo > hi) return;
  std::memset(&covered_[static_cast<std::size_t>(x) * height_ + lo], 1,
              static_cast<std::size_t>(hi - lo + 1));
  top_ = std::min(top_, lo);
  bottom_ = std::max(bottom_, hi);
}

void WaveRaster::Line(int x0, int y0, int x1, int y1) {
  if (x0 == x1) return VLine(x0, y0, y1);
  if (std::abs(x1 - x0) == 1 && y0 != y1) {
    // A join between neighbouring columns: the first half of the rows in x0, the rest in x1.
    const int mid = y0 + (y1 > y0 ? 1 : -1) * ((std::abs(y1 - y0) + 1) / 2);
    VLine(x0, y0, mid);
    return VLine(x1, mid, y1);
  }
  Bresenham(x0, y0, x1, y1);
}

void WaveRaster::Bresenham(int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    Set(x0, y0);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

// Tiles of 64 columns keep the coverage of those columns in the cache while their rows are
// painted one after another.
void WaveRaster::Composite(QImage& image, QRgb color) const {
  if (image.width() != width_ || image.height() != height_ || bottom_ < top_) return;
  auto* bits = reinterpret_cast<QRgb*>(image.bits());
  const auto stride = static_cast<std::size_t>(image.bytesPerLine() / 4);
  for (int x0 = 0; x0 < width_; x0 += kTile) {
    const int x1 = std::min(width_, x0 + kTile);
    for (int y = top_; y <= bottom_; ++y) {
      QRgb* row = bits + static_cast<std::size_t>(y) * stride;
      const std::uint8_t* cell = covered_.data() + static_cast<std::size_t>(x0) * height_ + y;
      for (int x = x0; x < x1; ++x, cell += height_) {
        if (*cell) row[x] = color;
      }
    }
  }
}
