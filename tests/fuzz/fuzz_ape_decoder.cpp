// libFuzzer target for the APE decoder: the input is a file held in memory. Checking its header,
// opening it with FFmpeg, reading every information code, decoding it in the program's
// 1024-block steps and seeking must neither crash nor hang nor allocate without bound.
#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "modules/macdll/ape_decompressor.h"
#include "modules/macdll/mac_dll.h"
#include "modules/macdll/memory_source.h"

namespace {

// Enough to reach several frames of any layout while keeping each run short.
constexpr int kMaxBlocks = 1 << 18;

void Drain(macdll::ApeDecompressor& decoder, std::vector<std::uint8_t>& buffer, int limit) {
  int got = 1;
  for (int total = 0; got > 0 && total < limit; total += got) {
    if (decoder.GetData(buffer.data(), 1024, &got) != MACDLL_OK) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
  (void)quiet;
  int error = MACDLL_OK;
  auto decoder =
      macdll::ApeDecompressor::Open(std::make_unique<macdll::MemorySource>(data, size), &error);
  if (decoder == nullptr) return 0;
  for (const int code : {MACDLL_INFO_SAMPLE_RATE, MACDLL_INFO_BITS_PER_SAMPLE, MACDLL_INFO_CHANNELS,
                         MACDLL_INFO_LENGTH_MS, MACDLL_INFO_AVERAGE_BITRATE}) {
    decoder->Info(code);
  }
  std::vector<std::uint8_t> buffer(
      static_cast<std::size_t>(decoder->Info(MACDLL_INFO_BLOCK_ALIGN)) * 1024);
  Drain(*decoder, buffer, kMaxBlocks);
  const int total = decoder->Info(MACDLL_INFO_TOTAL_BLOCKS);
  for (const int block : {total / 2 + 1, total}) {
    if (decoder->Seek(block) == MACDLL_OK) Drain(*decoder, buffer, 4096);
  }
  return 0;
}
