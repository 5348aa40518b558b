// libFuzzer target for the WAV reader: the input is a file; probing it, copying a range of
// it with fades into a WAV writer, and positioning at its data must neither crash nor hang
// nor write anywhere but the output file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codecs/wav/wav_music.h"
#include "platform/message_box.h"

namespace {

class SilentBoxes : public platform::MessageBoxHandler {
 public:
  platform::BoxAnswer Show(platform::BoxKind, const std::string&) override {
    return platform::BoxAnswer::kOk;
  }
};

// A file of our own in the temporary folder, removed when the fuzzer exits.
class TempPath {
 public:
  explicit TempPath(const char* stem) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + stem + "-XXXXXX";
    const int fd = mkstemp(path_.data());
    if (fd >= 0) close(fd);
  }
  ~TempPath() { unlink(path_.c_str()); }
  const std::string& str() const { return path_; }

 private:
  std::string path_;
};

bool WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Copies frames of `source` into a fresh writer; the source's destructor joins its worker,
// which has closed the writer by then.
void CopyRange(const MusicInfo& info, const std::string& input, const std::string& output,
               std::int64_t start, std::int64_t count, int fadeIn, int fadeOut, int targetBits) {
  WavMusic writer(output);
  writer.info = info;
  writer.info.bitsPerSample = targetBits;
  if (!writer.InitWriter()) return;
  {
    WavMusic source(input);
    source.info = info;
    if (!source.ConvertRange(&writer, start, count, fadeIn, fadeOut)) writer.CloseWriter();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SilentBoxes boxes;
  static const bool installed = (platform::InstallMessageBoxHandler(&boxes), true);
  static const TempPath inputFile("fuzz-wav-in");
  static const TempPath outputFile("fuzz-wav-out");
  const std::string& input = inputFile.str();
  const std::string& output = outputFile.str();
  (void)installed;
  if (!WriteInput(input, data, size)) return 0;

  WavMusic probe(input);
  MusicInfo info;
  if (probe.GetMusicInfo()) {
    info = probe.info;
    const std::int64_t frames = std::int64_t{info.sampleRate} * info.durationMs / 1000;
    CopyRange(info, input, output, 0, frames, 1, 1, info.bitsPerSample);
    CopyRange(info, input, output, frames / 3, frames, 2, 1, info.bitsPerSample == 8 ? 16 : 8);
  } else {
    // The data path must hold up even when the caller's description does not fit the file.
    info.sampleRate = 8000;
    info.channels = 2;
    info.bitsPerSample = 16;
    CopyRange(info, input, output, 1, 100000, 1, 1, 16);
  }
  WavMusic positioned(input);
  if (positioned.OpenAtData()) {
    positioned.Seek(0);
    positioned.Seek(7);
    positioned.Close();
  }
  return 0;
}
