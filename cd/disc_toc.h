// The table of contents of the disc that holds a track, and its CDDB disc id.
//
// Positions are absolute disc time in minutes, seconds and frames (75 to the second), so
// they include the 2-second lead-in: the first track of an ordinary audio disc starts at
// 00:02:00. These functions report nothing; callers show their own message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cd {

struct TocEntry {
  std::uint32_t minute = 0;
  std::uint32_t second = 0;
  std::uint32_t frame = 0;

  bool operator==(const TocEntry&) const = default;
};

// For a disc of N tracks: N + 1 entries, entry i the start of the disc's track i + 1 (data
// tracks included) and entry N the lead-out. Empty = no table.
using DiscToc = std::vector<TocEntry>;

TocEntry TocEntryFromFrames(std::uint32_t frames);
// minute × 4500 + second × 75 + frame.
std::uint32_t FrameOffset(const TocEntry& entry);
// The lead-out in whole seconds (frames dropped); 0 for an empty table.
std::uint32_t DiscLengthSeconds(const DiscToc& toc);

// Reads the table of the disc in the drive of `trackPath` (a track path, see
// platform/cdrom/track_path.h). Needs at least one audio track. False leaves `toc` empty.
bool ReadDiscToc(DiscToc& toc, const std::string& trackPath);
// The CDDB disc id of `toc`, which holds at least 2 entries.
std::uint32_t ComputeDiscId(const DiscToc& toc);
// ReadDiscToc and ComputeDiscId in one step; false when the table cannot be read.
bool ComputeDiscIdForPath(const std::string& trackPath, std::uint32_t& id);

}  // namespace cd
