// Codes prediction residuals of one channel with the adaptive model of version 3.99 frames:
// the folded value is split by a pivot that follows the running magnitude (ksum / 32) into an
// overflow count, coded with a fixed table (escape for large counts), and a uniform remainder.
#pragma once

#include <cstdint>

#include "modules/macdll/range_encoder.h"

namespace macdll {

class ResidualCoder {
 public:
  // Codes into `encoder`, which must outlive the coder.
  explicit ResidualCoder(RangeEncoder* encoder) : encoder_(encoder) {}

  // Codes any 32-bit residual.
  void Encode(std::int32_t value);

 private:
  void EncodeOverflow(std::uint32_t overflow);
  void EncodeBase(std::uint32_t base, std::uint32_t pivot);

  RangeEncoder* encoder_;
  std::uint32_t ksum_ = 16384;
};

}  // namespace macdll
