// Reads a CD track's raw audio sectors from its drive, at most 16 sectors (37632 bytes of
// 16-bit stereo PCM at 44100 Hz) at a time, for a decode loop:
//
//   RawTrackReader reader;
//   if (!reader.Open(path, extent)) return false;            // reported
//   std::span<const std::uint8_t> chunk;
//   while (!cancelled && reader.ReadNext(chunk)) target->WriteSamples(chunk.data(), chunk.size());
//   reader.Close();
//
// Failures are reported with the track path (ReportCdError); a failed read ends the track,
// and the chunks before it stay valid. One reader is used by one thread at a time; Open may
// run on another thread than the reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cd/track_file.h"
#include "platform/cdrom/cdrom_drive.h"

namespace cd {

class RawTrackReader {
 public:
  static constexpr std::uint32_t kSectorsPerRead = 16;
  static constexpr std::size_t kChunkBytes = kSectorsPerRead * platform::cdrom::kSectorBytes;

  // Opens the drive of `trackPath` for the sectors of `extent`. On failure reports
  // "打开 CD 驱动器失败。" and returns false.
  bool Open(const std::string& trackPath, const TrackExtent& extent);
  // Reads the next min(16, sectors left) sectors. True with `chunk` (valid until the next call)
  // while the track has sectors; false at its end, or after a read failed, which is reported
  // as "DeviceIoControl 调用失败， LastError = <n>." (27: a sector beyond the disc, 21: no
  // disc, 23: a damaged sector, 31: any other failure). A track of 0 sectors reads nothing.
  bool ReadNext(std::span<const std::uint8_t>& chunk);
  // The same read into `buffer` (at least kChunkBytes): the byte count, 0 at the end of the
  // track, -1 after a reported failure.
  std::int64_t ReadInto(std::uint8_t* buffer);
  // Releases the drive; also done by the destructor.
  void Close();
  bool Failed() const { return failed_; }

 private:
  platform::cdrom::CdromDrive drive_;
  std::string trackPath_;
  std::uint64_t nextSector_ = 0;
  std::uint32_t sectorsLeft_ = 0;
  bool failed_ = false;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace cd
