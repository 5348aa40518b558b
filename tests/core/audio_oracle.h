// Reading written WAV files with sox, an implementation independent of ours.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace oracle {

// Frames in the file as sox reads its header; -1 when sox refuses the file.
inline std::int64_t Frames(const std::string& path) {
  int status = 0;
  const std::string out =
      testing_support::RunCommand("soxi -s '" + path + "' 2>/dev/null", &status);
  if (status != 0 || out.empty()) return -1;
  return std::stoll(out);
}

// The 16-bit samples of a file, interleaved, decoded by sox.
inline std::vector<std::int16_t> Samples16(const std::string& path) {
  int status = 0;
  const std::string raw = testing_support::RunCommand(
      "sox '" + path + "' -t raw -e signed-integer -b 16 -L - 2>/dev/null", &status);
  std::vector<std::int16_t> samples(raw.size() / 2);
  if (status == 0)
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  else
    samples.clear();
  return samples;
}

}  // namespace oracle
