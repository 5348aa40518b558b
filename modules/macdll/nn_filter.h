// One adaptive filter stage of the APE decoder, run in reverse: for each wanted output it gives
// the input the decoder's stage turns into that output. The stage predicts from the last
// `order` outputs (clamped to 16 bits) with 16-bit coefficients, rounds by `shift` bits, and
// adapts the coefficients by sign-sign steps weighted by how large each output was against the
// running average. All arithmetic wraps at 32 (sums) and 16 (coefficients) bits as the
// decoder's does.
#pragma once

#include <cstdint>
#include <vector>

namespace macdll {

class NnFilter {
 public:
  // order: a multiple of 16; shift: 1…31.
  NnFilter(int order, int shift);
  NnFilter(const NnFilter&) = delete;
  NnFilter& operator=(const NnFilter&) = delete;

  // Replaces each value by the residual to code, in order.
  void EncodeBlock(std::int32_t* values, int count);

 private:
  // `dot` holds the prediction sum for this step on entry and for the next one on return.
  std::int32_t Encode(std::int32_t value, std::int32_t* dot);
  void Slide();

  int order_;
  int shift_;
  // 32-byte aligned, so the coefficient stores never straddle cache lines.
  struct alignas(32) Chunk {
    std::int16_t v[16];
  };
  std::vector<Chunk> coeffChunks_;
  std::int16_t* coeffs_;
  // Past outputs and their adaption steps; the window in use is [pos_ - order_, pos_).
  std::vector<std::int16_t> history_;
  std::vector<std::int16_t> adapt_;
  int pos_;
  std::uint32_t average_ = 0;
};

}  // namespace macdll
