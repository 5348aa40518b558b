// The audio of an ASF file decoded by FFmpeg into interleaved 16-bit PCM at the file's own
// rate and channel count.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/wmf/byte_source.h"
#include "platform/wmf/wmf_types.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;

namespace platform::wmf {

class MediaSource {
 public:
  static constexpr int kMaxChannels = 8;
  static constexpr int kMaxRate = 384000;
  static constexpr std::int64_t kMaxDuration100ns = 1000LL * 3600 * 10000000;  // 1000 hours

  MediaSource() = default;
  MediaSource(const MediaSource&) = delete;
  MediaSource& operator=(const MediaSource&) = delete;
  ~MediaSource();

  // Opens the first audio stream of `bytes` (which must outlive this object). E_FAIL when
  // FFmpeg does not read the file as ASF, finds no audio it can decode, or the rate, the
  // channel count (1 … kMaxChannels) or the duration (0 … kMaxDuration100ns, exclusive of 0)
  // is out of range; E_ABORT when `abort` became true meanwhile. `abort` may be null; it is
  // also polled while decoding.
  HRESULT Open(ByteSource& bytes, const std::atomic<bool>* abort);

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  std::int64_t duration100ns() const { return duration_; }
  // Bit/s of the stream as its header gives it (the whole file's when the stream has none).
  std::uint32_t bitrate() const { return bitrate_; }

  // Decodes the next block of samples; false at the end of the stream (or on a read error,
  // which ends it early). Undecodable packets and frames in another format are skipped.
  // `pcm` points to interleaved samples valid until the next call; `frames` counts them.
  bool NextBlock(const std::uint8_t** pcm, std::size_t* frames);

 private:
  static int ReadIo(void* self, std::uint8_t* buffer, int size);
  static std::int64_t SeekIo(void* self, std::int64_t offset, int whence);
  static int Interrupted(void* self);
  HRESULT OpenFormat();
  HRESULT OpenStream();
  bool FeedPacket();
  bool Convert(const AVFrame& frame);

  ByteSource* bytes_ = nullptr;
  std::int64_t position_ = 0;
  const std::atomic<bool>* abort_ = nullptr;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* convert_ = nullptr;
  int convertFrom_ = -1;  // sample format the converter was set up for
  int stream_ = -1;
  int rate_ = 0;
  int channels_ = 0;
  std::int64_t duration_ = 0;
  std::uint32_t bitrate_ = 0;
  bool draining_ = false;
  std::vector<std::uint8_t> pcm_;
};

}  // namespace platform::wmf
