// The range coder of APE frames, encoder side: a 32-bit coder whose low end carries into the
// bytes already written, normalised (one byte out) whenever the range falls to 2^23 or below,
// exactly where the decoder reads a byte. Output bytes are appended to a caller's vector in
// stream order (big-endian words, before the file's word swap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace macdll {

class RangeEncoder {
 public:
  // Appends to *out, which must outlive the encoder; bytes already in it are never touched.
  explicit RangeEncoder(std::vector<std::uint8_t>* out);

  // Codes [start, start + width) out of 2^shift (shift 1…16, start + width <= 2^shift).
  void EncodeShift(std::uint32_t start, std::uint32_t width, int shift);
  // Codes [start, start + width) out of `total` (1…65536, start + width <= total).
  void EncodeTotal(std::uint32_t start, std::uint32_t width, std::uint32_t total);
  // Writes the four bytes of the current window, so that the decoder reads the low end exactly.
  void Finish();

 private:
  void Normalize();
  void Narrow(std::uint32_t unit, std::uint32_t start, std::uint32_t width);

  std::vector<std::uint8_t>* out_;
  std::size_t first_;
  std::uint32_t low_ = 0;
  std::uint32_t range_ = 1u << 31;
};

}  // namespace macdll
