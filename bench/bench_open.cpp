// Opening long WAV files through the main window, to the drawn waveform, against `cat`
// reading the same file, in one run:
//  - a three-hour 44.1 kHz 16-bit stereo WAV written in 8 KiB pieces as sox writes it, opened
//    with the file dropped from the page cache (posix_fadvise DONTNEED) and again warm; the
//    process's peak resident memory while opening and drawing;
//  - a 5 GiB 24-bit stereo RF64 file written by our own WAV writer, opened warm, with the
//    longest time the window's event loop was kept from running meanwhile.
// The files go to $WAVELATHE_BENCH_DIR, or a folder beside the executable (not a RAM file
// system, so that "cold" means read from the disk). Prints numbers; never fails.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/wav/wav_music.h"
#include "core/main_frame.h"
#include "platform/byte_order.h"
#include "waveview/wav_view.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr std::int64_t kRate = 44100;
constexpr std::int64_t kFrames = kRate * 3 * 3600;
constexpr std::size_t kSoxBuffer = 8192;  // sox's default buffer: one write per 8 KiB
constexpr int kRuns = 3;

// A 44-byte header and 16-bit stereo noise under a slow swell, written 8 KiB at a time.
bool WriteLikeSox(const std::string& path) {
  const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return false;
  std::vector<std::uint8_t> buffer(kSoxBuffer);
  const std::uint32_t data = static_cast<std::uint32_t>(kFrames * 4);
  std::uint8_t* h = buffer.data();
  std::copy_n("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0", 24, h);
  platform::StoreLe32(h + 4, 36 + data);
  platform::StoreLe32(h + 24, kRate);
  platform::StoreLe32(h + 28, kRate * 4);
  platform::StoreLe16(h + 32, 4);
  platform::StoreLe16(h + 34, 16);
  std::copy_n("data", 4, h + 36);
  platform::StoreLe32(h + 40, data);
  std::size_t used = 44;
  std::uint32_t x = 12345;
  bool ok = true;
  for (std::int64_t f = 0; ok && f < kFrames; ++f) {
    const double swell = 0.2 + 0.8 * std::fabs(std::sin(static_cast<double>(f) / (kRate * 97)));
    for (int c = 0; c < 2; ++c) {
      x = x * 1664525u + 1013904223u;
      const auto s =
          static_cast<std::int32_t>((static_cast<std::int32_t>(x >> 16) - 32768) * swell);
      platform::StorePcm16(buffer.data() + used, s);
      used += 2;
    }
    if (used == buffer.size()) {
      ok = ::write(fd, buffer.data(), used) == static_cast<ssize_t>(used);
      used = 0;
    }
  }
  if (ok && used > 0) ok = ::write(fd, buffer.data(), used) == static_cast<ssize_t>(used);
  ok = ok && ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

// A 5 GiB RF64 file of 24-bit stereo at 48 kHz, through our own writer.
double WriteRf64(const std::string& path, std::int64_t frames) {
  WavMusic writer(path);
  writer.info.sampleRate = 48000;
  writer.info.channels = 2;
  writer.info.bitsPerSample = 24;
  if (!writer.InitWriter()) return -1;
  std::vector<std::uint8_t> piece(6 * (std::int64_t{1} << 20));
  std::uint32_t x = 777;
  for (std::size_t i = 0; i < piece.size(); ++i) {
    x = x * 1664525u + 1013904223u;
    piece[i] = static_cast<std::uint8_t>(x >> 24);
  }
  for (std::int64_t left = frames * 6; left > 0;) {
    const std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(piece.size()));
    if (!writer.WriteSamples(piece.data(), n)) return -1;
    left -= n;
  }
  const Clock::time_point t0 = Clock::now();
  if (!writer.CloseWriter()) return -1;
  return Ms(Clock::now() - t0);
}

void DropFromPageCache(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

double CatMillis(const std::string& path) {
  const Clock::time_point t0 = Clock::now();
  const int rc = std::system(("cat '" + path + "' > /dev/null").c_str());
  return rc == 0 ? Ms(Clock::now() - t0) : -1;
}

// Resident memory figures of this process, in MB: "VmRSS" or "VmHWM" (the peak).
double ResidentMb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + std::strlen(key) + 1) / 1024.0;
  }
  return -1;
}

// Makes the peak resident figure start again from the current one.
void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct OpenTimes {
  double toDrawn;       // OpenMusic until the waveform is painted
  double longestStall;  // longest time the event loop did not run meanwhile
  double cpu;           // CPU time of the process meanwhile, all threads
};

double ProcessCpuMillis() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

OpenTimes OpenAndDraw(CMainFrame& frame, const std::string& path) {
  Clock::time_point last = Clock::now();
  double stall = 0;
  QTimer ticker;
  ticker.setInterval(2);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const Clock::time_point now = Clock::now();
    stall = std::max(stall, Ms(now - last));
    last = now;
  });
  ticker.start();
  const double cpu0 = ProcessCpuMillis();
  last = Clock::now();
  const Clock::time_point t0 = last;
  frame.OpenMusic(QString::fromStdString(path));
  frame.view()->repaint();
  const Clock::time_point t1 = Clock::now();
  stall = std::max(stall, Ms(t1 - last));
  return {Ms(t1 - t0), stall, ProcessCpuMillis() - cpu0};
}

std::string BenchDir() {
  if (const char* dir = std::getenv("WAVELATHE_BENCH_DIR")) return dir;
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "bench-open").string();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string dir = BenchDir();
  std::filesystem::create_directories(dir);
  setenv("WAVELATHE_HOME", dir.c_str(), 1);
  QApplication app(argc, argv);
  const std::string longWav = dir + "/three-hours.wav";
  const std::string rf64 = dir + "/five-gib-rf64.wav";

  const Clock::time_point made = Clock::now();
  if (!WriteLikeSox(longWav)) std::printf("cannot write %s\n", longWav.c_str());
  std::printf("3 h 44.1 kHz 16-bit stereo WAV: %.2f GB, written in 8 KiB pieces in %.0f ms\n",
              static_cast<double>(std::filesystem::file_size(longWav)) / 1e9,
              Ms(Clock::now() - made));

  CMainFrame frame;
  frame.resize(1280, 800);
  frame.show();
  // The machine may be shared: cold and warm runs alternate with cat's, medians are compared.
  std::vector<double> catCold, openCold, catWarm, openWarm;
  double baseRss = 0, peakRss = 0, coldStall = 0;
  for (int run = 0; run < kRuns; ++run) {
    DropFromPageCache(longWav);
    catCold.push_back(CatMillis(longWav));
    DropFromPageCache(longWav);
    baseRss = ResidentMb("VmRSS");
    ResetPeakResident();
    const OpenTimes cold = OpenAndDraw(frame, longWav);
    peakRss = std::max(peakRss, ResidentMb("VmHWM"));
    coldStall = std::max(coldStall, cold.longestStall);
    openCold.push_back(cold.toDrawn);
    CatMillis(longWav);  // makes the whole file warm
    catWarm.push_back(CatMillis(longWav));
    const OpenTimes warm = OpenAndDraw(frame, longWav);
    openWarm.push_back(warm.toDrawn);
    std::printf(
        "run %d: cold cat %.0f ms, open %.0f ms (cpu %.0f); warm cat %.0f ms, open %.0f ms "
        "(cpu %.0f)\n",
        run, catCold.back(), openCold.back(), cold.cpu, catWarm.back(), openWarm.back(), warm.cpu);
  }
  const double cc = bench::Median(catCold), oc = bench::Median(openCold);
  const double cw = bench::Median(catWarm), ow = bench::Median(openWarm);
  std::printf(
      "cold, medians of %d: cat %.0f ms; open to drawn waveform %.0f ms = %.3f x cat "
      "(target <= 0.25)\n",
      kRuns, cc, oc, oc / cc);
  std::printf("warm, medians of %d: cat %.0f ms; open to drawn waveform %.0f ms = %.3f x cat\n",
              kRuns, cw, ow, ow / cw);
  std::printf(
      "resident memory: %.0f MB before opening, peak %.0f MB while opening and drawing "
      "cold (target < 100)\n",
      baseRss, peakRss);

  const std::int64_t rfFrames = (std::int64_t{5} << 30) / 6;
  const double finalize = WriteRf64(rf64, rfFrames);
  std::printf(
      "RF64 %.2f GiB (%.2f h of 24-bit stereo at 48 kHz) written by WavMusic; "
      "finishing it as RF64 took %.0f ms\n",
      static_cast<double>(std::filesystem::file_size(rf64)) / (1 << 30),
      static_cast<double>(rfFrames) / 48000 / 3600, finalize);
  CatMillis(rf64);
  const OpenTimes big = OpenAndDraw(frame, rf64);
  std::printf(
      "RF64 warm: open to drawn waveform %.0f ms (target < 500; cpu %.0f ms), longest "
      "event-loop stall %.0f ms; cold 3 h file stalled the loop %.0f ms at most\n",
      big.toDrawn, big.cpu, big.longestStall, coldStall);
  if (std::getenv("WAVELATHE_BENCH_KEEP") == nullptr) {
    std::filesystem::remove(longWav);
    std::filesystem::remove(rf64);
  }
  return 0;
}
