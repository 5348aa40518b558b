// A range of a WAV file copied into a new WAV file through WavMusic's range copy (the path of
// every export), for tests that check what comes out with an independent tool.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/music.h"

namespace testing_support {

// Frames [start, start + count) of `source`, described by `info`, into `out`; records a test
// failure when the copy cannot start, does not finish within two minutes or fails to write.
void CopyWavFrames(const std::string& source, const MusicInfo& info, const std::string& out,
                   std::int64_t start, std::int64_t count);

}  // namespace testing_support
