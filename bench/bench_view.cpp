// Speed of the waveform view on a three-hour 44.1 kHz 16-bit stereo cache: building the peak
// table, a full repaint of a 1920 × 1080 view at zoom 1 and 1000, the table's size and the
// time from SetMusic to a drawn waveform. Prints numbers; never fails.
//
// The cache is written in full with a cheap pattern in 8 MiB blocks (about half a second), so
// it sits in the page cache as a freshly decoded cache does. A sparse file would measure the
// file system's hole handling instead: first touches of holes cost up to 100 µs each here.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "waveview/wav_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kRate = 44100;
constexpr std::int64_t kFrames = kRate * 3 * 3600;
constexpr std::int64_t kDataBytes = kFrames * 4;

void Put32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
void Put16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }

bool WriteSparseCache(const std::string& path) {
  std::uint8_t header[44] = {'R', 'I', 'F', 'F', 0,   0,   0,  0, 'W', 'A',
                             'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0,   0};
  Put32(header + 4, static_cast<std::uint32_t>(36 + kDataBytes));
  Put16(header + 20, 1);
  Put16(header + 22, 2);
  Put32(header + 24, kRate);
  Put32(header + 28, kRate * 4);
  Put16(header + 32, 4);
  Put16(header + 34, 16);
  std::memcpy(header + 36, "data", 4);
  Put32(header + 40, static_cast<std::uint32_t>(kDataBytes));
  const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return false;
  bool ok = ::pwrite(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
  std::vector<std::int16_t> block(4 << 20);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::int16_t>((i * 7919) % 60'000 - 30'000);
  }
  const std::int64_t blockBytes = static_cast<std::int64_t>(block.size() * 2);
  for (std::int64_t at = 0; ok && at < kDataBytes; at += blockBytes) {
    const std::int64_t n = std::min(blockBytes, kDataBytes - at);
    ok = ::pwrite(fd, block.data(), n, 44 + at) == n;
  }
  return ::close(fd) == 0 && ok;
}

template <typename Fn>
double Millis(Fn&& fn) {
  const auto start = Clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ThreadCpuMillis() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Median wall time and median CPU time of this thread (the machine may be shared; the CPU
// time is what the drawing itself costs).
struct Times {
  double wall;
  double cpu;
};

template <typename Fn>
Times MedianMillis(int runs, Fn&& fn) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < runs; ++i) {
    const double c0 = ThreadCpuMillis();
    wall.push_back(Millis(fn));
    cpu.push_back(ThreadCpuMillis() - c0);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

MusicInfo CacheInfo(const std::string& path) {
  MusicInfo info;
  info.fileName = path;
  info.type = kMusicWav;
  info.sampleRate = kRate;
  info.channels = 2;
  info.bitsPerSample = 16;
  info.durationMs = kFrames * 1000 / kRate;
  return info;
}

void BenchRepaint(CWavView& view, double zoom, std::int64_t start) {
  view.SetZoom(zoom);
  view.SetViewStart(start);
  view.MoveCursor(start + kFrames / 4000);
  view.SetSegment(start, start + kFrames / 3000);
  const Times render = MedianMillis(31, [&] { view.RenderAll(); });
  const Times repaint = MedianMillis(31, [&] {
    view.SetViewStart(view.viewStart);  // marks the buffer stale like a scroll
    view.repaint();
  });
  std::printf(
      "full repaint 1920x1080, zoom %-6g: render %.2f ms (cpu %.2f), render+blit %.2f ms"
      " (cpu %.2f), medians of 31 (target < 8 ms)\n",
      zoom, render.wall, render.cpu, repaint.wall, repaint.cpu);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                           "/wavelathe_bench_view.wav";
  double made = Millis([&] {
    if (!WriteSparseCache(path)) std::printf("cannot write %s\n", path.c_str());
  });
  std::printf("cache: %lld frames (3 h, 44.1 kHz, 16-bit stereo), %.2f GB, made in %.0f ms\n",
              static_cast<long long>(kFrames), kDataBytes / 1e9, made);

  CWavView view;
  view.resize(1920, 1080);
  view.show();
  view.SetZoom(1.0);
  const double toWave = Millis([&] {
    view.SetMusic(CacheInfo(path));
    view.repaint();
  });
  std::printf("SetMusic to drawn waveform (dialog, worker, first paint): %.1f ms (target < 500)\n",
              toWave);
  const Times peaks = MedianMillis(7, [&] { view.ComputePeaks(nullptr); });
  std::printf(
      "ComputePeaks: %.2f ms (cpu %.2f) median of 7 (target < 100); table %lld entries"
      " of %lld frames, %zu bytes (target < 100 KB)\n",
      peaks.wall, peaks.cpu, static_cast<long long>(view.peaks().blockCount()),
      static_cast<long long>(view.peaks().blockFrames()), view.peaks().MemoryBytes());
  view.hasMusic = true;
  BenchRepaint(view, 1.0, 0);
  BenchRepaint(view, 1000.0, kFrames / 2);
  if (std::getenv("WAVELATHE_BENCH_KEEP") == nullptr) ::unlink(path.c_str());
  return 0;
}
