// The track file of a CD track: where the track lies on its disc.
//
// Only two little-endian 32-bit values count: the first sector at byte 28 and the sector
// count at byte 32. Track paths follow platform/cdrom/track_path.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cd {

struct TrackExtent {
  std::uint32_t firstSector = 0;  // logical sector of the disc
  std::uint32_t sectorCount = 0;
};

// The track's length in milliseconds, truncated (75 sectors to the second; 64-bit, so no
// sector count overflows).
std::int64_t TrackDurationMs(const TrackExtent& extent);
// Reads the two values from the bytes of a track file; false when it has fewer than 36.
bool ParseTrackFile(const std::uint8_t* data, std::size_t size, TrackExtent& extent);
// Reads the track file at `trackPath`. On failure reports "无法打开文件，因为 <cause>。" or,
// for a file too short to hold the values, "无法搜索/读取文件，因为 <cause>。", and returns
// false.
bool ReadTrackFile(const std::string& trackPath, TrackExtent& extent);
// The track number text: the two characters 6 and 5 places from the end of the path ("05"
// of ".../Track05.cda"); "" for a shorter path.
std::string TrackNumberText(const std::string& trackPath);

}  // namespace cd
