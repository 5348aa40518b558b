// The MP3 codec in the program's own pipelines against the public tools, on the same
// 10-minute 44.1 kHz stereo signal, in one run:
//  - load: Mp3Music probes and decodes a 128 kbit/s MP3 into a WAV cache (as the load dialog
//    does), against `mpg123 -w` on the same file;
//  - export: WavMusic::ConvertRange feeds the WAV to an Mp3Music writer at 128 kbit/s CBR with
//    the default settings and tags (as the split does), against `lame -b 128` on that WAV.
// Prints the median of several alternating runs, in milliseconds, and the ratios.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/mp3/mp3_music.h"
#include "codecs/music_registry.h"
#include "codecs/wav/wav_music.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Ms;

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = std::int64_t{600} * kRate;
constexpr int kRuns = 3;

// Probe, then decode into a cache writer until its completion: the load of one MP3.
double Load(const std::string& mp3, const std::string& cache) {
  const auto start = Clock::now();
  MusicInfo info;
  info.fileName = mp3;
  info.type = kMusicMp3;
  if (!ProbeMusicFile(info)) std::fprintf(stderr, "probe failed\n");
  bench::DoneWaiter window;
  Mp3Music source(mp3);
  source.info = info;
  WavMusic writer(cache);
  writer.info = info;
  writer.info.type = kMusicWav;
  writer.progressWindow = &window;
  if (!writer.InitWriter() || !source.StartConvert(&writer)) std::fprintf(stderr, "no load\n");
  window.Wait();
  return Ms(Clock::now() - start);
}

// The whole WAV exported to MP3 at 128 kbit/s through the split's range copy.
double Export(const std::string& wav, const std::string& mp3) {
  const auto start = Clock::now();
  WavMusic reader(wav);
  if (!reader.GetMusicInfo()) std::fprintf(stderr, "cannot read %s\n", wav.c_str());
  bench::DoneWaiter window;
  Mp3Music writer(mp3);
  writer.info = reader.info;
  writer.info.type = kMusicMp3;
  writer.info.bitrate = 128;
  writer.info.tag = {"title", "artist", "album", "1", "2024", "Rock"};
  writer.progressWindow = &window;
  if (!writer.InitWriter() || !reader.ConvertRange(&writer, 0, kFrames, -1, -1))
    std::fprintf(stderr, "no export\n");
  window.Wait();
  return Ms(Clock::now() - start);
}

}  // namespace

int main() {
  const std::string dir = (std::filesystem::temp_directory_path() / "bench_mp3_music").string();
  std::filesystem::create_directories(dir);
  const std::string wav = dir + "/source.wav", mp3 = dir + "/source.mp3";
  bench::WriteMusicLikeWav(wav, kRate, kFrames);
  std::vector<double> lame, exported, mpg123, loaded;
  for (int run = 0; run < kRuns; ++run) {
    lame.push_back(bench::TimeCommand("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    exported.push_back(Export(wav, dir + "/export.mp3"));
    mpg123.push_back(bench::TimeCommand("mpg123 -q -w '" + dir + "/mpg123.wav' '" + mp3 + "'"));
    loaded.push_back(Load(mp3, dir + "/cache.wav"));
  }
  std::printf("10 min 44.1 kHz stereo, median of %d runs (ms)\n", kRuns);
  std::printf("load    mpg123 -w %8.0f  Mp3Music into the cache %8.0f  ratio %.2f\n",
              Median(mpg123), Median(loaded), Median(loaded) / Median(mpg123));
  std::printf("export  lame -b 128 %6.0f  range copy into Mp3Music %6.0f  ratio %.2f\n",
              Median(lame), Median(exported), Median(exported) / Median(lame));
  std::filesystem::remove_all(dir);
  return 0;
}
