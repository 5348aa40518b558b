#include "cd/raw_track_reader.h"

#include <algorithm>
#include <cerrno>

#include "cd/cd_report.h"
#include "platform/cdrom/track_path.h"
#include "res/cd_texts.h"

namespace cd {
namespace {

// The Windows error number a raw read would have given for the same failure.
int WindowsReadError(int error) {
  switch (error) {
    case ERANGE: return 27;     // ERROR_SECTOR_NOT_FOUND
    case ENOMEDIUM: return 21;  // ERROR_NOT_READY
    case EIO: return 23;        // ERROR_CRC
    default: return 31;         // ERROR_GEN_FAILURE
  }
}

}  // namespace

bool RawTrackReader::Open(const std::string& trackPath, const TrackExtent& extent) {
  Close();
  trackPath_ = trackPath;
  if (drive_.Open(platform::cdrom::DriveOfTrackPath(trackPath)) != 0) {
    ReportCdError(texts::kCdOpenDriveFailed, trackPath);
    return false;
  }
  nextSector_ = extent.firstSector;
  sectorsLeft_ = extent.sectorCount;
  failed_ = false;
  return true;
}

bool RawTrackReader::ReadNext(std::span<const std::uint8_t>& chunk) {
  buffer_.resize(kChunkBytes);
  const std::int64_t got = ReadInto(buffer_.data());
  if (got <= 0) return false;
  chunk = std::span<const std::uint8_t>(buffer_.data(), static_cast<std::size_t>(got));
  return true;
}

std::int64_t RawTrackReader::ReadInto(std::uint8_t* buffer) {
  if (!drive_.IsOpen() || failed_ || sectorsLeft_ == 0) return failed_ ? -1 : 0;
  const std::uint32_t n = std::min(sectorsLeft_, kSectorsPerRead);
  sectorsLeft_ -= n;
  if (const int error = drive_.ReadAudioSectors(nextSector_, n, buffer); error != 0) {
    failed_ = true;
    ReportCdError(FillIn(texts::kCdRawReadFailed, std::to_string(WindowsReadError(error))),
                  trackPath_);
    return -1;
  }
  nextSector_ += n;
  return std::int64_t{n} * static_cast<std::int64_t>(platform::cdrom::kSectorBytes);
}

void RawTrackReader::Close() {
  drive_.Close();
  buffer_.clear();
  buffer_.shrink_to_fit();
}

}  // namespace cd
