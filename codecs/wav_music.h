// Uncompressed PCM in RIFF WAVE files: reader, writer and the range copy with fades that
// every export uses.
//
// Writer: InitWriter creates a 46-byte header (fmt of 18 bytes, cbSize 18) and the data chunk;
// CloseWriter with finalizeOnClose writes the sizes and closes, without it only reports, so
// one file can receive several ranges. An unfinished writer is finalized on destruction.
// Reader: fmt with tag 1 before data; other chunks skipped; a data chunk larger than the
// file yields the frames that are there.
// Conversions run on a thread owned by this object and joined by its destructor (and before
// the next conversion); so neither may happen on the conversion thread itself, i.e. from the
// target's WriteSamples or CloseWriter.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "codecs/music.h"
#include "platform/riff.h"

class WavMusic : public Music {
 public:
  explicit WavMusic(const std::string& path);
  ~WavMusic() override;

  bool GetMusicInfo() override;
  bool ReadTags() override { return true; }
  bool StartConvert(Music* target) override;
  bool CancelConvert() override;
  bool WriteTags() override { return true; }
  bool InitWriter() override;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override;
  bool CloseWriter() override;

  // Copies frames [startFrame, startFrame + frameCount) of this file into target on a worker,
  // with a linear fade-in/fade-out of the given seconds (≤ 0: none), then target->CloseWriter.
  // info must describe the file. False: the file could not be opened at its data; nothing
  // started, nothing called on target.
  bool ConvertRange(Music* target, std::int64_t startFrame, std::int64_t frameCount,
                    std::int32_t fadeInSeconds, std::int32_t fadeOutSeconds);
  // Opens for reading positioned at the first sample byte.
  bool OpenAtData();
  // Relative seek; Seek(0) after OpenAtData gives dataOffset. -1 on failure.
  std::int64_t Seek(std::int64_t offset);
  void Close();

  static constexpr std::int32_t kBufferSize = 32768;

 private:
  bool OpenForReading();
  bool Descend(platform::MMCKINFO* chunk, const platform::MMCKINFO* parent, const char* name,
               std::uint32_t kind);
  // Descends RIFF WAVE and data, positions at the first sample and sets dataEnd_.
  bool DescendToData();
  // Reads up to 18 bytes of the fmt chunk into `raw` (zero-filled beyond the chunk).
  bool ReadFormat(std::uint8_t* raw);
  // Worker side: seeks to startFrame, computes the byte total and the fade lengths.
  std::int64_t PrepareRange();
  void ConvertLoop();
  void ApplyFades(std::uint8_t* data, std::int64_t length, std::int64_t chunkStart,
                  std::int64_t total) const;
  bool CreateChunk(platform::MMCKINFO* chunk, std::uint32_t flags, const char* offsetText,
                   const char* headerText, const char* otherText);
  bool WriteHeader();
  // Ascends out of data and RIFF (writing both sizes) and closes; false if anything failed,
  // with the system's reason (errno, 0 when none) in `reason`.
  bool FinalizeFile(int* reason = nullptr);
  void JoinWorker();

  platform::HMMIO file_ = nullptr;
  platform::MMCKINFO riffChunk_;
  platform::MMCKINFO dataChunk_;
  Music* target_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::atomic<bool> cancelled_{false};
  std::int32_t fadeInSeconds_ = -1;
  std::int32_t fadeOutSeconds_ = -1;
  std::int64_t fadeInBytes_ = 0;
  std::int64_t fadeOutBytes_ = 0;
  std::int32_t blockAlign_ = 0;
  std::int64_t startFrame_ = 0;
  std::int64_t frameCount_ = 0;
  std::int64_t dataEnd_ = 0;  // file offset just past the readable sample data
  bool writing_ = false;      // file_ was opened by InitWriter
  std::thread worker_;
};
