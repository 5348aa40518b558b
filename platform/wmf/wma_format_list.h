// The Windows Media Audio 2 formats the encoder supports, each with the WAVEFORMATEX (and
// extra bytes) the encoder gives it, built once by opening FFmpeg's encoder per format.
#pragma once

#include <vector>

#include "platform/wmf/media_type.h"

namespace platform::wmf {

struct WmaFormat {
  WAVEFORMATEX wave;
  std::vector<BYTE> extra;  // wave.cbSize bytes
};

class WmaFormatList {
 public:
  // Rates 8000 … 48000 Hz, one or two channels, 24 … 320 kbit/s, no more than the bitrate of
  // 16-bit PCM at that rate; ordered by rate, channels, bitrate. Thread-safe.
  static const std::vector<WmaFormat>& Get();
  // The listed format with exactly this WAVEFORMATEX and these extra bytes, or null.
  static const WmaFormat* Find(const WAVEFORMATEX& wave, const BYTE* extra);
  // The media type of a stream in this format.
  static MediaType TypeOf(const WmaFormat& format);
};

}  // namespace platform::wmf
