#include "tests/support/mp3_media.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace testing_support {

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::vector<std::int16_t> ToneSamples(int rate, int channels, double seconds) {
  const auto frames = static_cast<std::int64_t>(seconds * rate);
  std::vector<std::int16_t> out;
  out.reserve(static_cast<std::size_t>(frames * channels));
  for (std::int64_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / rate;
    for (int c = 0; c < channels; ++c) {
      const double tone = std::sin(2 * std::numbers::pi * 440.0 * (c + 1) * t) +
                          0.5 * std::sin(2 * std::numbers::pi * 97.0 * t);
      out.push_back(static_cast<std::int16_t>(9000 * tone + NoiseSample(f, c) / 64));
    }
  }
  return out;
}

void WriteToneWav(const std::string& path, int rate, int channels, double seconds) {
  const std::vector<std::int16_t> samples = ToneSamples(rate, channels, seconds);
  WriteWav(
      path, rate, channels, 16, static_cast<std::int64_t>(samples.size()) / channels,
      [&](std::int64_t f, int c) { return samples[static_cast<std::size_t>(f * channels + c)]; });
}

std::string MakeMp3(const TempDir& dir, const std::string& name, const std::string& lame_args,
                    int rate, int channels, double seconds) {
  const std::string wav = dir.File(name + ".wav");
  const std::string mp3 = dir.File(name);
  WriteToneWav(wav, rate, channels, seconds);
  RunCommand("lame --quiet " + lame_args + " " + ShellQuote(wav) + " " + ShellQuote(mp3));
  return mp3;
}

std::vector<std::int16_t> Mpg123Samples(const std::string& path) {
  const std::string raw = RunCommand("mpg123 -q --gapless -s " + ShellQuote(path) + " 2>/dev/null");
  std::vector<std::int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

std::string Ffprobe(const std::string& path, const std::string& entry) {
  const bool format = entry.rfind("format", 0) == 0;
  const std::string select = format ? "" : "-select_streams a:0 ";
  const std::string show = format ? entry : "stream=" + entry;
  std::string out = RunCommand("ffprobe -v error " + select + "-show_entries " + show +
                               " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path));
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace testing_support
