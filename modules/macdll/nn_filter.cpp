#include "modules/macdll/nn_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace macdll {
namespace {

// Room beyond the window before the window is moved back to the start.
constexpr int kSlack = 4096;

// -1 for positive, 1 for negative, 0 for zero, as the decoder signs its steps.
int InverseSign(std::int32_t x) { return (x < 0) - (x > 0); }

std::int16_t Clamp16(std::int32_t x) {
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(x, INT16_MIN, INT16_MAX));
}

#if defined(__SSE2__)

// Sum of c[i] * h[i] modulo 2^32 (pairwise products cannot overflow but their pair sums wrap
// exactly as 32-bit addition does).
std::int32_t Dot(const std::int16_t* c, const std::int16_t* h, int n) {
  __m128i acc = _mm_setzero_si128();
  for (int i = 0; i < n; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
    acc = _mm_add_epi32(acc, _mm_madd_epi16(a, b));
  }
  acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 3, 2)));
  acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(acc);
}

// c[i] += sign * a[i] with 16-bit wraparound; sign is 1 or -1.
void Adapt(std::int16_t* c, const std::int16_t* a, int n, int sign) {
  for (int i = 0; i < n; i += 8) {
    auto* p = reinterpret_cast<__m128i*>(c + i);
    const __m128i step = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i v = _mm_loadu_si128(p);
    _mm_storeu_si128(p, sign > 0 ? _mm_add_epi16(v, step) : _mm_sub_epi16(v, step));
  }
}

#else

std::int32_t Dot(const std::int16_t* c, const std::int16_t* h, int n) {
  std::uint32_t sum = 0;
  for (int i = 0; i < n; ++i) sum += static_cast<std::uint32_t>(c[i] * h[i]);
  return static_cast<std::int32_t>(sum);
}

void Adapt(std::int16_t* c, const std::int16_t* a, int n, int sign) {
  for (int i = 0; i < n; ++i) c[i] = static_cast<std::int16_t>(c[i] + sign * a[i]);
}

#endif

}  // namespace

NnFilter::NnFilter(int order, int shift)
    : order_(order),
      shift_(shift),
      coeffs_(order, 0),
      history_(order + kSlack, 0),
      adapt_(order + kSlack, 0),
      pos_(order) {}

void NnFilter::EncodeBlock(std::int32_t* values, int count) {
  for (int i = 0; i < count; ++i) values[i] = Encode(values[i]);
}

std::int32_t NnFilter::Encode(std::int32_t value) {
  const std::int32_t dot = Dot(coeffs_.data(), &history_[pos_ - order_], order_);
  const auto prediction =
      static_cast<std::int32_t>((std::int64_t{dot} + (std::int64_t{1} << (shift_ - 1))) >> shift_);
  const auto residual = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) -
                                                  static_cast<std::uint32_t>(prediction));
  const int sign = InverseSign(residual);
  if (sign != 0) Adapt(coeffs_.data(), &adapt_[pos_ - order_], order_, sign);

  history_[pos_] = Clamp16(value);
  const std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  if (magnitude == 0) {
    adapt_[pos_] = 0;
  } else {
    const int level =
        (magnitude > std::uint64_t{average_} * 3) + (magnitude > average_ + average_ / 3);
    adapt_[pos_] = static_cast<std::int16_t>(InverseSign(value) * (8 << level));
  }
  average_ += static_cast<std::uint32_t>(static_cast<std::int32_t>(magnitude - average_) / 16);
  adapt_[pos_ - 1] = static_cast<std::int16_t>(adapt_[pos_ - 1] >> 1);
  adapt_[pos_ - 2] = static_cast<std::int16_t>(adapt_[pos_ - 2] >> 1);
  adapt_[pos_ - 8] = static_cast<std::int16_t>(adapt_[pos_ - 8] >> 1);
  if (++pos_ == static_cast<int>(history_.size())) Slide();
  return residual;
}

void NnFilter::Slide() {
  std::memmove(history_.data(), &history_[pos_ - order_], order_ * sizeof(std::int16_t));
  std::memmove(adapt_.data(), &adapt_[pos_ - order_], order_ * sizeof(std::int16_t));
  pos_ = order_;
}

}  // namespace macdll
