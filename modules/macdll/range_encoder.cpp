#include "modules/macdll/range_encoder.h"

namespace macdll {
namespace {

constexpr std::uint32_t kTop = 1u << 31;
constexpr std::uint32_t kBottom = 1u << 23;
constexpr int kShiftBits = 23;

}  // namespace

RangeEncoder::RangeEncoder(std::vector<std::uint8_t>* out) : out_(out), first_(out->size()) {}

void RangeEncoder::EncodeShift(std::uint32_t start, std::uint32_t width, int shift) {
  Normalize();
  Narrow(range_ >> shift, start, width);
}

void RangeEncoder::EncodeTotal(std::uint32_t start, std::uint32_t width, std::uint32_t total) {
  Normalize();
  Narrow(range_ / total, start, width);
}

void RangeEncoder::Narrow(std::uint32_t unit, std::uint32_t start, std::uint32_t width) {
  low_ += unit * start;
  range_ = unit * width;
  if ((low_ & kTop) == 0) return;
  // The low end passed 2^31: add the carry to the bytes already written.
  low_ &= kTop - 1;
  for (std::size_t i = out_->size(); i > first_; --i) {
    if (++(*out_)[i - 1] != 0) break;
  }
}

void RangeEncoder::Normalize() {
  while (range_ <= kBottom) {
    out_->push_back(static_cast<std::uint8_t>(low_ >> kShiftBits));
    low_ = (low_ << 8) & (kTop - 1);
    range_ <<= 8;
  }
}

void RangeEncoder::Finish() {
  // The decoder holds 31 bits: the window's bytes are bits 30…23, 22…15, 14…7 and 6…0 + 0.
  out_->push_back(static_cast<std::uint8_t>(low_ >> 23));
  out_->push_back(static_cast<std::uint8_t>(low_ >> 15));
  out_->push_back(static_cast<std::uint8_t>(low_ >> 7));
  out_->push_back(static_cast<std::uint8_t>(low_ << 1));
}

}  // namespace macdll
