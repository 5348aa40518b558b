#include "modules/macdll/predictor.h"

namespace macdll {
namespace {

int InverseSign(std::int64_t x) { return (x < 0) - (x > 0); }

// Sum of v[i] * c[i] with 64-bit wraparound, as the decoder forms it.
template <int N>
std::uint64_t Sum(const std::int64_t (&v)[N], const std::int64_t (&c)[N]) {
  std::uint64_t sum = 0;
  for (int i = 0; i < N; ++i)
    sum += static_cast<std::uint64_t>(v[i]) * static_cast<std::uint64_t>(c[i]);
  return sum;
}

std::int32_t Low32(std::uint64_t x) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(x));
}

std::int32_t Sub32(std::int64_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// The first-order filter the decoder adds back: 31/32 of the previous output, floored.
std::int64_t Decay(std::int64_t previous) { return (previous * 31) >> 5; }

}  // namespace

Predictor::Predictor(bool wide) : wide_(wide) {}

// Stage A sees the previous value, its change, and the two changes before.
void Predictor::PushLast(Channel& ch) {
  ch.a[3] = ch.a[2];
  ch.a[2] = ch.a[1];
  ch.a[1] = ch.last - ch.a[0];
  ch.a[0] = ch.last;
}

std::int32_t Predictor::EncodeMono(std::int32_t x) {
  Channel& ch = channels_[0];
  PushLast(ch);
  const std::int32_t prediction = Low32(Sum(ch.a, ch.coeffA)) >> 10;
  ch.last = x - Decay(ch.filtered);
  ch.filtered = x;
  const std::int32_t in = Sub32(ch.last, prediction);
  AdaptChannel(ch, in, false);
  return in;
}

bool Predictor::EncodeStereo(std::int32_t side, std::int32_t mid, std::int32_t* sideIn,
                             std::int32_t* midIn) {
  // The side channel sees the mid channel's previous output, the mid channel the new side.
  return EncodeChannel(channels_[0], channels_[1].filtered, side, sideIn) &&
         EncodeChannel(channels_[1], channels_[0].filtered, mid, midIn);
}

bool Predictor::EncodeChannel(Channel& ch, std::int64_t crossOutput, std::int32_t x,
                              std::int32_t* in) {
  PushLast(ch);
  const std::int64_t cross = crossOutput - Decay(ch.crossPrev);
  ch.crossPrev = crossOutput;
  for (int i = 4; i > 1; --i) ch.b[i] = ch.b[i - 1];
  ch.b[1] = cross - ch.b[0];
  ch.b[0] = cross;
  const std::uint64_t sumA = Sum(ch.a, ch.coeffA);
  const std::uint64_t sumB = Sum(ch.b, ch.coeffB);
  ch.last = x - Decay(ch.filtered);
  ch.filtered = x;
  if (wide_) {
    const std::int64_t prediction =
        static_cast<std::int64_t>(
            sumA + static_cast<std::uint64_t>(static_cast<std::int64_t>(sumB) >> 1)) >>
        10;
    const std::int64_t value = ch.last - prediction;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    *in = static_cast<std::int32_t>(value);
  } else {
    const std::int32_t sum = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(Low32(sumA)) + static_cast<std::uint32_t>(Low32(sumB) >> 1));
    *in = Sub32(ch.last, sum >> 10);
  }
  AdaptChannel(ch, *in, true);
  return true;
}

void Predictor::AdaptChannel(Channel& ch, std::int32_t in, bool withB) {
  const int sign = InverseSign(in);
  if (sign == 0) return;
  for (int i = 0; i < 4; ++i) ch.coeffA[i] += InverseSign(ch.a[i]) * sign;
  if (!withB) return;
  for (int i = 0; i < 5; ++i) ch.coeffB[i] += InverseSign(ch.b[i]) * sign;
}

}  // namespace macdll
