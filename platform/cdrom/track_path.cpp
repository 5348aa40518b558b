#include "platform/cdrom/track_path.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/byte_order.h"

namespace platform::cdrom {
namespace {

constexpr char kDriveMapName[] = ".cdrive";

bool IsDevice(const struct stat& st) { return S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode); }

// The drive named in the mapping file beside a copied track file, or "".
std::string MappedDrive(const std::string& folder) {
  const std::string map = folder + "/" + kDriveMapName;
  struct stat st {};
  if (stat(map.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 4096) return "";
  std::ifstream in(map);
  std::string drive;
  if (!in || !std::getline(in, drive)) return "";
  if (stat(drive.c_str(), &st) != 0 || !(IsDevice(st) || S_ISREG(st.st_mode))) return "";
  return drive;
}

void PutMsf(std::uint8_t* p, std::uint32_t sectors) {
  p[0] = static_cast<std::uint8_t>(sectors % 75);
  p[1] = static_cast<std::uint8_t>(sectors / 75 % 60);
  p[2] = static_cast<std::uint8_t>(sectors / 4500);
  p[3] = 0;
}

int ReadDriveTrackFile(const std::string& drive, int position, std::vector<std::uint8_t>& bytes) {
  CdromDrive cd;
  if (const int error = cd.Open(drive); error != 0) return error;
  const auto& tracks = cd.Tracks();
  if (static_cast<std::size_t>(position) > tracks.size() || !tracks[position - 1].audio) {
    return ENOENT;
  }
  bytes = MakeTrackFile(tracks[position - 1]);
  return 0;
}

int ReadRealTrackFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  // Non-blocking, so that a pipe named like a track file cannot hold the caller.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  int error = 0;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else {
    bytes.resize(kTrackFileBytes);
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
  }
  close(fd);
  return error;
}

}  // namespace

int TrackPositionFromName(const std::string& name) {
  if (name.size() != 11 || strncasecmp(name.c_str(), "track", 5) != 0 ||
      strncasecmp(name.c_str() + 7, ".cda", 4) != 0 ||
      !std::isdigit(static_cast<unsigned char>(name[5])) ||
      !std::isdigit(static_cast<unsigned char>(name[6]))) {
    return 0;
  }
  const int position = (name[5] - '0') * 10 + (name[6] - '0');
  return position >= 1 && position <= static_cast<int>(kMaxTracks) ? position : 0;
}

std::string TrackFileName(int position) {
  char name[16];
  std::snprintf(name, sizeof name, "Track%02d.cda", position);
  return name;
}

bool SplitDriveTrackPath(const std::string& path, std::string& drive, int& position) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  const int found = TrackPositionFromName(path.substr(slash + 1));
  if (found == 0) return false;
  const std::string parent = path.substr(0, slash);
  struct stat st {};
  if (stat(parent.c_str(), &st) != 0 || !(IsDevice(st) || S_ISREG(st.st_mode))) return false;
  drive = parent;
  position = found;
  return true;
}

std::string DriveOfTrackPath(const std::string& path) {
  std::string drive;
  int position = 0;
  if (SplitDriveTrackPath(path, drive, position)) return drive;
  const std::size_t slash = path.rfind('/');
  drive = MappedDrive(slash == std::string::npos ? "." : path.substr(0, slash));
  return drive.empty() ? DefaultDrive() : drive;
}

std::vector<std::uint8_t> MakeTrackFile(const CdTrack& track) {
  std::vector<std::uint8_t> file(kTrackFileBytes, 0);
  std::uint8_t* p = file.data();
  std::copy_n("RIFF", 4, p);
  StoreLe32(p + 4, kTrackFileBytes - 8);
  std::copy_n("CDDAfmt ", 8, p + 8);
  StoreLe32(p + 16, 24);
  StoreLe16(p + 20, 1);  // format version
  StoreLe16(p + 22, static_cast<std::uint32_t>(track.number));
  // Bytes 24-27, a volume serial number, stay 0: an audio disc has no volume.
  StoreLe32(p + 28, track.firstSector);
  StoreLe32(p + 32, track.sectorCount);
  PutMsf(p + 36, track.firstSector + kLeadInSectors);
  PutMsf(p + 40, track.sectorCount);
  return file;
}

int ReadTrackFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::string drive;
  int position = 0;
  if (SplitDriveTrackPath(path, drive, position)) {
    return ReadDriveTrackFile(drive, position, bytes);
  }
  return ReadRealTrackFile(path, bytes);
}

}  // namespace platform::cdrom
