// The contract every audio format implements, the format table and the file probe.
//
// A Music object is bound to one path for its life and serves either as a source (probe the
// file, decode it into a target Music) or as a writer (create a file, accept PCM, finish it).
// Operations return false after reporting the failure to the user themselves (ReportError).
// Writers post WM_MUSIC_PROGRESS / WM_MUSIC_DONE to progressWindow; a decode always ends with
// exactly one CloseWriter on its target, also after an error or a cancel.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/message.h"

constexpr std::uint32_t WM_MUSIC_PROGRESS = platform::kWmUser + 2000;  // 0xBD0, wParam ‰ done
constexpr std::uint32_t WM_MUSIC_DONE = platform::kWmUser + 2001;      // 0xBD1

enum MusicType : std::int32_t {
  kMusicUnknown = -1,
  kMusicWav = 0,
  kMusicMp3 = 1,
  kMusicWma = 2,
  kMusicCda = 3,
  kMusicOgg = 4,
  kMusicApe = 5,
};

constexpr int kMusicTypeCount = 6;
// Extension of each type code, indexed by the code: "wav", "mp3", "wma", "cda", "ogg", "ape".
extern const char kMusicExtensions[kMusicTypeCount][4];
// Bitrates offered for a writer, kbit/s.
constexpr int kBitrateCount = 12;
extern const int kBitrates[kBitrateCount];

// Six tag strings (UTF-8); empty = not set.
struct MusicTag {
  std::string title, artist, album, track, year, genre;
};

struct MusicInfo {
  std::string fileName;
  std::int32_t type = kMusicUnknown;
  std::int32_t sampleRate = 0;  // Hz
  std::int32_t channels = 0;
  std::int32_t bitrate = 0;  // kbit/s
  std::int32_t bitsPerSample = 0;
  std::int64_t durationMs = 0;
  MusicTag tag;
};

class Music {
 public:
  explicit Music(const char* path);
  explicit Music(const std::string& path) : Music(path.c_str()) {}
  virtual ~Music();
  Music(const Music&) = delete;
  Music& operator=(const Music&) = delete;

  // Opens the file, fills info's format fields and durationMs, closes it.
  virtual bool GetMusicInfo() = 0;
  // Fills info.tag; formats without tags return true and leave it.
  virtual bool ReadTags() = 0;
  // Starts decoding the whole file into `target` and returns at once. False: nothing started,
  // nothing called on target.
  virtual bool StartConvert(Music* target) = 0;
  // Asks a running decode to stop; it still ends with target->CloseWriter().
  virtual bool CancelConvert() = 0;
  // Writes info.tag into the finished file (called by FinishWrite only).
  virtual bool WriteTags() = 0;
  // Creates the file for info and calls ResetProgress.
  virtual bool InitWriter() = 0;
  // Appends interleaved PCM in info.bitsPerSample; false stops the feeding decoder.
  virtual bool WriteSamples(const std::uint8_t* data, std::int64_t length) = 0;
  // finalizeOnClose: finish the file, then FinishWrite; otherwise PostWriteDone only.
  virtual bool CloseWriter() = 0;

  // bytesExpected from info (bits/8 × channels × rate × durationMs / 1000); clears the rest.
  void ResetProgress();
  // Counts n bytes; posts WM_MUSIC_PROGRESS when the per-mille value grew (not clamped).
  void AddProgress(std::uint64_t n);
  // WriteTags, then WM_MUSIC_DONE; returns the post's result (true when nothing is posted).
  bool FinishWrite();
  void PostWriteDone();
  // Forwards PCM to target->WriteSamples converting sourceBits to targetBits (no sign
  // conversion; never reads past `length`). False when target is null or refuses.
  static bool RepackSamples(const std::uint8_t* data, std::int64_t length, Music* target,
                            int sourceBits, int targetBits);
  bool HasTags() const;
  // Flashes the main window and shows "text - path" in the information message box.
  void ReportError(const std::string& text) const;

  const std::string path;
  MusicInfo info;
  platform::WindowHandle progressWindow = nullptr;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesExpected = 0;
  std::int32_t lastPermille = 0;
  bool finalizeOnClose = true;
  // Set by a writer (before its completion is posted) when it failed to write or finish its
  // file, and by a feeding decoder whose WriteSamples call was refused: the output is
  // incomplete and must not replace anything. Read after WM_MUSIC_DONE.
  std::atomic<bool> writeFailed{false};
};

// Type code from the last four characters of `name` (".wav" … ".ape", any case), else -1.
std::int32_t MusicTypeFromFileName(const std::string& name);
// New codec for `type` bound to `path`; null for an unknown type or one not available.
std::unique_ptr<Music> CreateMusic(std::int32_t type, const std::string& path);
// True when this build has a codec for `type`.
bool MusicTypeAvailable(std::int32_t type);
// Probes info.fileName as info.type: fills format, duration and tags. On failure returns
// false and leaves `info` untouched (the codec has reported why).
bool ProbeMusicFile(MusicInfo& info);
