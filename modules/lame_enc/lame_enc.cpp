#include "modules/lame_enc/lame_enc.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <new>
#include <set>
#include <vector>

namespace {

constexpr std::size_t kTailBytes = 64;
constexpr std::size_t kKeptHeaders = 64;
constexpr std::int64_t kFlushBytes = 7200;
constexpr std::uint32_t kMpegRates[] = {8000,  11025, 12000, 16000, 22050,
                                        24000, 32000, 44100, 48000};

using LameConfig = decltype(BE_CONFIG::format.LHV1);

// The last bytes a stream produced, and how many: what recognises its file later.
struct AudioFingerprint {
  std::uint64_t bytes = 0;
  std::array<std::uint8_t, kTailBytes> tail{};

  void Add(const std::uint8_t* data, std::size_t n) {
    bytes += n;
    const std::size_t keep = std::min(n, kTailBytes);
    std::memmove(tail.data(), tail.data() + keep, kTailBytes - keep);
    std::memcpy(tail.data() + kTailBytes - keep, data + n - keep, keep);
  }
  bool operator==(const AudioFingerprint&) const = default;
};

struct PendingHeader {
  AudioFingerprint audio;
  std::vector<std::uint8_t> frame;
};

// Process-wide bookkeeping only: which handles are open, and the headers of closed streams.
std::mutex registry_mutex;
std::set<LameEncStream*> open_streams;
std::deque<PendingHeader> pending_headers;
// LAME fills shared tables while it sets a stream up.
std::mutex setup_mutex;

}  // namespace

struct LameEncStream {
  lame_global_flags* lame = nullptr;
  int channels = 2;
  bool wants_header = false;
  bool flushed = false;
  AudioFingerprint audio;
  std::vector<std::uint8_t> header;
};

namespace {

bool IsOpen(LameEncStream* stream) {
  std::lock_guard lock(registry_mutex);
  return open_streams.count(stream) != 0;
}

void Silent(const char*, va_list) {}

MPEG_mode ModeOf(std::int32_t mode) {
  switch (mode) {
    case BE_MP3_MODE_MONO: return MONO;
    case BE_MP3_MODE_JSTEREO: return JOINT_STEREO;
    default: return STEREO;
  }
}

std::uint32_t OutputRate(std::uint32_t requested) {
  const bool carried =
      std::find(std::begin(kMpegRates), std::end(kMpegRates), requested) != std::end(kMpegRates);
  return carried ? requested : 0;
}

void SetRateControl(lame_global_flags* lame, const LameConfig& c) {
  if (c.bEnableVBR == 0) {
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, static_cast<int>(c.dwBitrate));
    return;
  }
  if (c.dwMaxBitrate > 0) lame_set_VBR_max_bitrate_kbps(lame, static_cast<int>(c.dwMaxBitrate));
  if (c.nVbrMethod == VBR_METHOD_ABR) {
    lame_set_VBR(lame, vbr_abr);
    const std::uint32_t mean = c.dwVbrAbr_bps > 0 ? c.dwVbrAbr_bps / 1000 : c.dwBitrate;
    lame_set_VBR_mean_bitrate_kbps(lame, static_cast<int>(mean));
    return;
  }
  lame_set_VBR(lame, c.nVbrMethod == VBR_METHOD_OLD ? vbr_rh : vbr_mtrh);
  lame_set_VBR_q(lame, std::clamp(c.nVBRQuality, 0, 9));
  if (c.dwBitrate > 0) lame_set_VBR_min_bitrate_kbps(lame, static_cast<int>(c.dwBitrate));
}

// The six quality presets (recorded in docs/DESIGN.md); they never change the rate control.
void SetQuality(lame_global_flags* lame, const LameConfig& c) {
  const int quality = c.nQuality & 0xFF;
  if (quality <= 9) lame_set_quality(lame, quality);
  switch (c.nPreset) {
    case LQP_LOW_QUALITY: lame_set_quality(lame, 7); break;
    case LQP_HIGH_QUALITY: lame_set_quality(lame, 2); break;
    case LQP_VOICE_QUALITY: lame_set_lowpassfreq(lame, 12000); break;
    case LQP_R3MIX:
      lame_set_quality(lame, 2);
      lame_set_lowpassfreq(lame, 19500);
      break;
    case LQP_VERYHIGH_QUALITY: lame_set_quality(lame, 0); break;
    default: break;
  }
}

bool Configure(lame_global_flags* lame, const LameConfig& c, int channels) {
  lame_set_num_channels(lame, channels);
  lame_set_in_samplerate(lame, static_cast<int>(c.dwSampleRate));
  lame_set_out_samplerate(lame, static_cast<int>(OutputRate(c.dwReSampleRate)));
  lame_set_mode(lame, ModeOf(c.nMode));
  SetRateControl(lame, c);
  SetQuality(lame, c);
  lame_set_extension(lame, c.bPrivate != 0);
  lame_set_error_protection(lame, c.bCRC != 0);
  lame_set_copyright(lame, c.bCopyright != 0);
  lame_set_original(lame, c.bOriginal != 0);
  lame_set_bWriteVbrTag(lame, c.bWriteVBRHeader != 0);
  lame_set_disable_reservoir(lame, c.bNoRes != 0);
  lame_set_strict_ISO(lame, c.bStrictIso != 0);
  lame_set_emphasis(lame, static_cast<int>(std::min<std::uint32_t>(c.dwEmphasis, 3)));
  lame_set_errorf(lame, Silent);
  lame_set_debugf(lame, Silent);
  lame_set_msgf(lame, Silent);
  std::lock_guard lock(setup_mutex);
  return lame_init_params(lame) >= 0;
}

void KeepHeader(LameEncStream& stream) {
  std::lock_guard lock(registry_mutex);
  pending_headers.push_front({stream.audio, std::move(stream.header)});
  if (pending_headers.size() > kKeptHeaders) pending_headers.pop_back();
}

// Bytes before the first frame (an ID3v2 tag with its footer) and after the last (ID3v1).
bool AudioSpan(std::FILE* file, long* start, long* end) {
  std::uint8_t head[10] = {};
  if (std::fseek(file, 0, SEEK_END) != 0 || (*end = std::ftell(file)) < 0) return false;
  *start = 0;
  if (std::fseek(file, 0, SEEK_SET) == 0 && std::fread(head, 1, 10, file) == 10 &&
      std::memcmp(head, "ID3", 3) == 0 && (head[6] | head[7] | head[8] | head[9]) < 0x80) {
    *start = 10 + (long{head[6]} << 21 | long{head[7]} << 14 | long{head[8]} << 7 | head[9]);
    if (head[5] & 0x10) *start += 10;
  }
  char tag[3] = {};
  if (*end - *start >= 128 && std::fseek(file, *end - 128, SEEK_SET) == 0 &&
      std::fread(tag, 1, 3, file) == 3 && std::memcmp(tag, "TAG", 3) == 0)
    *end -= 128;
  return *start <= *end;
}

AudioFingerprint FingerprintOf(std::FILE* file, long start, long end) {
  AudioFingerprint print;
  const long n = std::min<long>(end - start, kTailBytes);
  std::uint8_t last[kTailBytes] = {};
  if (std::fseek(file, end - n, SEEK_SET) == 0 &&
      std::fread(last, 1, static_cast<std::size_t>(n), file) == static_cast<std::size_t>(n))
    print.Add(last, static_cast<std::size_t>(n));
  print.bytes = static_cast<std::uint64_t>(end - start);
  return print;
}

// Takes the kept header whose stream produced exactly this audio.
bool TakeHeader(const AudioFingerprint& audio, std::vector<std::uint8_t>* frame) {
  std::lock_guard lock(registry_mutex);
  const auto found = std::find_if(pending_headers.begin(), pending_headers.end(),
                                  [&](const PendingHeader& p) { return p.audio == audio; });
  if (found == pending_headers.end()) return false;
  *frame = std::move(found->frame);
  pending_headers.erase(found);
  return true;
}

bool AnyHeaderKept() {
  std::lock_guard lock(registry_mutex);
  return !pending_headers.empty();
}

}  // namespace

BE_CONFIG BeLameConfig() {
  BE_CONFIG config;
  std::memset(&config, 0, sizeof config);
  config.dwConfig = BE_CONFIG_LAME;
  config.format.LHV1.dwStructVersion = 1;
  config.format.LHV1.dwStructSize = sizeof config;
  return config;
}

BE_ERR beInitStream(const BE_CONFIG* config, std::uint32_t* samples, std::uint32_t* buffer_size,
                    HBE_STREAM* stream) {
  if (config == nullptr || samples == nullptr || buffer_size == nullptr || stream == nullptr)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (config->dwConfig != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
  const auto& c = config->format.LHV1;
  if (c.dwStructVersion < 1 || c.dwStructSize < sizeof(BE_CONFIG) || c.dwSampleRate == 0)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  auto* created = new (std::nothrow) LameEncStream;
  if (created == nullptr) return BE_ERR_NO_MORE_HANDLES;
  created->lame = lame_init();
  created->channels = c.nMode == BE_MP3_MODE_MONO ? 1 : 2;
  created->wants_header = c.bWriteVBRHeader != 0;
  if (created->lame == nullptr || !Configure(created->lame, c, created->channels)) {
    const BE_ERR error =
        created->lame == nullptr ? BE_ERR_NO_MORE_HANDLES : BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (created->lame != nullptr) lame_close(created->lame);
    delete created;
    return error;
  }
  const auto frame = static_cast<std::uint32_t>(lame_get_framesize(created->lame));
  *samples = frame * static_cast<std::uint32_t>(created->channels);
  *buffer_size = frame * 5 / 4 + kFlushBytes;
  {
    std::lock_guard lock(registry_mutex);
    open_streams.insert(created);
  }
  *stream = created;
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples, const short* pcm,
                     std::uint8_t* output, std::uint32_t* output_bytes) {
  if (!IsOpen(stream) || stream->flushed) return BE_ERR_INVALID_HANDLE;
  if (output_bytes == nullptr || output == nullptr || (samples > 0 && pcm == nullptr) ||
      samples % static_cast<std::uint32_t>(stream->channels) != 0)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const std::int64_t frames = samples / static_cast<std::uint32_t>(stream->channels);
  const std::int64_t room = frames * 5 / 4 + kFlushBytes;
  if (room > std::numeric_limits<int>::max()) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  // LAME only reads the samples.
  auto* input = const_cast<short*>(pcm);
  const int n = stream->channels == 1
                    ? lame_encode_buffer(stream->lame, input, input, static_cast<int>(frames),
                                         output, static_cast<int>(room))
                    : lame_encode_buffer_interleaved(stream->lame, input, static_cast<int>(frames),
                                                     output, static_cast<int>(room));
  if (n < 0) return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  stream->audio.Add(output, static_cast<std::size_t>(n));
  *output_bytes = static_cast<std::uint32_t>(n);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output, std::uint32_t* output_bytes) {
  if (!IsOpen(stream) || stream->flushed) return BE_ERR_INVALID_HANDLE;
  if (output == nullptr || output_bytes == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int n = lame_encode_flush(stream->lame, output, static_cast<int>(kFlushBytes));
  if (n < 0) return BE_ERR_BUFFER_TOO_SMALL;
  stream->audio.Add(output, static_cast<std::size_t>(n));
  *output_bytes = static_cast<std::uint32_t>(n);
  stream->flushed = true;
  if (stream->wants_header) {
    std::vector<std::uint8_t> frame(2880);
    const std::size_t size = lame_get_lametag_frame(stream->lame, frame.data(), frame.size());
    if (size > 0 && size <= frame.size()) {
      frame.resize(size);
      stream->header = std::move(frame);
    }
  }
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beCloseStream(HBE_STREAM stream) {
  {
    std::lock_guard lock(registry_mutex);
    if (open_streams.erase(stream) == 0) return BE_ERR_INVALID_HANDLE;
  }
  if (!stream->header.empty()) KeepHeader(*stream);
  lame_close(stream->lame);
  delete stream;
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beWriteVBRHeader(const char* path) {
  if (path == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (!AnyHeaderKept()) return BE_ERR_SUCCESSFUL;
  std::FILE* file = std::fopen(path, "r+b");
  if (file == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  long start = 0;
  long end = 0;
  std::vector<std::uint8_t> frame;
  BE_ERR result = BE_ERR_SUCCESSFUL;
  if (!AudioSpan(file, &start, &end)) {
    result = BE_ERR_INVALID_FORMAT_PARAMETERS;
  } else if (TakeHeader(FingerprintOf(file, start, end), &frame)) {
    const bool written = frame.size() <= static_cast<std::size_t>(end - start) &&
                         std::fseek(file, start, SEEK_SET) == 0 &&
                         std::fwrite(frame.data(), 1, frame.size(), file) == frame.size();
    if (!written) result = BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  if (std::fclose(file) != 0) result = BE_ERR_INVALID_FORMAT_PARAMETERS;
  return result;
}
