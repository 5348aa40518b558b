// Times the export's range copy (ConvertRange with fades into a WAV writer) against sox doing
// the same trim and fades on the same file, best of three runs each, and prints the ratio.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/wav/wav_music.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kBits = 16;
constexpr std::int64_t kSourceSeconds = 600;
constexpr std::int64_t kStartSeconds = 60;
constexpr std::int64_t kRangeSeconds = 300;
constexpr int kFadeSeconds = 2;
constexpr int kRuns = 3;

using bench::DoneWaiter;

MusicInfo SourceInfo(const std::string& path) {
  MusicInfo info;
  info.fileName = path;
  info.type = kMusicWav;
  info.sampleRate = kRate;
  info.channels = kChannels;
  info.bitsPerSample = kBits;
  info.durationMs = kSourceSeconds * 1000;
  return info;
}

bool MakeSource(const std::string& path) {
  WavMusic writer(path);
  writer.info = SourceInfo(path);
  if (!writer.InitWriter()) return false;
  std::vector<std::uint8_t> block(1 << 20);
  std::uint32_t x = 12345;
  for (auto& b : block) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  const std::int64_t total = kSourceSeconds * kRate * kChannels * kBits / 8;
  for (std::int64_t done = 0; done < total;) {
    const auto n = static_cast<std::int64_t>(std::min<std::int64_t>(block.size(), total - done));
    if (!writer.WriteSamples(block.data(), n)) return false;
    done += n;
  }
  return writer.CloseWriter();
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double TimeConvertRange(const std::string& source, const std::string& out) {
  DoneWaiter waiter;
  WavMusic reader(source);
  reader.info = SourceInfo(source);
  WavMusic writer(out);
  writer.info = reader.info;
  writer.info.fileName = out;
  writer.info.durationMs = kRangeSeconds * 1000;
  writer.progressWindow = &waiter;
  const auto start = std::chrono::steady_clock::now();
  if (!writer.InitWriter() ||
      !reader.ConvertRange(&writer, kStartSeconds * kRate, kRangeSeconds * kRate, kFadeSeconds,
                           kFadeSeconds))
    return -1;
  waiter.Wait();
  const double elapsed = Seconds(std::chrono::steady_clock::now() - start);
  // A run that did not write the whole range does not count.
  const std::uintmax_t expected = 46 + kRangeSeconds * kRate * kChannels * kBits / 8;
  std::error_code ec;
  return std::filesystem::file_size(out, ec) == expected ? elapsed : -1;
}

double TimeSox(const std::string& source, const std::string& out) {
  const std::string command = "sox -V1 '" + source + "' '" + out + "' trim " +
                              std::to_string(kStartSeconds) + " " + std::to_string(kRangeSeconds) +
                              " fade " + std::to_string(kFadeSeconds) + " " +
                              std::to_string(kRangeSeconds) + " " + std::to_string(kFadeSeconds);
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double elapsed = Seconds(std::chrono::steady_clock::now() - start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/bench-convert-range-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  const std::string source = dir + "/source.wav";
  int rc = 0;
  if (!MakeSource(source)) {
    std::fprintf(stderr, "could not write the source file\n");
    rc = 1;
  } else {
    double ours = 1e9, sox = 1e9;
    for (int run = 0; run < kRuns; ++run) {
      const double a = TimeConvertRange(source, dir + "/ours.wav");
      const double b = TimeSox(source, dir + "/sox.wav");
      if (a < 0 || b < 0) {
        std::fprintf(stderr, "run %d failed (ours %.3f s, sox %.3f s)\n", run, a, b);
        rc = 1;
        break;
      }
      ours = std::min(ours, a);
      sox = std::min(sox, b);
    }
    if (rc == 0) {
      std::printf("ConvertRange 300 s from 60 s, 2 s fades, 44.1 kHz 16-bit stereo (best of %d)\n",
                  kRuns);
      std::printf("  ours: %.3f s\n  sox:  %.3f s\n  ratio ours/sox: %.3f (target <= 0.333)\n",
                  ours, sox, ours / sox);
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return rc;
}
