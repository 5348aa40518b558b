// Disc images written by the tests (a .bin of raw 2352-byte sectors and its .cue sheet) and
// the table of contents that cd-info (libcdio-utils) reads from them, as the independent view
// of each disc.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cdrom/track_path.h"
#include "tests/support/test_files.h"

namespace cd_testing {

constexpr std::size_t kSectorBytes = 2352;

struct ImageTrack {
  bool audio = true;
  std::uint32_t sectors = 0;
};

// Byte `i` of logical sector `sector`: audio sectors hold a repeatable 16-bit stereo noise,
// data sectors a pattern of their own.
inline std::uint8_t SectorByte(bool audio, std::uint32_t sector, std::size_t i) {
  if (!audio) return static_cast<std::uint8_t>((sector * 7 + i) & 0xFF);
  const std::int64_t frame = std::int64_t{sector} * 588 + static_cast<std::int64_t>(i / 4);
  const auto sample = static_cast<std::uint16_t>(testing_support::NoiseSample(frame, i / 2 % 2));
  return static_cast<std::uint8_t>(i % 2 == 0 ? sample & 0xFF : sample >> 8);
}

// The bytes of `count` audio sectors of an image from logical sector `first` on.
inline std::vector<std::uint8_t> ImageBytes(std::uint32_t first, std::uint32_t count) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t s = first; s < first + count; ++s) {
    for (std::size_t i = 0; i < kSectorBytes; ++i) bytes.push_back(SectorByte(true, s, i));
  }
  return bytes;
}

// "<drive>/TrackNN.cda".
inline std::string TrackPath(const std::string& drive, int position) {
  return drive + "/" + platform::cdrom::TrackFileName(position);
}

inline std::string Msf(std::uint32_t sectors) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", sectors / 4500, sectors / 75 % 60,
                sectors % 75);
  return text;
}

// Writes <folder>/<stem>.bin and <stem>.cue and returns the .cue path. A sparse image has no
// sector contents (all zero) and costs no disk space.
inline std::string WriteDiscImage(const std::string& folder, const std::string& stem,
                                  const std::vector<ImageTrack>& tracks, bool sparse = false) {
  const auto file = [&folder](const std::string& name) { return folder + "/" + name; };
  std::ostringstream cue;
  cue << "FILE \"" << stem << ".bin\" BINARY\n";
  std::ofstream bin(file(stem + ".bin"), std::ios::binary);
  std::uint32_t sector = 0;
  std::vector<char> bytes(kSectorBytes);
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    char number[24];
    std::snprintf(number, sizeof number, "%02zu", t + 1);
    cue << "  TRACK " << number << (tracks[t].audio ? " AUDIO\n" : " MODE1/2352\n")
        << "    INDEX 01 " << Msf(sector) << "\n";
    for (std::uint32_t s = 0; s < tracks[t].sectors && !sparse; ++s) {
      for (std::size_t i = 0; i < kSectorBytes; ++i) {
        bytes[i] = static_cast<char>(SectorByte(tracks[t].audio, sector + s, i));
      }
      bin.write(bytes.data(), kSectorBytes);
    }
    sector += tracks[t].sectors;
  }
  bin.close();
  if (sparse) {
    EXPECT_EQ(truncate(file(stem + ".bin").c_str(), off_t{sector} * kSectorBytes), 0);
  }
  std::ofstream(file(stem + ".cue")) << cue.str();
  return file(stem + ".cue");
}

inline std::string WriteDiscImage(const testing_support::TempDir& dir, const std::string& stem,
                                  const std::vector<ImageTrack>& tracks, bool sparse = false) {
  return WriteDiscImage(dir.path(), stem, tracks, sparse);
}

// Copies the track file of `position` on `image` to `path`, with the ".cdrive" beside it that
// leads reads back to the image, as the open dialog's side bar leaves them.
inline bool CopyTrackFile(const std::string& image, int position, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (platform::cdrom::ReadTrackFileBytes(TrackPath(image, position), bytes) != 0) return false;
  testing_support::WriteFileBytes(path, bytes);
  const std::string folder = path.substr(0, path.rfind('/'));
  std::ofstream(folder + "/.cdrive") << image << "\n";
  return true;
}

// One line of cd-info's track list.
struct InfoTrack {
  int number = 0;
  std::string msf;        // absolute, "MM:SS:FF"
  std::uint32_t lsn = 0;  // logical sector
  std::string type;       // "audio", "data" or "leadout"
};

// cd-info's track list of `image`, the lead-out last; empty when cd-info finds no disc.
inline std::vector<InfoTrack> CdInfoTracks(const std::string& image) {
  const std::string out = testing_support::RunCommand(
      "cd-info -q --no-header --no-device-info --no-disc-mode --no-analyze --no-cddb -i '" + image +
      "' 2>/dev/null");
  std::vector<InfoTrack> tracks;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    InfoTrack t;
    char msf[16] = {}, type[16] = {};
    if (std::sscanf(line.c_str(), " %d: %15s %u %15s", &t.number, msf, &t.lsn, type) == 4 &&
        std::string(msf).size() == 8) {
      t.msf = msf;
      t.type = type;
      tracks.push_back(t);
    }
  }
  return tracks;
}

inline std::uint32_t MsfFrames(const std::string& msf) {
  unsigned m = 0, s = 0, f = 0;
  std::sscanf(msf.c_str(), "%u:%u:%u", &m, &s, &f);
  return m * 4500 + s * 75 + f;
}

}  // namespace cd_testing
