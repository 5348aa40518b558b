// The APE library against public tools on the same 10-minute music-like file (44.1 kHz 16-bit
// stereo, synthesised: chords, bass, melody, drums, panned): size per level against `flac -8`,
// encoding time at levels 2000 and 5000 (with one and with all workers) against `flac -8`,
// decoding time against `ffmpeg -i x.ape x.wav` (the library alone, and the whole load into the
// PCM cache through ApeMusic), and the size of re-encoding a real level 3000
// file at 3000. Each time is the best of three rounds in which the contenders alternate.
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"
#include "modules/macdll/ape_compressor.h"
#include "modules/macdll/mac_dll.h"

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kSeconds = 600;
constexpr int kRuns = 3;
using Bytes = std::vector<std::uint8_t>;

// Wall-clock and processor seconds (this process's threads plus waited-for children): the
// machine is shared, and processor time shows the work apart from the waiting.
struct Timing {
  double wall = -1;
  double cpu = -1;
  bool ok() const { return wall >= 0; }
};

class Stopwatch {
 public:
  Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(CpuSeconds()) {}
  Timing Stop() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(),
            CpuSeconds() - cpu_};
  }

 private:
  static double CpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
      rusage u{};
      getrusage(who, &u);
      total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
  }

  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

struct Lcg {
  std::uint32_t state = 1;
  double Next() {  // -1 … 1
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

double NoteHz(int semitone) { return 220.0 * std::pow(2.0, semitone / 12.0); }

// One voice: a few harmonics under an exponential decay since its onset.
double Voice(double hz, double since, double decay, double brightness) {
  if (since < 0) return 0;
  const double phase = 2 * M_PI * hz * since;
  const double tone = std::sin(phase) + brightness * std::sin(2 * phase + 0.3) +
                      brightness * brightness * std::sin(3 * phase + 1.1);
  return tone * std::exp(-since * decay) * std::min(1.0, since * 200);
}

// 16-bit stereo, interleaved: a four-chord loop, a bass on every beat, a melody of eighths drawn
// from a pentatonic scale, kick, snare and hi-hat, each placed in the stereo field.
Bytes MakeMusic() {
  static const int kChords[4][3] = {{0, 3, 7}, {-4, 0, 3}, {-7, -4, 0}, {-2, 2, 5}};
  static const int kScale[5] = {0, 3, 5, 7, 10};
  const double beat = 0.5;
  const std::int64_t blocks = kSeconds * kRate;
  Bytes pcm(static_cast<std::size_t>(blocks) * 4);
  Lcg noise, melody;
  int note = 12;
  std::int64_t eighth = -1;
  for (std::int64_t i = 0; i < blocks; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const auto beatIndex = static_cast<std::int64_t>(t / beat);
    const double inBeat = t - beatIndex * beat;
    const std::int64_t e = static_cast<std::int64_t>(t / (beat / 2));
    if (e != eighth) {
      eighth = e;
      note = std::clamp(note + static_cast<int>(melody.Next() * 3.0), 5, 24);
    }
    const double inEighth = t - e * (beat / 2);
    const int* chord = kChords[(beatIndex / 8) % 4];
    double pad = 0;
    for (int k = 0; k < 3; ++k)
      pad += Voice(NoteHz(chord[k]), t - (beatIndex / 8) * 8 * beat, 0.4, 0.3);
    const double bass = Voice(NoteHz(chord[0] - 24), inBeat, 3.0, 0.6);
    const double lead = Voice(NoteHz(kScale[note % 5] + 12 * (note / 5) - 12), inEighth, 6.0, 0.5);
    const double kick = beatIndex % 2 == 0 ? Voice(60 - 30 * inBeat, inBeat, 12.0, 0.1) : 0;
    const double hiss = noise.Next();
    const double snare = beatIndex % 2 == 1 ? hiss * std::exp(-inBeat * 18) : 0;
    const double hat = hiss * std::exp(-inEighth * 60) * 0.3;
    const double left =
        0.22 * pad + 0.3 * bass + 0.25 * lead + 0.35 * kick + 0.2 * snare + 0.1 * hat;
    const double right =
        0.22 * pad + 0.3 * bass + 0.12 * lead + 0.35 * kick + 0.15 * snare + 0.2 * hat;
    for (int c = 0; c < 2; ++c) {
      const double v =
          std::clamp((c == 0 ? left : right) * 20000 + noise.Next(), -32768.0, 32767.0);
      const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
      pcm[static_cast<std::size_t>(i) * 4 + c * 2] = static_cast<std::uint8_t>(s);
      pcm[static_cast<std::size_t>(i) * 4 + c * 2 + 1] = static_cast<std::uint8_t>(s >> 8);
    }
  }
  return pcm;
}

// Encodes `pcm` as the program does (1024-block pieces); seconds, or -1 on failure.
Timing EncodeApe(const Bytes& pcm, int channels, const std::string& path, int level, int workers) {
  const Stopwatch watch;
  macdll::ApeCompressor encoder(workers);
  const auto align = static_cast<std::uint16_t>(channels * 2);
  const ApeWaveFormatEx format{1,     static_cast<std::uint16_t>(channels),
                               kRate, static_cast<std::uint32_t>(kRate * align),
                               align, 16,
                               0};
  int rc = encoder.Start(path.c_str(), format, static_cast<std::int64_t>(pcm.size()), level);
  for (std::size_t done = 0; rc == MACDLL_OK && done < pcm.size(); done += 1024 * align) {
    rc = encoder.AddData(pcm.data() + done, static_cast<std::int64_t>(std::min<std::size_t>(
                                                1024 * align, pcm.size() - done)));
  }
  if (rc == MACDLL_OK) rc = encoder.Finish();
  return rc == MACDLL_OK ? watch.Stop() : Timing{};
}

// Decodes as the program does (1024 blocks per call) into a file; seconds, or -1 on failure.
Timing DecodeApe(const std::string& path, const std::string& out) {
  const Stopwatch watch;
  int error = 0;
  ApeDecompressHandle decoder = c_APEDecompress_Create(path.c_str(), &error);
  if (decoder == nullptr) return {};
  const int align = c_APEDecompress_GetInfo(decoder, MACDLL_INFO_BLOCK_ALIGN, 0, 0);
  std::vector<unsigned char> buffer(static_cast<std::size_t>(align) * 1024);
  std::FILE* file = std::fopen(out.c_str(), "wb");
  int got = 0;
  do {
    error = c_APEDecompress_GetData(decoder, buffer.data(), 1024, &got);
    if (file != nullptr) std::fwrite(buffer.data(), 1, static_cast<std::size_t>(got) * align, file);
  } while (error == MACDLL_OK && got > 0);
  c_APEDecompress_Destroy(decoder);
  if (file == nullptr || std::fclose(file) != 0 || error != MACDLL_OK) return {};
  return watch.Stop();
}

// Loads as the program opens a file: the probe, then ApeMusic decoding into a WAV cache.
Timing LoadThroughApeMusic(const std::string& path, const std::string& cache) {
  const Stopwatch watch;
  MusicInfo info;
  info.fileName = path;
  info.type = kMusicApe;
  auto source = CreateMusic(kMusicApe, path);
  if (!ProbeMusicFile(info) || source == nullptr) return {};
  source->info = info;
  bench::DoneWaiter done;
  WavMusic writer(cache);
  writer.info = info;
  writer.progressWindow = &done;
  if (!writer.InitWriter() || !source->StartConvert(&writer)) return {};
  done.Wait();
  return writer.writeFailed ? Timing{} : watch.Stop();
}

Timing TimeCommand(const std::string& command) {
  const Stopwatch watch;
  const int status = std::system(command.c_str());
  const Timing t = watch.Stop();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : Timing{};
}

// Best wall and processor time of each run over kRuns rounds; the runs alternate within a
// round, so a busy spell of the machine does not favour one side. Not ok when a run failed.
std::vector<Timing> BestAlternating(const std::vector<std::function<Timing()>>& runs) {
  std::vector<Timing> best(runs.size(), Timing{1e9, 1e9});
  for (int round = 0; round < kRuns; ++round) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
      if (!best[i].ok()) continue;
      const Timing t = runs[i]();
      best[i] =
          t.ok() ? Timing{std::min(best[i].wall, t.wall), std::min(best[i].cpu, t.cpu)} : Timing{};
    }
  }
  return best;
}

// "12.34 s (cpu 12.00 s)"
std::string Describe(const Timing& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f s (cpu %.2f s)", t.wall, t.cpu);
  return text;
}

std::uintmax_t Size(const std::string& path) {
  std::error_code ec;
  return std::filesystem::file_size(path, ec);
}

bool ReportSizes(const Bytes& pcm, const std::string& dir, const std::string& wav) {
  const std::string flac = dir + "/music.flac";
  if (!TimeCommand("flac -s -8 -f -o '" + flac + "' '" + wav + "'").ok()) return false;
  std::printf("Size on 10 min of music-like 16-bit stereo (%zu bytes of PCM), flac -8: %ju bytes\n",
              pcm.size(), Size(flac));
  for (int level = 1000; level <= 5000; level += 1000) {
    const std::string ape = dir + "/music" + std::to_string(level) + ".ape";
    if (!EncodeApe(pcm, 2, ape, level, 0).ok()) return false;
    std::printf("  level %d: %ju bytes, ratio ape/flac %.3f\n", level, Size(ape),
                static_cast<double>(Size(ape)) / static_cast<double>(Size(flac)));
  }
  return true;
}

bool ReportEncodeTimes(const Bytes& pcm, const std::string& dir, const std::string& wav) {
  const std::string flacCommand = "flac -s -8 -f -o '" + dir + "/t.flac' '" + wav + "'";
  std::vector<std::function<Timing()>> runs = {[&] { return TimeCommand(flacCommand); }};
  const int levels[] = {2000, 5000};
  const int workers[] = {1, 0};
  for (const int level : levels) {
    for (const int w : workers) {
      runs.push_back(
          [&pcm, &dir, level, w] { return EncodeApe(pcm, 2, dir + "/t.ape", level, w); });
    }
  }
  const std::vector<Timing> best = BestAlternating(runs);
  for (const Timing& t : best) {
    if (!t.ok()) return false;
  }
  std::printf("Encoding 10 min stereo (best of %d): flac -8 %s\n", kRuns,
              Describe(best[0]).c_str());
  for (std::size_t i = 1; i < best.size(); ++i) {
    const int level = levels[(i - 1) / 2];
    const bool all = workers[(i - 1) % 2] == 0;
    std::printf("  level %d, %s: %s, ratio ours/flac %.3f (cpu %.3f)%s\n", level,
                all ? "1 worker per core" : "1 worker", Describe(best[i]).c_str(),
                best[i].wall / best[0].wall, best[i].cpu / best[0].cpu,
                level == 2000 && all ? ", target <= 1.5" : "");
  }
  return true;
}

bool ReportDecodeTimes(const std::string& dir) {
  std::vector<std::function<Timing()>> runs;
  for (const int level : {2000, 5000}) {
    const std::string ape = dir + "/music" + std::to_string(level) + ".ape";
    runs.push_back([ape, dir] {
      return TimeCommand("ffmpeg -nostdin -v error -y -i '" + ape + "' '" + dir + "/f.wav'");
    });
    runs.push_back([ape, dir] { return DecodeApe(ape, dir + "/o.pcm"); });
    runs.push_back([ape, dir] { return LoadThroughApeMusic(ape, dir + "/cache.wav"); });
  }
  const std::vector<Timing> best = BestAlternating(runs);
  for (std::size_t i = 0; i < best.size(); i += 3) {
    if (!best[i].ok() || !best[i + 1].ok() || !best[i + 2].ok()) return false;
    std::printf(
        "Decoding the level %d file (best of %d): ffmpeg -i x.ape x.wav %s; library %s, "
        "ratio %.3f (cpu %.3f); load into the cache through ApeMusic %s, ratio %.3f (cpu %.3f), "
        "target <= 1.1\n",
        i == 0 ? 2000 : 5000, kRuns, Describe(best[i]).c_str(), Describe(best[i + 1]).c_str(),
        best[i + 1].wall / best[i].wall, best[i + 1].cpu / best[i].cpu,
        Describe(best[i + 2]).c_str(), best[i + 2].wall / best[i].wall,
        best[i + 2].cpu / best[i].cpu);
  }
  return true;
}

bool ReportRealFile(const std::string& dir) {
  const std::string real = std::string(WAVELATHE_TESTDATA) + "/real/mac-399.ape";
  if (!std::filesystem::exists(real)) {
    std::printf("Re-encoding mac-399.ape: skipped, %s is absent\n", real.c_str());
    return true;
  }
  const std::string raw = dir + "/real.raw";
  if (!TimeCommand("ffmpeg -nostdin -v error -y -i '" + real + "' -f s16le '" + raw + "'").ok())
    return false;
  std::ifstream in(raw, std::ios::binary);
  const Bytes pcm{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string ape = dir + "/real.ape";
  if (!EncodeApe(pcm, 2, ape, 3000, 0).ok()) return false;
  // Frame data = file minus descriptor, header and seek table (the original reserves a table for
  // 2 GiB of audio, 29128 bytes; ours for the audio announced).
  const auto frames = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::uint8_t d[28] = {};
    f.read(reinterpret_cast<char*>(d), sizeof d);
    return static_cast<double>(d[24] | d[25] << 8 | d[26] << 16 | std::uint32_t{d[27]} << 24);
  };
  std::printf(
      "Re-encoding mac-399.ape (level 3000) at 3000: file %ju vs %ju bytes (%.4f), "
      "frame data %.0f vs %.0f bytes (%.4f, target within 1 %%)\n",
      Size(ape), Size(real), static_cast<double>(Size(ape)) / static_cast<double>(Size(real)),
      frames(ape), frames(real), frames(ape) / frames(real));
  return true;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/bench-ape-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  const Bytes pcm = MakeMusic();
  const std::string wav = dir + "/music.wav";
  bench::WriteStereoWav16(wav, kRate, kSeconds * kRate, [&pcm](std::int64_t f) {
    const std::size_t i = static_cast<std::size_t>(f) * 4;
    return static_cast<std::uint32_t>(pcm[i] | pcm[i + 1] << 8 | pcm[i + 2] << 16 |
                                      pcm[i + 3] << 24);
  });
  const bool ok = ReportSizes(pcm, dir, wav) && ReportEncodeTimes(pcm, dir, wav) &&
                  ReportDecodeTimes(dir) && ReportRealFile(dir);
  if (!ok) std::fprintf(stderr, "a run failed\n");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return ok ? 0 : 1;
}
