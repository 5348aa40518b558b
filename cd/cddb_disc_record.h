// One disc's entry of the CDDB database, as an xmcd record describes it (see xmcd.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cd {

struct CddbDiscRecord {
  std::vector<std::int32_t> trackFrameOffsets;
  std::int32_t discLengthSeconds = 0;
  std::int32_t revision = 0;
  std::string clientName;
  std::string clientVersion;
  std::string clientComment;
  std::uint32_t discId = 0;
  std::string artist;
  std::string title;                     // the disc's title
  std::vector<std::string> trackTitles;  // index = track number − 1
  std::string extendedDiscData;
  std::vector<std::string> extendedTrackData;
  std::vector<std::int32_t> playOrder;
  std::int32_t year = 0;
  std::string genre;
};

}  // namespace cd
