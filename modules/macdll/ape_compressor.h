// Writes a version 3.99 APE file from PCM that arrives in pieces. Whole frames are handed to
// worker threads as soon as they are complete and written in order as they finish, so at most
// one frame per worker plus the one being filled is held in memory. The descriptor, header and
// seek table are written last, over room reserved at the start.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <future>
#include <vector>

#include "modules/macdll/ape_header.h"
#include "modules/macdll/mac_dll.h"

namespace macdll {

class ApeCompressor {
 public:
  // `workers`: frames encoded at once; 0 = one per processor (at most 8). With one, frames are
  // encoded on the caller's thread.
  explicit ApeCompressor(int workers = 0);
  // Waits for the workers and closes an unfinished output as it is.
  ~ApeCompressor();
  ApeCompressor(const ApeCompressor&) = delete;
  ApeCompressor& operator=(const ApeCompressor&) = delete;

  // The contracts of c_APECompress_Start/AddData/Finish; results are MACDLL_* codes. After a
  // failure every later call fails with the same code.
  int Start(const char* path, const ApeWaveFormatEx& format, std::int64_t maxAudioBytes, int level);
  int AddData(const std::uint8_t* data, std::int64_t bytes);
  int Finish();

 private:
  struct EncodedFrame {
    bool ok = false;
    std::uint32_t blocks = 0;
    std::vector<std::uint8_t> bytes;
  };

  int Fail(int code);
  int Reserve(std::int64_t maxAudioBytes);
  int SubmitFrame();
  EncodedFrame EncodeFrame(const std::vector<std::uint8_t>& pcm) const;
  int WriteOldest();
  int WriteHeader();
  void Close();

  int workers_;
  int error_ = MACDLL_OK;
  bool started_ = false;
  std::FILE* file_ = nullptr;
  ApeHeader header_;
  int blockAlign_ = 0;
  std::vector<std::uint8_t> pending_;  // PCM of the frame being filled
  std::deque<std::future<EncodedFrame>> inFlight_;
  std::vector<std::uint32_t> seekTable_;  // reserved entries; the first totalFrames are used
  std::uint64_t nextOffset_ = 0;          // file offset of the next frame
  std::uint64_t frameBytes_ = 0;
};

}  // namespace macdll
