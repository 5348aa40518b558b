// The one table of audio formats: for each type code its extension, the factory of its codec
// (none when this build has no codec for it), and whether it can be opened and written. The
// file-type lookup, the factory, the probe and the program's format lists all read it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "codecs/music.h"

struct MusicFormat {
  std::int32_t type;
  const char* extension;                                      // three letters, without the dot
  std::unique_ptr<Music> (*create)(const std::string& path);  // null: no codec in this build
  bool canRead;
  bool canWrite;
};

// Every format, in type-code order (the index of an entry is its type code).
std::span<const MusicFormat> MusicFormats();
// The entry of `type`; null for a code outside the table.
const MusicFormat* FindMusicFormat(std::int32_t type);

// Type code from the last four characters of `name` (".wav" … ".ape", any case), else -1.
std::int32_t MusicTypeFromFileName(const std::string& name);
// New codec for `type` bound to `path`; null for an unknown type or one not available.
std::unique_ptr<Music> CreateMusic(std::int32_t type, const std::string& path);
// True when this build has a codec for `type` (constructs nothing).
bool MusicTypeAvailable(std::int32_t type);
// Probes info.fileName as info.type: fills format, duration and tags. On failure returns
// false and leaves `info` untouched (the codec has reported why).
bool ProbeMusicFile(MusicInfo& info);
