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

  // The end of every CloseWriter: without finalizeOnClose it only posts the completion; with
  // it `finish()` finalizes the file (reporting its own failures), a failure marks
  // writeFailed, and FinishWrite writes the tags and posts the completion. So each call posts
  // exactly one WM_MUSIC_DONE, whatever failed. Returns finish's result (true when not
  // finalizing).
  template <typename Finish>
  bool CompleteClose(Finish&& finish) {
    if (!finalizeOnClose) {
      PostWriteDone();
      return true;
    }
    const bool finished = finish();
    if (!finished) writeFailed = true;
    FinishWrite();
    return finished;
  }

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
