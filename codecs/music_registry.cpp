#include "codecs/music_registry.h"

#include <vector>

#include "cd/cd_track_music.h"
#include "codecs/ape/ape_music.h"
#include "codecs/mp3/mp3_music.h"
#include "codecs/ogg/ogg_music.h"
#include "codecs/wav/wav_music.h"
#include "codecs/wma/wma_music.h"

namespace {

template <typename Codec>
std::unique_ptr<Music> Make(const std::string& path) {
  return std::make_unique<Codec>(path);
}

// One line per format, in type-code order.
// clang-format off
constexpr MusicFormat kFormats[kMusicTypeCount] = {
    {kMusicWav, "wav", &Make<WavMusic>, true, true},
    {kMusicMp3, "mp3", &Make<Mp3Music>, true, true},
    {kMusicWma, "wma", &Make<WmaMusic>, true, true},
    {kMusicCda, "cda", &Make<CdTrackMusic>, true, false},
    {kMusicOgg, "ogg", &Make<OggMusic>, true, true},
    {kMusicApe, "ape", &Make<ApeMusic>, true, true},
};
// clang-format on

constexpr bool IndexedByType() {
  for (int i = 0; i < kMusicTypeCount; ++i)
    if (kFormats[i].type != i) return false;
  return true;
}
static_assert(IndexedByType(), "the index of a format entry is its type code");

// Splits UTF-8 text into characters; a byte that does not start a valid sequence is one
// character of its own.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xC0 && lead < 0xE0) {
      length = 2;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3;
    } else if (lead >= 0xF0 && lead < 0xF8) {
      length = 4;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        length = 1;
        break;
      }
    }
    out.push_back(text.substr(i, length));
    i += length;
  }
  return out;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::int32_t MusicTypeFromFileName(const std::string& name) {
  const std::vector<std::string> chars = Characters(name);
  if (chars.size() <= 4) return kMusicUnknown;
  std::string tail;
  for (std::size_t i = chars.size() - 4; i < chars.size(); ++i) {
    if (chars[i].size() != 1) return kMusicUnknown;  // a wide character matches no extension
    tail.push_back(LowerAscii(chars[i][0]));
  }
  for (int type = 0; type < kMusicTypeCount; ++type) {
    if (tail == std::string(".") + kFormats[type].extension) return type;
  }
  return kMusicUnknown;
}

std::span<const MusicFormat> MusicFormats() { return kFormats; }

const MusicFormat* FindMusicFormat(std::int32_t type) {
  return type >= 0 && type < kMusicTypeCount ? &kFormats[type] : nullptr;
}

std::unique_ptr<Music> CreateMusic(std::int32_t type, const std::string& path) {
  const MusicFormat* format = FindMusicFormat(type);
  return format != nullptr && format->create != nullptr ? format->create(path) : nullptr;
}

bool MusicTypeAvailable(std::int32_t type) {
  const MusicFormat* format = FindMusicFormat(type);
  return format != nullptr && format->create != nullptr;
}

bool ProbeMusicFile(MusicInfo& info) {
  std::unique_ptr<Music> music = CreateMusic(info.type, info.fileName);
  if (!music) return false;
  if (!music->GetMusicInfo()) return false;
  info.sampleRate = music->info.sampleRate;
  info.channels = music->info.channels;
  info.bitrate = music->info.bitrate;
  info.bitsPerSample = music->info.bitsPerSample;
  info.durationMs = music->info.durationMs;
  music->ReadTags();
  info.tag = music->info.tag;
  return true;
}
