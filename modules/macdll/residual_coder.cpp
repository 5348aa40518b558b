#include "modules/macdll/residual_coder.h"

#include <climits>

namespace macdll {
namespace {

// Cumulative frequencies (out of 2^16) of the overflow counts 0…20 and the end of count 20.
constexpr std::uint32_t kCounts[22] = {
    0,     19578, 36160, 48417, 56323, 60899, 63265, 64435, 64971, 65232, 65351,
    65416, 65447, 65466, 65476, 65482, 65485, 65488, 65490, 65491, 65492, 65493,
};
constexpr std::uint32_t kTableCounts = 21;
// Counts up to 62 take one slot each at 65472 + count; 63 (slot 65535) escapes to 32 raw bits.
constexpr std::uint32_t kEscape = 63;
constexpr std::uint32_t kDirectBase = 65472;

// Positive values map to odd numbers, the others to even ones; INT_MIN to the one code left.
std::uint32_t Fold(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  if (value > 0 || value == INT_MIN) return 2u * u - 1u;
  return 0u - 2u * u;
}

}  // namespace

void ResidualCoder::Encode(std::int32_t value) {
  const std::uint32_t x = Fold(value);
  const std::uint32_t pivot = ksum_ >> 5 == 0 ? 1u : ksum_ >> 5;
  EncodeOverflow(x / pivot);
  EncodeBase(x % pivot, pivot);
  // Unsigned wraparound as the decoder computes it (x + 1 wraps for 0xFFFFFFFF).
  ksum_ += (x + 1u) / 2u - ((ksum_ + 16u) >> 5);
}

void ResidualCoder::EncodeOverflow(std::uint32_t overflow) {
  if (overflow < kTableCounts) {
    encoder_->EncodeShift(kCounts[overflow], kCounts[overflow + 1] - kCounts[overflow], 16);
  } else if (overflow < kEscape) {
    encoder_->EncodeShift(kDirectBase + overflow, 1, 16);
  } else {
    encoder_->EncodeShift(kDirectBase + kEscape, 1, 16);
    encoder_->EncodeShift(overflow >> 16, 1, 16);
    encoder_->EncodeShift(overflow & 0xFFFF, 1, 16);
  }
}

void ResidualCoder::EncodeBase(std::uint32_t base, std::uint32_t pivot) {
  if (pivot < 0x10000) {
    encoder_->EncodeTotal(base, 1, pivot);
    return;
  }
  // Wide pivots are coded as a high part (pivot's top 16 bits + 1 values) and raw low bits.
  int bits = 0;
  while ((pivot >> bits) > 0xFFFF) ++bits;
  encoder_->EncodeTotal(base >> bits, 1, (pivot >> bits) + 1);
  encoder_->EncodeTotal(base & ((1u << bits) - 1u), 1, 1u << bits);
}

}  // namespace macdll
