// The final prediction stage of the APE decoder (version 3.95 and later), run in reverse: from
// the wanted output of each channel it gives the value the decoder's stage must be fed. A
// channel's stage first removes a 31/32 first-order filter, then predicts from its own last
// four values (stage A) and, for stereo, from five values of the other channel's filtered
// output (stage B), adapting all coefficients by sign-sign steps.
//
// Stereo sums are taken modulo 2^32 or, in wide mode, with 64 bits, as the decoder does for the
// file's level; mono sums always wrap at 32 bits.
#pragma once

#include <cstdint>

namespace macdll {

class Predictor {
 public:
  // `wide`: stereo sums with 64 bits (otherwise modulo 2^32).
  explicit Predictor(bool wide);

  // Input for a mono (or identical-channel) frame's next output `x`.
  std::int32_t EncodeMono(std::int32_t x);
  // Inputs for a stereo frame's next outputs: `side` (decoded first) and `mid`. False when the
  // wide sums leave no 32-bit input that gives these outputs.
  bool EncodeStereo(std::int32_t side, std::int32_t mid, std::int32_t* sideIn, std::int32_t* midIn);

 private:
  struct Channel {
    std::int64_t last = 0;       // the stage's previous value before the first-order filter
    std::int64_t filtered = 0;   // the previous output
    std::int64_t crossPrev = 0;  // the other channel's output one block before
    std::int64_t a[4] = {};      // stage A inputs of the current step: value, then differences
    std::int64_t b[5] = {};      // stage B inputs, likewise
    std::int64_t coeffA[4] = {360, 317, -109, 98};
    std::int64_t coeffB[5] = {};
  };

  bool EncodeChannel(Channel& ch, std::int64_t crossOutput, std::int32_t x, std::int32_t* in);
  static void PushLast(Channel& ch);
  static void AdaptChannel(Channel& ch, std::int32_t in, bool withB);

  bool wide_;
  Channel channels_[2];
};

}  // namespace macdll
