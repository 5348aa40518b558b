// Decodes an APE file through FFmpeg's demuxer and decoder and hands out the audio block by
// block in the file's own sample format. The header is checked by our own reader before FFmpeg
// sees the file, so hostile counts never reach its allocations. Each frame is decoded whole and
// its checksum (version 3.90 on) compared with the bytes about to be handed out before any of
// them is.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "modules/macdll/ape_header.h"
#include "modules/macdll/byte_source.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;

namespace macdll {

class ApeDecompressor {
 public:
  // Takes `source`; null with *error set (MACDLL_ERROR_NOT_APE, MACDLL_ERROR_MEMORY) when it is
  // not an APE file that can be decoded.
  static std::unique_ptr<ApeDecompressor> Open(std::unique_ptr<ByteSource> source, int* error);
  ~ApeDecompressor();
  ApeDecompressor(const ApeDecompressor&) = delete;
  ApeDecompressor& operator=(const ApeDecompressor&) = delete;

  // The contracts of c_APEDecompress_GetData, _Seek and _GetInfo.
  int GetData(std::uint8_t* out, int blocks, int* retrieved);
  int Seek(std::int64_t block);
  int Info(int code) const;

 private:
  ApeDecompressor(std::unique_ptr<ByteSource> source, const ApeHeader& header);
  int OpenFfmpeg();
  int NextFrame();
  int Stage();
  bool FrameMatches() const;
  void Interleave();
  bool ChecksumMatches();

  std::unique_ptr<ByteSource> source_;
  ApeHeader header_;
  int blockAlign_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::int64_t frameIndex_ = 0;       // the frame FFmpeg returns next
  std::vector<std::uint8_t> staged_;  // the current frame, interleaved and checked
  int stagedBlocks_ = 0;
  int used_ = 0;           // blocks of staged_ handed out (or skipped)
  std::int64_t skip_ = 0;  // blocks still to drop after a seek
  int error_ = 0;          // latched until the next seek
  bool draining_ = false;
  bool ended_ = false;
};

}  // namespace macdll
