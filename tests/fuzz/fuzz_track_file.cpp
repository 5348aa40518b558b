// libFuzzer target for track files and track paths: the input is a track file's bytes and,
// read as text, a path. Reading the two values, naming the track and classifying the name
// must not crash; a track file made from the values must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cd/track_file.h"
#include "platform/cdrom/track_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cd::TrackExtent extent;
  if (cd::ParseTrackFile(data, size, extent)) {
    platform::cdrom::CdTrack track;
    track.number = data[0];
    track.firstSector = extent.firstSector;
    track.sectorCount = extent.sectorCount;
    const std::vector<std::uint8_t> made = platform::cdrom::MakeTrackFile(track);
    cd::TrackExtent again;
    if (!cd::ParseTrackFile(made.data(), made.size(), again) ||
        again.firstSector != extent.firstSector || again.sectorCount != extent.sectorCount) {
      std::abort();
    }
  }
  const std::string path(reinterpret_cast<const char*>(data), size);
  if (cd::TrackNumberText(path).size() > 2) std::abort();
  const int position = platform::cdrom::TrackPositionFromName(path);
  if (position < 0 || position > 99) std::abort();
  return 0;
}
