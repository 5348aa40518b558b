// MP3 decoding and encoding against the public tools, on the same 10-minute 44.1 kHz stereo
// music-like signal, in one run:
//  - decode: the decoder module (loaded from bin/mp3decdll.so) from play to its end message,
//    every PCM byte written to a file through the output's write, against `mpg123 -w`;
//  - encode: the encoder interface over the WAV in 32 KiB chunks (as the export feeds a
//    writer) into a file, with its header, against `lame -b 128` on the same WAV. Our setting
//    is the program's (algorithm quality 5); the one LAME uses by default (3) is timed too.
// Prints the median of several alternating runs, in milliseconds, and the ratios.
#include <dlfcn.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "modules/lame_enc/lame_enc.h"
#include "modules/mp3dec/mp3_module.h"
#include "platform/paths.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Ms;

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = std::int64_t{600} * kRate;
constexpr int kRuns = 3;
constexpr std::size_t kChunkBytes = 32768;

// The host side of the decoder module: PCM goes to a file, the end message to a waiter.
struct DecodeHost : platform::MessageTarget {
  std::mutex mutex;
  std::condition_variable cv;
  bool ended = false;
  std::FILE* out = nullptr;

  bool Post(std::uint32_t msg, platform::WParam, platform::LParam) override {
    std::lock_guard lock(mutex);
    ended = ended || msg == mp3module::kEndOfStreamMessage;
    cv.notify_all();
    return true;
  }
  void WaitForEnd() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [this] { return ended; });
    ended = false;
  }
};
DecodeHost host;

int Open(int, int, int, int, int) { return 0; }
int Write(char* data, int length) {
  std::fwrite(data, 1, static_cast<std::size_t>(length), host.out);
  return 0;
}
int CanWrite() { return static_cast<int>(kChunkBytes); }
int Zero() { return 0; }
mp3module::OutputModule output = {0x10,    "bench", 33,      nullptr, nullptr, nullptr,  nullptr,
                                  nullptr, nullptr, Open,    nullptr, Write,   CanWrite, Zero,
                                  nullptr, nullptr, nullptr, nullptr, Zero,    Zero};

mp3module::DecoderModule* LoadModule() {
  const std::string path = platform::ExecutableDir() + "/" + mp3module::kModuleFileName;
  void* library = dlopen(path.c_str(), RTLD_NOW);
  auto factory = library != nullptr
                     ? reinterpret_cast<mp3module::Factory>(dlsym(library, mp3module::kFactoryName))
                     : nullptr;
  mp3module::DecoderModule* module = factory != nullptr ? factory() : nullptr;
  if (module == nullptr) return nullptr;
  module->host_window = &host;
  module->output = &output;
  module->init();
  return module;
}

double ModuleDecode(mp3module::DecoderModule& module, const std::string& mp3,
                    const std::string& pcm) {
  host.out = std::fopen(pcm.c_str(), "wb");
  const auto start = Clock::now();
  if (module.play(mp3.c_str()) != 0) std::fprintf(stderr, "play failed\n");
  host.WaitForEnd();
  std::fclose(host.out);
  return Ms(Clock::now() - start);
}

double InterfaceEncode(const std::string& wav, const std::string& mp3, int quality) {
  const auto start = Clock::now();
  BE_CONFIG config = BeLameConfig();
  auto& c = config.format.LHV1;
  c.dwSampleRate = c.dwReSampleRate = kRate;
  c.nMode = BE_MP3_MODE_JSTEREO;
  c.dwBitrate = 128;
  c.dwMaxBitrate = 320;
  c.nVbrMethod = VBR_METHOD_NONE;
  c.bWriteVBRHeader = 1;
  c.nQuality = static_cast<std::uint16_t>(quality);
  std::uint32_t samples = 0, room = 0, produced = 0;
  HBE_STREAM stream = nullptr;
  beInitStream(&config, &samples, &room, &stream);
  std::FILE* in = std::fopen(wav.c_str(), "rb");
  std::FILE* out = std::fopen(mp3.c_str(), "wb");
  std::vector<std::uint8_t> pcm(kChunkBytes), encoded(65536);
  std::fseek(in, 44, SEEK_SET);
  for (std::size_t n; (n = std::fread(pcm.data(), 1, pcm.size(), in)) > 0;) {
    beEncodeChunk(stream, static_cast<std::uint32_t>(n / 2),
                  reinterpret_cast<const short*>(pcm.data()), encoded.data(), &produced);
    std::fwrite(encoded.data(), 1, produced, out);
  }
  beDeinitStream(stream, encoded.data(), &produced);
  std::fwrite(encoded.data(), 1, produced, out);
  beCloseStream(stream);
  std::fclose(in);
  std::fclose(out);
  beWriteVBRHeader(mp3.c_str());
  return Ms(Clock::now() - start);
}

}  // namespace

int main() {
  const std::string dir = (std::filesystem::temp_directory_path() / "bench_mp3").string();
  std::filesystem::create_directories(dir);
  const std::string wav = dir + "/source.wav", mp3 = dir + "/source.mp3";
  bench::WriteMusicLikeWav(wav, kRate, kFrames);
  mp3module::DecoderModule* module = LoadModule();
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", mp3module::kModuleFileName);
    return 1;
  }
  std::vector<double> lame, ours, ours_q3, mpg123, decode;
  for (int run = 0; run < kRuns; ++run) {
    lame.push_back(bench::TimeCommand("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    ours.push_back(InterfaceEncode(wav, dir + "/ours.mp3", 5));
    ours_q3.push_back(InterfaceEncode(wav, dir + "/ours_q3.mp3", 3));
    mpg123.push_back(bench::TimeCommand("mpg123 -q -w '" + dir + "/mpg123.wav' '" + mp3 + "'"));
    decode.push_back(ModuleDecode(*module, mp3, dir + "/ours.pcm"));
  }
  std::printf("10 min 44.1 kHz stereo, median of %d runs (ms)\n", kRuns);
  std::printf("decode  mpg123 -w %8.0f  module %8.0f  ratio %.2f\n", Median(mpg123), Median(decode),
              Median(decode) / Median(mpg123));
  std::printf("encode  lame -b 128 %6.0f  interface q5 %6.0f  ratio %.2f\n", Median(lame),
              Median(ours), Median(ours) / Median(lame));
  std::printf("        interface q3 (lame's default quality) %6.0f  ratio %.2f\n", Median(ours_q3),
              Median(ours_q3) / Median(lame));
  std::filesystem::remove_all(dir);
  return 0;
}
