#include "cd/track_file.h"

#include <cerrno>
#include <vector>

#include "cd/cd_report.h"
#include "platform/byte_order.h"
#include "platform/cdrom/track_path.h"
#include "res/cd_texts.h"

namespace cd {
namespace {

constexpr std::size_t kFirstSectorOffset = 28;
constexpr std::size_t kSectorCountOffset = 32;

std::string CauseText(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return texts::kCdCauseNotFound;
    case EACCES:
    case EPERM: return texts::kCdCauseAccessDenied;
    case EISDIR: return texts::kCdCauseIsFolder;
    case ENOMEDIUM: return texts::kCdCauseNoDisc;
    case EBADMSG: return texts::kCdCauseBadToc;
    case EIO: return texts::kCdCauseIoError;
    default: return FillIn(texts::kCdCauseOther, std::to_string(error));
  }
}

}  // namespace

std::int64_t TrackDurationMs(const TrackExtent& extent) {
  return std::int64_t{extent.sectorCount} * 1000 / 75;
}

bool ParseTrackFile(const std::uint8_t* data, std::size_t size, TrackExtent& extent) {
  if (size < kSectorCountOffset + 4) return false;
  extent.firstSector = platform::LoadLe32(data + kFirstSectorOffset);
  extent.sectorCount = platform::LoadLe32(data + kSectorCountOffset);
  return true;
}

bool ReadTrackFile(const std::string& trackPath, TrackExtent& extent) {
  std::vector<std::uint8_t> bytes;
  if (const int error = platform::cdrom::ReadTrackFileBytes(trackPath, bytes); error != 0) {
    // Only reading an opened file fails with an input/output error.
    const char* format = error == EIO ? texts::kCdReadTrackFile : texts::kCdOpenTrackFile;
    ReportCdError(FillIn(format, CauseText(error)), trackPath);
    return false;
  }
  if (!ParseTrackFile(bytes.data(), bytes.size(), extent)) {
    ReportCdError(FillIn(texts::kCdReadTrackFile, texts::kCdCauseTooShort), trackPath);
    return false;
  }
  return true;
}

std::string TrackNumberText(const std::string& trackPath) {
  return trackPath.size() < 6 ? "" : trackPath.substr(trackPath.size() - 6, 2);
}

}  // namespace cd
