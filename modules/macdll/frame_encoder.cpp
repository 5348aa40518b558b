#include "modules/macdll/frame_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

#include "modules/macdll/nn_filter.h"
#include "modules/macdll/predictor.h"
#include "modules/macdll/range_encoder.h"
#include "modules/macdll/residual_coder.h"

namespace macdll {
namespace {

constexpr std::uint32_t kFlagsFollow = 0x80000000u;
constexpr std::uint32_t kMonoSilence = 1;
constexpr std::uint32_t kStereoSilence = 3;
constexpr std::uint32_t kIdenticalChannels = 4;

struct FilterStage {
  int order;
  int shift;
};

// The decoder's filter stages per level, in the order it applies them.
const std::vector<FilterStage>& StagesFor(int level) {
  static const std::vector<FilterStage> kStages[5] = {
      {}, {{16, 11}}, {{64, 11}}, {{32, 10}, {256, 13}}, {{16, 11}, {256, 13}, {1280, 15}},
  };
  return kStages[level / 1000 - 1];
}

void PutBigEndian(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t FrameCrc(const std::uint8_t* pcm, std::size_t bytes) {
  return static_cast<std::uint32_t>(crc32_z(0, pcm, bytes)) >> 1;
}

// The stream is read as big-endian 32-bit words stored little-endian: pad, then swap.
void StoreWords(std::vector<std::uint8_t> stream, std::vector<std::uint8_t>* frame) {
  stream.resize((stream.size() + 3) & ~std::size_t{3}, 0);
  for (std::size_t i = 0; i < stream.size(); i += 4) {
    std::swap(stream[i], stream[i + 3]);
    std::swap(stream[i + 1], stream[i + 2]);
  }
  *frame = std::move(stream);
}

bool AllZero(const std::vector<std::int32_t>& v) {
  return std::all_of(v.begin(), v.end(), [](std::int32_t x) { return x == 0; });
}

}  // namespace

FrameEncoder::FrameEncoder(int channels, int bits, int level)
    : channels_(channels), bits_(bits), level_(level) {}

std::uint32_t FrameEncoder::BlocksPerFrame(int level) { return level >= 4000 ? 73728 * 4 : 73728; }

bool FrameEncoder::Encode(const std::uint8_t* pcm, int blocks,
                          std::vector<std::uint8_t>* frame) const {
  std::vector<std::int32_t> first, second;
  Unpack(pcm, blocks, &first, &second);
  const std::size_t bytes = static_cast<std::size_t>(blocks) * channels_ * (bits_ / 8);
  const std::uint32_t crc = FrameCrc(pcm, bytes);

  std::uint32_t flags = 0;
  if (AllZero(first) && (channels_ == 1 || AllZero(second))) {
    flags = channels_ == 1 ? kMonoSilence : kStereoSilence;
  } else if (channels_ == 2 && first == second) {
    flags = kIdenticalChannels;
  }
  std::vector<std::uint8_t> stream;
  stream.reserve(bytes / 2 + 64);
  PutBigEndian(&stream, flags != 0 ? crc | kFlagsFollow : crc);
  if (flags != 0) PutBigEndian(&stream, flags);
  if (flags == kMonoSilence || flags == kStereoSilence) {
    PutBigEndian(&stream, 0);  // room for what the decoder reads before noticing the silence
  } else if (channels_ == 1 || flags == kIdenticalChannels) {
    EncodeMono(std::move(first), &stream);
  } else if (!EncodeStereo(first, second, &stream)) {
    return false;
  }
  StoreWords(std::move(stream), frame);
  return true;
}

void FrameEncoder::Unpack(const std::uint8_t* pcm, int blocks, std::vector<std::int32_t>* first,
                          std::vector<std::int32_t>* second) const {
  first->resize(blocks);
  second->resize(channels_ == 2 ? blocks : 0);
  std::vector<std::int32_t>* out[2] = {first, second};
  const int width = bits_ / 8;
  for (int i = 0; i < blocks; ++i) {
    for (int c = 0; c < channels_; ++c, pcm += width) {
      std::int32_t v;
      if (width == 1) {
        v = pcm[0] - 128;
      } else if (width == 2) {
        v = static_cast<std::int16_t>(pcm[0] | pcm[1] << 8);
      } else {
        v = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(pcm[0] | pcm[1] << 8 | pcm[2] << 16) << 8) >>
            8;
      }
      (*out[c])[i] = v;
    }
  }
}

void FrameEncoder::Filter(std::vector<std::int32_t>* values) const {
  const auto& stages = StagesFor(level_);
  for (auto it = stages.rbegin(); it != stages.rend(); ++it) {
    NnFilter(it->order, it->shift).EncodeBlock(values->data(), static_cast<int>(values->size()));
  }
}

void FrameEncoder::EncodeMono(std::vector<std::int32_t> values,
                              std::vector<std::uint8_t>* stream) const {
  Predictor predictor(false);
  for (auto& v : values) v = predictor.EncodeMono(v);
  Filter(&values);
  stream->push_back(0);  // the decoder skips the first byte
  RangeEncoder encoder(stream);
  ResidualCoder coder(&encoder);
  for (const std::int32_t v : values) coder.Encode(v);
  encoder.Finish();
}

bool FrameEncoder::EncodeStereo(const std::vector<std::int32_t>& left,
                                const std::vector<std::int32_t>& right,
                                std::vector<std::uint8_t>* stream) const {
  const std::size_t n = left.size();
  std::vector<std::int32_t> side(n), mid(n);
  Predictor predictor(level_ == 5000);
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t s = right[i] - left[i];
    if (!predictor.EncodeStereo(s, left[i] + s / 2, &side[i], &mid[i])) return false;
  }
  Filter(&side);
  Filter(&mid);
  stream->push_back(0);
  RangeEncoder encoder(stream);
  ResidualCoder sideCoder(&encoder), midCoder(&encoder);
  for (std::size_t i = 0; i < n; ++i) {
    sideCoder.Encode(side[i]);
    midCoder.Encode(mid[i]);
  }
  encoder.Finish();
  return true;
}

}  // namespace macdll
