// Times the Ogg Vorbis pipelines against vorbis-tools on the same 10-minute files, best of a
// few runs each, wall clock and processor time:
//   load:   an Ogg file decoded into a WAV cache, against `oggdec`;
//   export: a WAV cache encoded at 128 kbit/s, against `oggenc -b 128` and against
//           `oggenc --managed -b 128`, the bitrate-managed mode our writer's encoder runs in.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_support.h"
#include "codecs/ogg/ogg_music.h"
#include "codecs/wav/wav_music.h"

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kSeconds = 600;
constexpr std::int64_t kFrames = kRate * kSeconds;
constexpr int kRuns = 2;

struct Timing {
  double wall = 1e30;  // seconds
  double cpu = 1e30;   // user + system seconds of every thread or child process
};

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `job` kRuns times and keeps the best wall and processor times; `who` says whose
// processor time it spends (RUSAGE_SELF or RUSAGE_CHILDREN). False when a run failed.
bool Measure(const std::function<bool()>& job, int who, Timing* best) {
  for (int run = 0; run < kRuns; ++run) {
    const double cpu = CpuSeconds(who);
    const auto start = bench::Clock::now();
    if (!job()) return false;
    best->wall = std::min(best->wall, bench::Ms(bench::Clock::now() - start) / 1000);
    best->cpu = std::min(best->cpu, CpuSeconds(who) - cpu);
  }
  return true;
}

bool Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Two drifting tones over soft noise, so that the encoder works as it does on music.
std::uint32_t MusicLikeFrame(std::int64_t frame) {
  const double t = static_cast<double>(frame) / kRate;
  std::uint32_t noise = static_cast<std::uint32_t>(frame) * 2654435761u;
  noise ^= noise >> 15;
  const double left = 0.3 * std::sin(2 * M_PI * 220 * t) +
                      0.2 * std::sin(2 * M_PI * 331 * t * (1 + 0.01 * std::sin(2 * M_PI * 5 * t)));
  const double right = 0.3 * std::sin(2 * M_PI * 223 * t) + 0.2 * std::sin(2 * M_PI * 441 * t);
  const auto sample = [&](double v, int shift) {
    const auto n = static_cast<std::int16_t>(noise >> shift) / 12;
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 32767 + n));
  };
  return sample(left, 0) | static_cast<std::uint32_t>(sample(right, 16)) << 16;
}

MusicInfo CacheInfo(const std::string& path) {
  MusicInfo info;
  info.fileName = path;
  info.type = kMusicWav;
  info.sampleRate = kRate;
  info.channels = 2;
  info.bitsPerSample = 16;
  info.bitrate = 128;
  info.durationMs = kSeconds * 1000;
  return info;
}

bool LoadIntoCache(const std::string& ogg, const std::string& cachePath) {
  bench::DoneWaiter waiter;
  WavMusic cache(cachePath);
  cache.info = CacheInfo(cachePath);
  cache.progressWindow = &waiter;
  OggMusic source(ogg);
  if (!source.GetMusicInfo() || !cache.InitWriter() || !source.StartConvert(&cache)) return false;
  waiter.Wait();
  return source.info.durationMs == kSeconds * 1000;
}

bool ExportToOgg(const std::string& wav, const std::string& out) {
  bench::DoneWaiter waiter;
  OggMusic writer(out);
  writer.info = CacheInfo(out);
  writer.info.type = kMusicOgg;
  writer.progressWindow = &waiter;
  WavMusic cache(wav);
  cache.info = CacheInfo(wav);
  if (!writer.InitWriter() || !cache.ConvertRange(&writer, 0, kFrames, -1, -1)) return false;
  waiter.Wait();
  return !writer.writeFailed;
}

void Report(const char* what, const Timing& ours, const Timing& tool) {
  std::printf("  %-34s wall %7.2f s / %7.2f s = %.3f   cpu %7.2f s / %7.2f s = %.3f\n", what,
              ours.wall, tool.wall, ours.wall / tool.wall, ours.cpu, tool.cpu, ours.cpu / tool.cpu);
}

bool Bench(const std::string& dir) {
  const std::string wav = dir + "/source.wav";
  const std::string ogg = dir + "/source.ogg";
  const std::string q = "'";
  bench::WriteStereoWav16(wav, kRate, kFrames, MusicLikeFrame);
  if (!Run("oggenc -Q -b 128 -o " + q + ogg + q + " " + q + wav + q)) return false;

  Timing load, oggdec, exportOurs, oggenc, oggencManaged;
  const bool ok =
      Measure([&] { return LoadIntoCache(ogg, dir + "/cache.wav"); }, RUSAGE_SELF, &load) &&
      Measure([&] { return Run("oggdec -Q -o '" + dir + "/oggdec.wav' '" + ogg + q); },
              RUSAGE_CHILDREN, &oggdec) &&
      Measure([&] { return ExportToOgg(wav, dir + "/ours.ogg"); }, RUSAGE_SELF, &exportOurs) &&
      Measure([&] { return Run("oggenc -Q -b 128 -o '" + dir + "/oggenc.ogg' '" + wav + q); },
              RUSAGE_CHILDREN, &oggenc) &&
      Measure(
          [&] {
            return Run("oggenc -Q --managed -b 128 -o '" + dir + "/managed.ogg' '" + wav + q);
          },
          RUSAGE_CHILDREN, &oggencManaged);
  if (!ok) return false;
  std::printf("Ogg Vorbis, 10 minutes of 44.1 kHz stereo, best of %d (ours / tool)\n", kRuns);
  Report("load vs oggdec (target <= 1.1)", load, oggdec);
  Report("export 128k vs oggenc -b 128", exportOurs, oggenc);
  Report("export 128k vs oggenc --managed", exportOurs, oggencManaged);
  return true;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/bench-ogg-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const bool ok = Bench(pattern);
  if (!ok) std::fprintf(stderr, "a run failed\n");
  std::error_code ec;
  std::filesystem::remove_all(pattern, ec);
  return ok ? 0 : 1;
}
