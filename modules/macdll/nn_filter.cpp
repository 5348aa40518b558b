#include "modules/macdll/nn_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
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

// The inner loops: the dot product of the coefficients with the history (modulo 2^32: pairwise
// products of 16-bit values cannot overflow, and their pair sums wrap exactly as 32-bit sums do),
// and the sign-sign update of the coefficients (16-bit wraparound) fused with the dot product
// of the next step, which uses the updated coefficients.
using DotFn = std::int32_t (*)(const std::int16_t* c, const std::int16_t* h, int n);
using AdaptDotFn = std::int32_t (*)(std::int16_t* c, const std::int16_t* a, const std::int16_t* h,
                                    int n, int sign);

std::int32_t DotScalar(const std::int16_t* c, const std::int16_t* h, int n) {
  std::uint32_t sum = 0;
  for (int i = 0; i < n; ++i) sum += static_cast<std::uint32_t>(c[i] * h[i]);
  return static_cast<std::int32_t>(sum);
}

std::int32_t AdaptDotScalar(std::int16_t* c, const std::int16_t* a, const std::int16_t* h, int n,
                            int sign) {
  for (int i = 0; i < n; ++i) c[i] = static_cast<std::int16_t>(c[i] + sign * a[i]);
  return DotScalar(c, h, n);
}

#if defined(__x86_64__) || defined(__i386__)

__attribute__((target("avx2"))) std::int32_t Sum8(__m256i v) {
  __m128i x = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  x = _mm_add_epi32(x, _mm_shuffle_epi32(x, _MM_SHUFFLE(1, 0, 3, 2)));
  x = _mm_add_epi32(x, _mm_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(x);
}

__attribute__((target("avx2"))) std::int32_t DotAvx2(const std::int16_t* c, const std::int16_t* h,
                                                     int n) {
  __m256i acc = _mm256_setzero_si256();
  for (int i = 0; i < n; i += 16) {
    const __m256i vc = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i));
    const __m256i vh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + i));
    acc = _mm256_add_epi32(acc, _mm256_madd_epi16(vc, vh));
  }
  return Sum8(acc);
}

__attribute__((target("avx2"))) std::int32_t AdaptDotAvx2(std::int16_t* c, const std::int16_t* a,
                                                          const std::int16_t* h, int n, int sign) {
  const __m256i s = _mm256_set1_epi16(static_cast<std::int16_t>(sign));
  __m256i acc = _mm256_setzero_si256();
  for (int i = 0; i < n; i += 16) {
    auto* pc = reinterpret_cast<__m256i*>(c + i);
    const __m256i step = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i vc = _mm256_add_epi16(_mm256_loadu_si256(pc), _mm256_sign_epi16(step, s));
    _mm256_storeu_si256(pc, vc);
    const __m256i vh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + i));
    acc = _mm256_add_epi32(acc, _mm256_madd_epi16(vc, vh));
  }
  return Sum8(acc);
}

bool HaveAvx2() {
  __builtin_cpu_init();  // needed when called from a static initializer
  return __builtin_cpu_supports("avx2");
}

#else

bool HaveAvx2() { return false; }
std::int32_t DotAvx2(const std::int16_t* c, const std::int16_t* h, int n) {
  return DotScalar(c, h, n);
}
std::int32_t AdaptDotAvx2(std::int16_t* c, const std::int16_t* a, const std::int16_t* h, int n,
                          int sign) {
  return AdaptDotScalar(c, a, h, n, sign);
}

#endif

const DotFn kDot = HaveAvx2() ? DotAvx2 : DotScalar;
const AdaptDotFn kAdaptDot = HaveAvx2() ? AdaptDotAvx2 : AdaptDotScalar;

}  // namespace

NnFilter::NnFilter(int order, int shift)
    : order_(order),
      shift_(shift),
      coeffChunks_(order / 16, Chunk{}),
      coeffs_(coeffChunks_.front().v),
      history_(order + kSlack, 0),
      adapt_(order + kSlack, 0),
      pos_(order) {}

void NnFilter::EncodeBlock(std::int32_t* values, int count) {
  std::int32_t dot = kDot(coeffs_, &history_[pos_ - order_], order_);
  for (int i = 0; i < count; ++i) values[i] = Encode(values[i], &dot);
}

std::int32_t NnFilter::Encode(std::int32_t value, std::int32_t* dot) {
  const auto prediction =
      static_cast<std::int32_t>((std::int64_t{*dot} + (std::int64_t{1} << (shift_ - 1))) >> shift_);
  const auto residual = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) -
                                                  static_cast<std::uint32_t>(prediction));
  const int sign = InverseSign(residual);
  history_[pos_] = Clamp16(value);
  // The update steps in use are those before this output's own step is added below.
  const std::int16_t* next = &history_[pos_ + 1 - order_];
  *dot = sign == 0 ? kDot(coeffs_, next, order_)
                   : kAdaptDot(coeffs_, &adapt_[pos_ - order_], next, order_, sign);

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
