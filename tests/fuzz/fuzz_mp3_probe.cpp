// libFuzzer target for an MP3 file's outside data: the ID3v2 checks and the tag reading
// through id3lib, and the decoder module's probe (libmpg123 over the bytes in memory) with a
// short decode. Everything runs in memory.
#include <cstddef>
#include <cstdint>

#include "codecs/mp3/id3_tags.h"
#include "modules/mp3dec/mp3_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mp3codec::ReadId3Tags(data, size);
  // One stream for every input, as the module keeps one per play.
  static mp3module::Mp3Stream stream;
  if (stream.Open(data, size)) {
    static std::uint8_t pcm[16384];
    for (int chunk = 0; chunk < 4 && stream.Read(pcm, sizeof pcm) > 0; ++chunk) {
    }
  }
  return 0;
}
