#include "waveview/peak_table.h"

#include <algorithm>
#include <cstring>

namespace {

// 8-bit samples as the unsigned bytes they are; wider ones by their top 16 bits.
std::int32_t ReadSample(const std::uint8_t* p, int bits) {
  if (bits == 8) return *p;
  const int top = bits / 8 - 2;  // the byte where the top 16 bits start
  std::int16_t v;
  std::memcpy(&v, p + top, sizeof v);  // little-endian host
  return v;
}

// Folds the sampled frames into env; returns whether any frame lay inside the source.
bool FoldSamples(const SampleSource& src, std::int64_t n, std::int64_t start, Envelope& env) {
  const std::int64_t stride = PeakTable::SampleStride(n);
  const std::int32_t align = src.BlockAlign();
  const int bits = src.bitsPerSample;
  const int step = bits / 8;
  bool any = false;
  for (std::int64_t k = 0; k < n; k += stride) {
    const std::int64_t frame = start + k;
    if (frame < 0 || frame >= src.frames) continue;
    const std::uint8_t* p = src.data + frame * align;
    const std::int32_t l = ReadSample(p, bits);
    env.minL = std::min(env.minL, l);
    env.maxL = std::max(env.maxL, l);
    if (src.channels >= 2) {
      const std::int32_t r = ReadSample(p + step, bits);
      env.minR = std::min(env.minR, r);
      env.maxR = std::max(env.maxR, r);
    }
    any = true;
  }
  return any;
}

}  // namespace

void Envelope::Merge(const Envelope& o) {
  minL = std::min(minL, o.minL);
  maxL = std::max(maxL, o.maxL);
  minR = std::min(minR, o.minR);
  maxR = std::max(maxR, o.maxR);
}

bool SampleSource::Drawable() const {
  const bool width =
      bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32;
  return width && channels >= 1;
}

std::int64_t PeakTable::SampleStride(std::int64_t n) { return std::max<std::int64_t>(1, n / 10); }

void PeakTable::Reset(std::int64_t totalFrames) {
  totalFrames = std::max<std::int64_t>(0, totalFrames);
  blockFrames_ = std::max(kMinBlockFrames, totalFrames / kTargetBlocks);
  blockCount_ = totalFrames / blockFrames_;
  const auto count = static_cast<std::size_t>(blockCount_);
  minL_.assign(count, 0);
  maxL_.assign(count, 0);
  minR_.assign(count, 0);
  maxR_.assign(count, 0);
}

void PeakTable::Clear() {
  blockFrames_ = kMinBlockFrames;
  blockCount_ = 0;
  for (auto* v : {&minL_, &maxL_, &minR_, &maxR_}) {
    v->clear();
    v->shrink_to_fit();
  }
}

void PeakTable::SetEntry(std::int64_t block, const Envelope& env) {
  if (block < 0 || block >= blockCount_) return;
  const auto i = static_cast<std::size_t>(block);
  minL_[i] = static_cast<std::int16_t>(env.minL);
  maxL_[i] = static_cast<std::int16_t>(env.maxL);
  minR_[i] = static_cast<std::int16_t>(env.minR);
  maxR_[i] = static_cast<std::int16_t>(env.maxR);
}

Envelope PeakTable::Entry(std::int64_t block) const {
  Envelope env;
  if (block < 0 || block >= blockCount_) return env;
  const auto i = static_cast<std::size_t>(block);
  env.minL = minL_[i];
  env.maxL = maxL_[i];
  env.minR = minR_[i];
  env.maxR = maxR_[i];
  return env;
}

std::size_t PeakTable::MemoryBytes() const {
  return sizeof(std::int16_t) *
         (minL_.capacity() + maxL_.capacity() + minR_.capacity() + maxR_.capacity());
}

Envelope PeakTable::BlockEnvelope(const SampleSource& src, std::int64_t n, std::int64_t start) {
  Envelope env;
  if (!src.Drawable()) return env;
  if (src.bitsPerSample == 8) {
    env.minL = env.minR = 255;
    env.maxL = env.maxR = 0;
  }
  const bool any = n > 0 && FoldSamples(src, n, start, env);
  if (n > 0 && !any) return Envelope{0, 0, 0, 0};
  if (src.bitsPerSample == 8) {
    env.minL -= 128;
    env.maxL -= 128;
    env.minR -= 128;
    env.maxR -= 128;
  }
  if (src.channels == 1) env.minR = env.maxR = 0;
  return env;
}

void PeakTable::TableEnvelope(std::int64_t first, std::int64_t end, Envelope& env) const {
  const std::int64_t i0 = first / blockFrames_;
  const std::int64_t i1 = end / blockFrames_;
  if (i0 < 0 || i0 >= blockCount_ || i1 > blockCount_ || i0 >= i1) return;
  const auto b = static_cast<std::size_t>(i0);
  const auto e = static_cast<std::size_t>(i1);
  env.minL = std::min<std::int32_t>(env.minL, *std::min_element(&minL_[b], &minL_[0] + e));
  env.maxL = std::max<std::int32_t>(env.maxL, *std::max_element(&maxL_[b], &maxL_[0] + e));
  env.minR = std::min<std::int32_t>(env.minR, *std::min_element(&minR_[b], &minR_[0] + e));
  env.maxR = std::max<std::int32_t>(env.maxR, *std::max_element(&maxR_[b], &maxR_[0] + e));
}

Envelope PeakTable::RangeEnvelope(const SampleSource& src, std::int64_t n,
                                  std::int64_t& pos) const {
  Envelope env;
  if (n <= blockFrames_) {
    env = BlockEnvelope(src, n, pos);
  } else {
    const std::int64_t end = pos + n;
    const std::int64_t e = end - end % blockFrames_;
    const std::int64_t f =
        (pos % blockFrames_ == 0) ? pos : pos - pos % blockFrames_ + blockFrames_;
    if (e > f) {
      TableEnvelope(f, e, env);
    } else {
      if (pos % blockFrames_ != 0) env.Merge(BlockEnvelope(src, f - pos, pos));
      env.Merge(BlockEnvelope(src, end - e, e));
    }
  }
  pos += n;
  return env;
}

void PeakTable::WalkColumns(const SampleSource& src, std::int64_t totalFrames, int width,
                            double zoom, std::int64_t viewStart, const ColumnFn& draw) const {
  if (width <= 0 || totalFrames <= 0 || !(zoom > 0.0)) return;
  const double fpp = static_cast<double>(totalFrames) / width / zoom;
  std::int64_t pos = viewStart;
  float acc = 0.0f;
  for (double x = 1.0; x <= width; x += 1.0) {
    const int column = static_cast<int>(x + 0.5);
    acc = static_cast<float>(acc + fpp);
    if (acc < 1.0f) continue;
    if (static_cast<double>(pos) + acc > static_cast<double>(totalFrames)) {
      acc = static_cast<float>(totalFrames - pos);
    }
    const auto n = static_cast<std::int64_t>(acc);
    // Nothing left to show: a column of no frames would otherwise draw the starting extremes.
    if (n <= 0) continue;
    const Envelope env = RangeEnvelope(src, n, pos);
    acc -= static_cast<float>(n);
    draw(column, env);
  }
}
