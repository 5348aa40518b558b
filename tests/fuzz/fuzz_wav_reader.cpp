// libFuzzer target for the WAV reader and the RIFF layer under it: the input is a file. Probing
// it, positioning at its data, walking all its chunks, and writing its bytes as samples through
// the WAV writer (repacked to another width) must neither crash nor hang nor write anywhere but
// the output file.
//
// Everything stays in memory and on this thread: the input and the output are memory files
// (memfd) made once per process and reached by their /proc/self/fd paths, so no file is made
// on disk per input and thousands of inputs run per second. (The range copy runs on a worker
// thread of its own and is left to the unit tests.)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "codecs/wav/wav_music.h"
#include "platform/message_box.h"
#include "platform/riff.h"

namespace {

class SilentBoxes : public platform::MessageBoxHandler {
 public:
  platform::BoxAnswer Show(platform::BoxKind, const std::string&) override {
    return platform::BoxAnswer::kOk;
  }
};

class MemoryFile {
 public:
  explicit MemoryFile(const char* name)
      : fd_(memfd_create(name, MFD_CLOEXEC)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
  bool Fill(const std::uint8_t* data, std::size_t size) const {
    if (fd_ < 0 || ftruncate(fd_, 0) != 0) return false;
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

// Descends into every chunk (lists and forms recursively), reading a little of each.
void WalkChunks(platform::HMMIO file, const platform::MMCKINFO* parent, int depth, int& budget) {
  platform::MMCKINFO chunk;
  while (budget-- > 0 && platform::mmioDescend(file, &chunk, parent, 0) == 0) {
    const bool form = chunk.ckid == platform::mmioStringToFOURCC("RIFF", 0) ||
                      chunk.ckid == platform::mmioStringToFOURCC("LIST", 0);
    if (form && depth < 8) {
      WalkChunks(file, &chunk, depth + 1, budget);
    } else {
      std::uint8_t head[64];
      platform::mmioRead(file, head, sizeof head);
    }
    if (platform::mmioAscend(file, &chunk, 0) != 0) return;
  }
}

// The input's bytes as samples of `info` into a writer, widened or narrowed on the way.
void WriteAsSamples(const MusicInfo& info, const std::string& output, const std::uint8_t* data,
                    std::size_t size) {
  WavMusic writer(output);
  writer.info = info;
  writer.info.bitsPerSample = info.bitsPerSample == 8 ? 16 : 8;
  if (!writer.InitWriter()) return;
  const auto half = static_cast<std::int64_t>(size / 2);
  Music::RepackSamples(data, half, &writer, info.bitsPerSample, writer.info.bitsPerSample);
  writer.WriteSamples(data + half, static_cast<std::int64_t>(size) - half);
  writer.CloseWriter();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SilentBoxes boxes;
  static const bool installed = (platform::InstallMessageBoxHandler(&boxes), true);
  static const MemoryFile input("fuzz-wav-in");
  static const MemoryFile output("fuzz-wav-out");
  (void)installed;
  if (!input.Fill(data, size)) return 0;

  WavMusic probe(input.path());
  MusicInfo info;
  if (probe.GetMusicInfo()) {
    probe.ReadTags();
    info = probe.info;
  } else {
    // The writer must hold up even when the description does not come from a valid file.
    info.sampleRate = 8000;
    info.channels = 2;
    info.bitsPerSample = 16;
  }
  WriteAsSamples(info, output.path(), data, size);

  WavMusic positioned(input.path());
  if (positioned.OpenAtData()) {
    positioned.Seek(0);
    positioned.Seek(7);
    positioned.Close();
  }

  platform::MMIOINFO openInfo{};
  if (platform::HMMIO file = platform::mmioOpen(input.path(), &openInfo, platform::MMIO_READ)) {
    int budget = 4096;
    WalkChunks(file, nullptr, 0, budget);
    platform::mmioSeek(file, -1, SEEK_END);
    platform::mmioClose(file, 0);
  }
  return 0;
}
