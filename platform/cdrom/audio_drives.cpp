#include "platform/cdrom/audio_drives.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/cdrom/cdrom_drive.h"
#include "platform/cdrom/track_path.h"

namespace platform::cdrom {
namespace {

namespace fs = std::filesystem;

bool WriteWholeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return !out.fail();
}

void RemoveOldTrackFiles(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (TrackPositionFromName(entry.path().filename().string()) != 0) {
      fs::remove(entry.path(), ec);
    }
  }
}

}  // namespace

std::optional<AudioDrive> DescribeAudioDrive(const std::string& drive) {
  CdromDrive cd;
  if (cd.Open(drive) != 0) return std::nullopt;
  AudioDrive result;
  result.drive = drive;
  result.name = fs::path(drive).filename().string();
  for (std::size_t i = 0; i < cd.Tracks().size(); ++i) {
    if (cd.Tracks()[i].audio) result.trackFiles.push_back(TrackFileName(static_cast<int>(i + 1)));
  }
  if (result.trackFiles.empty()) return std::nullopt;
  return result;
}

std::vector<AudioDrive> ListAudioDrives() {
  std::vector<std::string> names = SystemDrives();
  const char* extra = std::getenv("WAVELATHE_CD_DRIVES");
  for (std::string_view rest = extra != nullptr ? extra : ""; !rest.empty();) {
    const std::size_t colon = std::min(rest.find(':'), rest.size());
    if (colon > 0) names.emplace_back(rest.substr(0, colon));
    rest.remove_prefix(std::min(colon + 1, rest.size()));
  }
  std::vector<AudioDrive> drives;
  for (const std::string& drive : names) {
    if (auto audio = DescribeAudioDrive(drive)) drives.push_back(std::move(*audio));
  }
  return drives;
}

std::string MaterializeDriveFolder(const AudioDrive& drive, const std::string& root) {
  if (drive.name.empty() || drive.name == "." || drive.name == "..") return "";
  const fs::path folder = fs::path(root) / drive.name;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return "";
  RemoveOldTrackFiles(folder);
  if (!WriteWholeFile(folder / ".cdrive", drive.drive + "\n")) return "";
  for (const std::string& name : drive.trackFiles) {
    std::vector<std::uint8_t> bytes;
    if (ReadTrackFileBytes(drive.drive + "/" + name, bytes) != 0) return "";
    if (!WriteWholeFile(folder / name, std::string(bytes.begin(), bytes.end()))) return "";
  }
  return folder.string();
}

}  // namespace platform::cdrom
