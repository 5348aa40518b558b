// libFuzzer target for the Ogg Vorbis reader, in memory: probing the bytes (format, length,
// comments) and decoding them chunk by chunk on this thread must neither crash nor hang nor
// allocate out of proportion to the input.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/ogg/ogg_music.h"
#include "platform/message_box.h"

namespace {

class SilentBoxes : public platform::MessageBoxHandler {
 public:
  platform::BoxAnswer Show(platform::BoxKind, const std::string&) override {
    return platform::BoxAnswer::kOk;
  }
};

// Runs the steps of the decode loop here instead of on a worker.
class InMemoryOgg : public OggMusic {
 public:
  using OggMusic::OggMusic;

  void DecodeAll() {
    if (!OpenDecode()) return;
    std::vector<std::uint8_t> buffer(kBufferSize);
    while (ReadChunk(buffer.data(), kBufferSize) > 0) {
    }
    CloseDecode();
  }
};

}  // namespace

// libvorbisfile 1.3.7 loses a few bytes on some failed opens of damaged chains (a list of
// serial numbers dropped on an error return inside the library); the caller cannot free them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SilentBoxes boxes;
  static const bool installed = (platform::InstallMessageBoxHandler(&boxes), true);
  (void)installed;
  InMemoryOgg ogg("fuzz.ogg", std::span<const std::uint8_t>(data, size));
  if (ogg.GetMusicInfo()) {
    ogg.ReadTags();
    ogg.DecodeAll();
  }
  return 0;
}
