// The drives that hold an audio disc, for the open dialog's side bar.
//
// A file dialog can only show real folders, so a drive's track files are written into a
// folder of their own (MaterializeDriveFolder); the file ".cdrive" in that folder names the
// drive, so that a track file picked there is read from that drive (track_path.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::cdrom {

struct AudioDrive {
  std::string drive;                    // device path or disc image
  std::string name;                     // the drive's file name ("sr0"), for the side bar
  std::vector<std::string> trackFiles;  // "TrackNN.cda" of every audio track, in disc order
};

// The drive as a side-bar entry, or nothing when it holds no disc with an audio track.
std::optional<AudioDrive> DescribeAudioDrive(const std::string& drive);
// Every system CD drive that holds an audio disc, then every drive named in the environment
// variable WAVELATHE_CD_DRIVES (paths separated by ':', such as disc images) that holds one.
std::vector<AudioDrive> ListAudioDrives();
// Writes the track files of `drive` into "<root>/<name>" (created when missing; track files
// of an earlier disc are removed) with the ".cdrive" mapping, and returns that folder, or ""
// when it could not be written.
std::string MaterializeDriveFolder(const AudioDrive& drive, const std::string& root);

}  // namespace platform::cdrom
