// The WMA codec against ffmpeg on the same files, in one run.
//
// A 10-minute 44.1 kHz 16-bit stereo WAV (a tone over noise) is the input.
//  - load: probe and decode ffmpeg's 128 kbit/s WMA 2 file with WmaMusic into a WAV cache
//    writer, until its completion, against `ffmpeg -i x.wma x.wav`;
//  - export: WavMusic::ConvertRange of the whole WAV into a WmaMusic writer at 128 kbit/s,
//    from InitWriter to the completion (tags written), against
//    `ffmpeg -i x.wav -c:a wmav2 -b:a 128k y.wma`.
// Prints the median of several alternating runs, in milliseconds, and the ratios.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/wav/wav_music.h"
#include "codecs/wma/wma_music.h"

namespace {

using bench::Clock;
using bench::DoneWaiter;
using bench::Median;
using bench::Ms;

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = std::int64_t{600} * kRate;
constexpr int kKbps = 128;
constexpr int kRuns = 3;

double TimeCommand(const std::string& command) {
  const Clock::time_point t0 = Clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return Ms(Clock::now() - t0);
}

double Load(const std::string& wma, const std::string& cache) {
  const Clock::time_point t0 = Clock::now();
  WmaMusic source(wma);
  if (!source.GetMusicInfo()) return -1;
  WavMusic writer(cache);
  writer.info = source.info;
  writer.info.type = kMusicWav;
  DoneWaiter waiter;
  writer.progressWindow = &waiter;
  if (!writer.InitWriter() || !source.StartConvert(&writer)) return -1;
  waiter.Wait();
  return Ms(Clock::now() - t0);
}

double Export(const std::string& wav, const std::string& output) {
  WavMusic source(wav);
  if (!source.GetMusicInfo()) return -1;
  const Clock::time_point t0 = Clock::now();
  WmaMusic writer(output);
  writer.info = source.info;
  writer.info.type = kMusicWma;
  writer.info.bitrate = kKbps;
  writer.info.tag.title = "bench";
  DoneWaiter waiter;
  writer.progressWindow = &waiter;
  if (!writer.InitWriter() || !source.ConvertRange(&writer, 0, kFrames, -1, -1)) return -1;
  waiter.Wait();
  return Ms(Clock::now() - t0);
}

}  // namespace

int main() {
  const std::string dir = std::filesystem::temp_directory_path() / "bench_wma_music";
  std::filesystem::create_directories(dir);
  const std::string wav = dir + "/source.wav", theirs = dir + "/ffmpeg.wma";
  bench::WriteToneOverNoise(wav, kRate, kFrames);
  const std::string ffmpeg = "ffmpeg -v error -y -nostdin ";
  std::vector<double> exportOurs, exportFfmpeg, loadOurs, loadFfmpeg;
  for (int run = 0; run < kRuns; ++run) {
    exportFfmpeg.push_back(TimeCommand(ffmpeg + "-i " + wav + " -c:a wmav2 -b:a 128k " + theirs));
    exportOurs.push_back(Export(wav, dir + "/ours.wma"));
    loadFfmpeg.push_back(TimeCommand(ffmpeg + "-i " + theirs + " " + dir + "/ffmpeg.wav"));
    loadOurs.push_back(Load(theirs, dir + "/ours.wav"));
  }
  const double eo = Median(exportOurs), ef = Median(exportFfmpeg);
  const double lo = Median(loadOurs), lf = Median(loadFfmpeg);
  std::printf("load 10 min WMA 2 into the cache: WmaMusic %.0f ms, ffmpeg %.0f ms, ratio %.2f\n",
              lo, lf, lo / lf);
  std::printf("export 10 min at 128 kbit/s:      WmaMusic %.0f ms, ffmpeg %.0f ms, ratio %.2f\n",
              eo, ef, eo / ef);
  std::filesystem::remove_all(dir);
  return 0;
}
