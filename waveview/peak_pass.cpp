#include "waveview/peak_pass.h"

#include <unistd.h>

#include <algorithm>

namespace {

// Pages not in memory yet are requested as runs of adjacent pages, one request per run.
class PageRuns {
 public:
  // `resident` describes the pages from `firstPage` on (see FileMap::ResidentPages).
  PageRuns(const platform::FileMap& map, std::int64_t page, std::int64_t firstPage,
           std::vector<std::uint8_t> resident)
      : map_(map), page_(page), firstPage_(firstPage), resident_(std::move(resident)) {}
  ~PageRuns() { Flush(); }

  void Add(std::int64_t offset, std::int64_t length) {
    const std::int64_t first = offset / page_;
    const std::int64_t last = (offset + length - 1) / page_;
    const std::int64_t known = first - firstPage_;
    if (known >= 0 && known < static_cast<std::int64_t>(resident_.size()) &&
        (resident_[static_cast<std::size_t>(known)] & 1) != 0)
      return;
    if (end_ > begin_ && first <= end_) {
      end_ = std::max(end_, last + 1);
      return;
    }
    Flush();
    begin_ = first;
    end_ = last + 1;
  }

 private:
  void Flush() {
    if (end_ > begin_)
      map_.Prefetch(static_cast<std::size_t>(begin_ * page_),
                    static_cast<std::size_t>((end_ - begin_) * page_));
    begin_ = end_ = 0;
  }

  const platform::FileMap& map_;
  const std::int64_t page_;
  const std::int64_t firstPage_;
  const std::vector<std::uint8_t> resident_;
  std::int64_t begin_ = 0;  // pages [begin_, end_) wait to be requested
  std::int64_t end_ = 0;
};

}  // namespace

// A file already in the page cache costs one residency query per call, not one request per
// sampled page.
void PeakPass::Prefetch(const platform::FileMap& map, std::int64_t dataOffset,
                        const SampleSource& src, const PeakTable& table, std::int64_t first,
                        std::int64_t end) {
  const std::int64_t n = table.blockFrames();
  const std::int64_t stride = PeakTable::SampleStride(n);
  const std::int32_t align = src.BlockAlign();
  const std::int64_t from = dataOffset + first * n * align;
  const auto page = static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));
  PageRuns runs(map, page, from / page,
                map.ResidentPages(static_cast<std::size_t>(from),
                                  static_cast<std::size_t>((end - first) * n * align)));
  for (std::int64_t block = first; block < end; ++block) {
    for (std::int64_t k = 0; k < n; k += stride) {
      const std::int64_t frame = block * n + k;
      if (frame >= src.frames) return;
      runs.Add(dataOffset + frame * align, align);
    }
  }
}

void PeakPass::Run(const platform::FileMap& map, std::int64_t dataOffset, const SampleSource& src,
                   PeakTable& table, const std::function<void(int percent)>& progress) {
  const std::int64_t count = table.blockCount();
  const std::int64_t frames = table.blockFrames();
  const std::int64_t blockBytes = frames * src.BlockAlign();
  const auto release = [&](std::int64_t first, std::int64_t end) {
    map.Release(static_cast<std::size_t>(dataOffset + first * blockBytes),
                static_cast<std::size_t>((end - first) * blockBytes));
  };
  map.AdviseRandom();
  std::int64_t requested = 0;
  int lastPercent = 0;
  for (std::int64_t j = 0; j < count; ++j) {
    if (j % kWindowBlocks == 0) {
      const std::int64_t ahead = std::min(count, j + kAheadBlocks);
      Prefetch(map, dataOffset, src, table, requested, ahead);
      requested = ahead;
      if (j > 0) release(j - kWindowBlocks, j);
    }
    table.SetEntry(j, PeakTable::BlockEnvelope(src, frames, j * frames));
    const auto percent = static_cast<int>(j * 100 / count + 1);
    if (percent != lastPercent) {
      progress(percent);
      lastPercent = percent;
    }
  }
  if (count > 0) release((count - 1) / kWindowBlocks * kWindowBlocks, count);
}
