// Track paths and the track files a drive shows.
//
// A track of a disc is reached through the path "<drive>/TrackNN.cda", where <drive> is a CD
// device or a disc image (see cdrom_drive.h) and NN the track's position on the disc (01 for
// the first track). Reading such a path gives the 44-byte track file the drive would show,
// made from the disc's table of contents: a RIFF "CDDA" file whose bytes 28 and 32 hold the
// track's first logical sector and its sector count. Any other path is a real track file (one
// copied from a disc) and is read as it is; its drive is the one named in a file ".cdrive"
// beside it (see audio_drives.h), else the system's default CD drive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cdrom/cdrom_drive.h"

namespace platform::cdrom {

constexpr std::size_t kTrackFileBytes = 44;

// "TrackNN.cda" for a position on the disc (1…99).
std::string TrackFileName(int position);
// The position NN of a name "TrackNN.cda" (letters in any case), else 0.
int TrackPositionFromName(const std::string& name);
// True when `path` has the form "<drive>/TrackNN.cda" and <drive> is a device or a file;
// `drive` and `position` (1…99) are set then.
bool SplitDriveTrackPath(const std::string& path, std::string& drive, int& position);
// The drive that holds the track named by `path` ("" when the system has no CD drive).
std::string DriveOfTrackPath(const std::string& path);

// The track file of `track` as a drive shows it.
std::vector<std::uint8_t> MakeTrackFile(const CdTrack& track);
// Reads at most 44 bytes of the track file at `path` into `bytes`. Returns 0 or an errno
// value: ENOENT also when the disc has no audio track at that position, ENOMEDIUM or EBADMSG
// as for CdromDrive::Open.
int ReadTrackFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes);

}  // namespace platform::cdrom
