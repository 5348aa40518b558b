// Encodes one frame of a version 3.99 APE file from interleaved PCM. Frames are independent of
// each other (every coder and filter starts afresh), so they may be encoded in parallel.
//
// A frame is a checksum (CRC-32 of the PCM as the wave file holds it, shifted right by one),
// optional flags (silence, or identical channels coded once), then the range-coded residuals of
// the inverse decoder pipeline: mid/side, the predictor stage, the level's filter stages.
#pragma once

#include <cstdint>
#include <vector>

namespace macdll {

class FrameEncoder {
 public:
  // channels 1 or 2; bits 8, 16 or 24; level 1000…5000 in steps of 1000 (the caller has
  // already mapped combinations that decoders disagree on).
  FrameEncoder(int channels, int bits, int level);

  // Blocks per frame that files of `level` use.
  static std::uint32_t BlocksPerFrame(int level);

  // Replaces *frame with the frame for `blocks` blocks (>= 1) of `pcm`, padded to whole 32-bit
  // words in file order. False when the audio cannot be represented at this level.
  bool Encode(const std::uint8_t* pcm, int blocks, std::vector<std::uint8_t>* frame) const;

 private:
  void Unpack(const std::uint8_t* pcm, int blocks, std::vector<std::int32_t>* first,
              std::vector<std::int32_t>* second) const;
  void Filter(std::vector<std::int32_t>* values) const;
  void EncodeMono(std::vector<std::int32_t> values, std::vector<std::uint8_t>* stream) const;
  bool EncodeStereo(const std::vector<std::int32_t>& left, const std::vector<std::int32_t>& right,
                    std::vector<std::uint8_t>* stream) const;

  int channels_;
  int bits_;
  int level_;
};

}  // namespace macdll
