#include "cd/disc_toc.h"

#include <algorithm>

#include "platform/cdrom/cdrom_drive.h"
#include "platform/cdrom/track_path.h"

namespace cd {
namespace {

using platform::cdrom::CdromDrive;
using platform::cdrom::kLeadInSectors;

std::uint32_t Seconds(const TocEntry& entry) { return entry.minute * 60 + entry.second; }

std::uint32_t DigitSum(std::uint32_t value) {
  std::uint32_t sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

// One frame more than the start of the last track plus its length: the CD audio device
// reports the last track one frame shorter than it is.
TocEntry LeadOut(const TocEntry& lastStart, const TocEntry& lastLength) {
  const std::uint32_t total =
      ((lastStart.minute + lastLength.minute) * 60 + lastStart.second + lastLength.second) * 75 +
      lastStart.frame + lastLength.frame + 1;
  return TocEntryFromFrames(total);
}

}  // namespace

TocEntry TocEntryFromFrames(std::uint32_t frames) {
  return {frames / 4500, frames / 75 % 60, frames % 75};
}

std::uint32_t FrameOffset(const TocEntry& entry) {
  return entry.minute * 4500 + entry.second * 75 + entry.frame;
}

std::uint32_t DiscLengthSeconds(const DiscToc& toc) {
  return toc.empty() ? 0 : Seconds(toc.back());
}

bool ReadDiscToc(DiscToc& toc, const std::string& trackPath) {
  toc.clear();
  CdromDrive drive;
  if (drive.Open(platform::cdrom::DriveOfTrackPath(trackPath)) != 0) return false;
  const auto& tracks = drive.Tracks();
  if (std::none_of(tracks.begin(), tracks.end(), [](const auto& t) { return t.audio; })) {
    return false;
  }
  for (const auto& track : tracks) {
    toc.push_back(TocEntryFromFrames(track.firstSector + kLeadInSectors));
  }
  const TocEntry reportedLength = TocEntryFromFrames(tracks.back().sectorCount - 1);
  toc.push_back(LeadOut(toc.back(), reportedLength));
  return true;
}

std::uint32_t ComputeDiscId(const DiscToc& toc) {
  if (toc.size() < 2) return 0;
  const std::uint32_t tracks = static_cast<std::uint32_t>(toc.size() - 1);
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < tracks; ++i) n += DigitSum(Seconds(toc[i]));
  const std::uint32_t t = Seconds(toc.back()) - Seconds(toc.front());
  return (n % 255) << 24 | t << 8 | tracks;
}

bool ComputeDiscIdForPath(const std::string& trackPath, std::uint32_t& id) {
  DiscToc toc;
  if (!ReadDiscToc(toc, trackPath)) return false;
  id = ComputeDiscId(toc);
  return true;
}

}  // namespace cd
