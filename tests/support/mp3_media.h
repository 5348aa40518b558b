// MP3 test media made and read by the public tools: lame encodes, mpg123 decodes (gapless, as
// players do), ffprobe describes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace testing_support {

// The path quoted for the shell.
std::string ShellQuote(const std::string& text);
// `seconds` of a tone mix (different per channel, with a little noise), interleaved.
std::vector<std::int16_t> ToneSamples(int rate, int channels, double seconds);
// The same tone as a 16-bit WAV.
void WriteToneWav(const std::string& path, int rate, int channels, double seconds);
// A tone of `seconds` encoded by `lame <lame_args>` into dir/name; returns its path.
std::string MakeMp3(const TempDir& dir, const std::string& name, const std::string& lame_args,
                    int rate, int channels, double seconds);
// Interleaved samples of `mpg123 --gapless -s`.
std::vector<std::int16_t> Mpg123Samples(const std::string& path);
// Entries of ffprobe's first audio stream ("sample_rate,channels"), or of the format
// ("format=duration", "format_tags=title,artist"), one value a line in ffprobe's order.
std::string Ffprobe(const std::string& path, const std::string& entry);

}  // namespace testing_support
