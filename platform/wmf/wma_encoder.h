// Windows Media Audio 2 encoding into an ASF file with FFmpeg: PCM in, whole encoded
// frames out, written through a file descriptor the caller owns.
#pragma once

#include <cstdint>

#include "platform/wmf/wma_format_list.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;

namespace platform::wmf {

class WmaEncoder {
 public:
  WmaEncoder() = default;
  WmaEncoder(const WmaEncoder&) = delete;
  WmaEncoder& operator=(const WmaEncoder&) = delete;
  // Frees everything; a file not ended stays unfinished.
  ~WmaEncoder();

  // Writes the header to `fd` (open for writing, at offset 0) for `format`, taking PCM of
  // `inputBits` bits (8 unsigned or 16 signed) at the format's rate and channels.
  HRESULT Begin(int fd, const WmaFormat& format, int inputBits);
  // Whole interleaved input frames (E_INVALIDARG otherwise).
  HRESULT Write(const BYTE* pcm, std::size_t bytes);
  // Encodes the samples held back (the last frame padded with silence), writes the index
  // and the final header.
  HRESULT End();

 private:
  static int WriteIo(void* self, std::uint8_t* data, int size);
  static std::int64_t SeekIo(void* self, std::int64_t offset, int whence);
  HRESULT OpenEncoder(const WmaFormat& format, int inputBits);
  HRESULT OpenMuxer();
  HRESULT EncodeFrame(bool last);
  HRESULT Drain();
  HRESULT Failure(int error) const;

  int fd_ = -1;
  int ioErrno_ = 0;
  AVIOContext* io_ = nullptr;
  AVFormatContext* mux_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  SwrContext* convert_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int frameBytes_ = 0;  // bytes of one input frame (all channels)
  int frameSize_ = 0;   // samples per encoded frame
  int filled_ = 0;      // samples waiting in frame_
  std::int64_t pts_ = 0;
};

}  // namespace platform::wmf
