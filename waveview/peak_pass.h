// Fills a PeakTable from a PCM cache mapped in a FileMap while touching only the pages whose
// frames the table samples: read-ahead is turned off for the mapping, the sampled pages of the
// blocks ahead are requested together (so the disk serves them in parallel, not one fault at a
// time), and the pages of the blocks done are released, so resident memory stays small
// whatever the file's length. The entries are those of PeakTable::BlockEnvelope.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/file_map.h"
#include "waveview/peak_table.h"

class PeakPass {
 public:
  static constexpr std::int64_t kWindowBlocks = 64;  // blocks between two releases
  static constexpr std::int64_t kAheadBlocks = 512;  // blocks whose pages are requested ahead

  // `src` describes the frames of `map` from byte `dataOffset` on; `table` has been Reset.
  // `progress` receives 1..100, each value once, in order.
  static void Run(const platform::FileMap& map, std::int64_t dataOffset, const SampleSource& src,
                  PeakTable& table, const std::function<void(int percent)>& progress);

 private:
  // Requests the pages of the sampled frames of blocks [first, end).
  static void Prefetch(const platform::FileMap& map, std::int64_t dataOffset,
                       const SampleSource& src, const PeakTable& table, std::int64_t first,
                       std::int64_t end);
};
