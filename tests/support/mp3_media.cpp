#include "tests/support/mp3_media.h"

#include <cmath>
#include <cstring>

namespace testing_support {

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void WriteToneWav(const std::string& path, int rate, int channels, double seconds) {
  const auto frames = static_cast<std::int64_t>(seconds * rate);
  WriteWav(path, rate, channels, 16, frames, [rate](std::int64_t f, int c) {
    const double t = static_cast<double>(f) / rate;
    const double tone =
        std::sin(2 * M_PI * 440.0 * (c + 1) * t) + 0.5 * std::sin(2 * M_PI * 97.0 * t);
    return static_cast<std::int32_t>(9000 * tone) + NoiseSample(f, c) / 64;
  });
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
