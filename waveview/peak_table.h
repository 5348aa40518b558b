// The display peak table of the waveform view and the envelope queries drawn from it.
//
// The table holds, per block of blockFrames frames, the sampled minimum and maximum of
// channel 0 (L) and channel 1 (R); it never has more than 10,099 entries whatever the length.
// Envelopes of arbitrary frame ranges come from the table where a range covers whole blocks
// and from a few sampled frames of the mapped cache elsewhere. Samples are read only inside
// the mapping: frames past its end (a cache shorter than its header) are treated as absent.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Minimum and maximum per channel. 16-bit values as they are, 8-bit values minus 128, 24- and
// 32-bit values scaled to 16 bits (their top 16 bits).
struct Envelope {
  std::int32_t minL = 32767;
  std::int32_t maxL = -32768;
  std::int32_t minR = 32767;
  std::int32_t maxR = -32768;

  void Merge(const Envelope& other);
};

// Interleaved PCM frames in memory: `frames` whole frames at `data` (null: none).
struct SampleSource {
  const std::uint8_t* data = nullptr;
  std::int64_t frames = 0;
  std::int32_t channels = 0;
  std::int32_t bitsPerSample = 0;

  std::int32_t BlockAlign() const { return channels * (bitsPerSample / 8); }
  // 8, 16, 24 or 32 bits and at least one channel. Channels 0 and 1 are shown (L and R).
  bool Drawable() const;
};

class PeakTable {
 public:
  static constexpr std::int64_t kMinBlockFrames = 100;
  static constexpr std::int64_t kTargetBlocks = 10000;

  // Sizes the table for `totalFrames` (negative counts as 0) with every entry 0.
  void Reset(std::int64_t totalFrames);
  // Frees the entries; blockFrames returns to 100.
  void Clear();
  void SetEntry(std::int64_t block, const Envelope& env);
  Envelope Entry(std::int64_t block) const;

  std::int64_t blockFrames() const { return blockFrames_; }
  std::int64_t blockCount() const { return blockCount_; }
  std::size_t MemoryBytes() const;

  // The step between the frames sampled from n frames: max(1, n / 10).
  static std::int64_t SampleStride(std::int64_t n);
  // Sampled envelope of n frames from frame `start`: frames start + k × stride while
  // k × stride < n, stride = SampleStride(n). n ≤ 0 (or an unknown layout) gives the starting
  // values (8-bit: 127 / −128). Absent frames are skipped; when none was present the result
  // is silence (all 0).
  static Envelope BlockEnvelope(const SampleSource& src, std::int64_t n, std::int64_t start);
  // Folds entries first / blockFrames .. end / blockFrames − 1 into env; nothing when that
  // range is empty or reaches past the table.
  void TableEnvelope(std::int64_t first, std::int64_t end, Envelope& env) const;
  // Envelope of the n frames at pos (table for whole blocks, samples otherwise); pos += n.
  Envelope RangeEnvelope(const SampleSource& src, std::int64_t n, std::int64_t& pos) const;

  using ColumnFn = std::function<void(int column, const Envelope& env)>;
  // Walks the columns 1..width of a view of `totalFrames` at `zoom` starting at `viewStart`
  // and calls `draw` for every column that receives at least one frame. The per-column frame
  // count carries its fraction over in single precision, so columns get ⌊fpp⌋ or ⌈fpp⌉.
  void WalkColumns(const SampleSource& src, std::int64_t totalFrames, int width, double zoom,
                   std::int64_t viewStart, const ColumnFn& draw) const;

 private:
  std::int64_t blockFrames_ = kMinBlockFrames;
  std::int64_t blockCount_ = 0;
  std::vector<std::int16_t> minL_, maxL_, minR_, maxR_;
};
