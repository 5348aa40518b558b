// The descriptor and header of an APE file: reading (and checking) those of every version the
// decoder handles, and writing those of version 3.99.
#pragma once

#include <cstdint>
#include <vector>

#include "modules/macdll/byte_source.h"

namespace macdll {

class ApeHeader {
 public:
  int version = 3990;
  int level = 2000;
  int channels = 0;
  int bits = 0;
  std::uint32_t sampleRate = 0;
  std::uint32_t blocksPerFrame = 0;
  std::uint32_t finalFrameBlocks = 0;
  std::uint32_t totalFrames = 0;
  // File offset of each frame (filled by Read).
  std::vector<std::int64_t> framePositions;

  // Reads the header at the start of `source` (after any ID3v2 tags) and checks that every
  // count in it is sane and every table it announces lies inside the file. False for anything
  // else, including versions before 3.80 or after 3.99.
  bool Read(ByteSource& source);

  // Blocks of audio the header announces.
  std::int64_t TotalBlocks() const;

  // The descriptor, header and seek table of a version 3.99 file whose frames, `frameBytes` in
  // all, follow the table; the wave header is left for the decoder to rebuild.
  std::vector<std::uint8_t> Serialize(const std::vector<std::uint32_t>& seekTable,
                                      std::uint64_t frameBytes) const;

 private:
  struct Layout {
    std::int64_t seekTable = 0;    // where the seek table starts
    std::int64_t seekEntries = 0;  // entries it holds
    std::int64_t firstFrame = 0;
    std::int64_t start = 0;     // bytes before "MAC " (ID3v2 tags), added to every table entry
    std::int64_t trailing = 0;  // wave data stored after the frames
  };

  bool ReadCurrent(ByteSource& source, std::int64_t start, Layout* layout);
  bool ReadOld(ByteSource& source, std::int64_t start, Layout* layout);
  bool Sane(const Layout& layout, std::int64_t fileSize) const;
  bool ReadFramePositions(ByteSource& source, const Layout& layout);
};

}  // namespace macdll
