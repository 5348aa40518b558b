// Times reading a whole CD track from a disc image (the track file, then raw reads of 16
// sectors written to a file) and loading it as the window does (the CD track source decoding
// into a WAV cache on its worker) against cd-read from libcdio-utils reading the same sectors
// to a file, best of three runs each, and prints the ratios and the load's speed against
// real time.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "cd/raw_track_reader.h"
#include "cd/track_file.h"
#include "codecs/music_registry.h"

namespace {

constexpr std::uint32_t kSectors = 300 * 75;  // a five-minute track
constexpr int kRuns = 3;

std::string MakeImage(const std::string& dir) {
  std::vector<char> block(1 << 20);
  std::uint32_t x = 12345;
  for (char& b : block) {
    x = x * 1103515245u + 12345u;
    b = static_cast<char>(x >> 16);
  }
  std::ofstream bin(dir + "/disc.bin", std::ios::binary);
  for (std::uint64_t left = std::uint64_t{kSectors} * 2352; left > 0;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), left));
    bin.write(block.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
  std::ofstream(dir + "/disc.cue") << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                   << "    INDEX 01 00:00:00\n";
  return dir + "/disc.cue";
}

bool ReadWithOurs(const std::string& image, const std::string& output) {
  const std::string track = image + "/Track01.cda";
  cd::TrackExtent extent;
  cd::RawTrackReader reader;
  if (!cd::ReadTrackFile(track, extent) || !reader.Open(track, extent)) return false;
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  std::span<const std::uint8_t> chunk;
  while (reader.ReadNext(chunk)) {
    out.write(reinterpret_cast<const char*>(chunk.data()),
              static_cast<std::streamsize>(chunk.size()));
  }
  return !reader.Failed() && out.good();
}

// The window's load: probe (without the CDDB lookup), then the track into a WAV cache.
bool LoadWithOurs(const std::string& image, const std::string& cachePath) {
  auto source = CreateMusic(kMusicCda, image + "/Track01.cda");
  if (!source || !source->GetMusicInfo()) return false;
  bench::DoneWaiter window;
  auto cache = CreateMusic(kMusicWav, cachePath);
  cache->info = source->info;
  cache->info.type = kMusicWav;
  cache->progressWindow = &window;
  if (!cache->InitWriter() || !source->StartConvert(cache.get())) return false;
  window.Wait();
  return !cache->writeFailed;
}

bool SameBytes(const std::string& a, std::streamoff skipA, const std::string& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  x.seekg(skipA);
  return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

template <typename Body>
double BestMs(Body body) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = bench::Clock::now();
    if (!body()) return -1;
    times.push_back(bench::Ms(bench::Clock::now() - start));
  }
  return *std::min_element(times.begin(), times.end());
}

}  // namespace

int main() {
  char pattern[] = "/tmp/bench-cd-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  const std::string image = MakeImage(dir);
  const double ours = BestMs([&] { return ReadWithOurs(image, dir + "/ours.raw"); });
  const double load = BestMs([&] { return LoadWithOurs(image, dir + "/cache.wav"); });
  const std::string command = "cd-read --no-header -m audio -i '" + image + "' -s 0 -n " +
                              std::to_string(kSectors) + " -o '" + dir +
                              "/tool.raw' >/dev/null 2>&1";
  const double tool = BestMs([&] { return std::system(command.c_str()) == 0; });
  const bool same = SameBytes(dir + "/ours.raw", 0, dir + "/tool.raw") &&
                    SameBytes(dir + "/cache.wav", 46, dir + "/tool.raw");
  std::printf("CD track read, %u sectors (%.0f MB): ours %.1f ms, cd-read %.1f ms, ratio %.2f%s\n",
              kSectors, kSectors * 2352 / 1e6, ours, tool, tool > 0 ? ours / tool : 0.0,
              same ? "" : " (outputs differ)");
  std::printf("CD track load into the cache: %.1f ms, ratio to cd-read %.2f, %.0fx real time\n",
              load, tool > 0 ? load / tool : 0.0, load > 0 ? kSectors / 75.0 * 1000 / load : 0.0);
  std::filesystem::remove_all(dir);
  return 0;
}
