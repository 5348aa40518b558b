// A CD drive or a disc image opened as one: its table of contents and raw audio sectors.
//
// A drive is named by a device path (/dev/sr0) or by a disc image that libcdio opens as a
// drive (.cue/.bin, .toc, .nrg). Sector numbers are logical (sector 0 is the first sector
// after the 2-second lead-in); one sector is 2352 bytes of 16-bit stereo PCM at 44100 Hz.
// Failures return an errno value and print nothing. One drive object is used by one thread
// at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct _CdIo;

namespace platform::cdrom {

constexpr std::size_t kSectorBytes = 2352;
constexpr std::uint32_t kLeadInSectors = 150;  // 2 seconds before logical sector 0
constexpr std::uint32_t kMaxTracks = 99;

struct CdTrack {
  int number = 0;                 // the number the disc gives the track (usually 1…)
  std::uint32_t firstSector = 0;  // logical sector
  std::uint32_t sectorCount = 0;  // up to the next track's start or the lead-out
  bool audio = false;
};

class CdromDrive {
 public:
  CdromDrive() = default;
  ~CdromDrive();
  CdromDrive(const CdromDrive&) = delete;
  CdromDrive& operator=(const CdromDrive&) = delete;

  // Opens `drive` and reads its table. Returns 0, ENOENT (no such path), ENOMEDIUM (no
  // readable disc or image there) or EBADMSG (a table that is empty, has more than 99
  // tracks, tracks out of order, or a track that does not end before the lead-out).
  int Open(const std::string& drive);
  void Close();
  bool IsOpen() const { return cdio_ != nullptr; }

  // The tracks in disc order (1 to 99 entries while open).
  const std::vector<CdTrack>& Tracks() const { return tracks_; }
  // First logical sector after the last track.
  std::uint32_t LeadOutSector() const { return leadOut_; }

  // Reads `count` raw sectors starting at `first` into `buffer` (count × 2352 bytes).
  // Returns 0, ERANGE when a sector lies beyond the last track, or EIO.
  int ReadAudioSectors(std::uint64_t first, std::uint32_t count, std::uint8_t* buffer);

 private:
  int ReadTable();

  _CdIo* cdio_ = nullptr;
  std::vector<CdTrack> tracks_;
  std::uint32_t leadOut_ = 0;
};

// The system's default CD device, or "" when there is none.
std::string DefaultDrive();
// Every CD device the system knows (with or without a disc).
std::vector<std::string> SystemDrives();

// Which way a CD track is read here: the NT family (raw sector reads through this layer), or
// 0 when the system cannot be identified. The grab-library family (1) is never reported.
constexpr int kPlatformFamilyNt = 2;
int QueryPlatformFamily();

}  // namespace platform::cdrom
