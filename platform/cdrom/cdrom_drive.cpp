#include "platform/cdrom/cdrom_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/memory.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <cerrno>
#include <mutex>

namespace platform::cdrom {
namespace {

// libcdio writes its warnings to stderr; every failure is returned to our callers instead.
void QuietLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_loglevel_default = CDIO_LOG_ASSERT; });
}

std::string TakeString(char* text) {
  std::string result = text != nullptr ? text : "";
  cdio_free(text);
  return result;
}

}  // namespace

CdromDrive::~CdromDrive() { Close(); }

int CdromDrive::Open(const std::string& drive) {
  Close();
  QuietLibrary();
  struct stat st {};
  if (drive.empty() || stat(drive.c_str(), &st) != 0) return ENOENT;
  if (S_ISDIR(st.st_mode)) return ENOMEDIUM;
  cdio_ = cdio_open(drive.c_str(), DRIVER_UNKNOWN);
  if (cdio_ == nullptr) return ENOMEDIUM;
  const int error = ReadTable();
  if (error != 0) Close();
  return error;
}

void CdromDrive::Close() {
  if (cdio_ != nullptr) cdio_destroy(cdio_);
  cdio_ = nullptr;
  tracks_.clear();
  leadOut_ = 0;
}

// Images and discs can carry any numbers; only a table whose tracks follow one another
// inside the disc is kept, so every length derived from it is positive.
int CdromDrive::ReadTable() {
  const track_t first = cdio_get_first_track_num(cdio_);
  const track_t count = cdio_get_num_tracks(cdio_);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count < 1 ||
      count > kMaxTracks) {
    return EBADMSG;
  }
  const lsn_t leadOut = cdio_get_track_lsn(cdio_, CDIO_CDROM_LEADOUT_TRACK);
  lsn_t previous = -1;
  for (int i = 0; i < count; ++i) {
    const track_t number = static_cast<track_t>(first + i);
    const lsn_t start = cdio_get_track_lsn(cdio_, number);
    if (start == CDIO_INVALID_LSN || start <= previous || start >= leadOut) return EBADMSG;
    if (!tracks_.empty()) {
      tracks_.back().sectorCount = static_cast<std::uint32_t>(start - previous);
    }
    CdTrack track;
    track.number = number;
    track.firstSector = static_cast<std::uint32_t>(start);
    track.audio = cdio_get_track_format(cdio_, number) == TRACK_FORMAT_AUDIO;
    tracks_.push_back(track);
    previous = start;
  }
  tracks_.back().sectorCount = static_cast<std::uint32_t>(leadOut - previous);
  leadOut_ = static_cast<std::uint32_t>(leadOut);
  return 0;
}

int CdromDrive::ReadAudioSectors(std::uint64_t first, std::uint32_t count, std::uint8_t* buffer) {
  if (cdio_ == nullptr) return ENOMEDIUM;
  // libcdio reads past the end of an image without complaint, so the range is checked here.
  if (first > leadOut_ || count > leadOut_ - first) return ERANGE;
  if (count == 0) return 0;
  const driver_return_code_t rc =
      cdio_read_audio_sectors(cdio_, buffer, static_cast<lsn_t>(first), count);
  return rc == DRIVER_OP_SUCCESS ? 0 : EIO;
}

std::string DefaultDrive() {
  QuietLibrary();
  return TakeString(cdio_get_default_device(nullptr));
}

std::vector<std::string> SystemDrives() {
  QuietLibrary();
  std::vector<std::string> drives;
  char** list = cdio_get_devices(DRIVER_DEVICE);
  for (char** p = list; p != nullptr && *p != nullptr; ++p) drives.emplace_back(*p);
  if (list != nullptr) cdio_free_device_list(list);
  return drives;
}

int QueryPlatformFamily() {
  utsname system{};
  return uname(&system) == 0 ? kPlatformFamilyNt : 0;
}

}  // namespace platform::cdrom
