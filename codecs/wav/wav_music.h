// Uncompressed PCM in RIFF WAVE files: reader, writer and the range copy with fades that
// every export uses.
//
// Writer: InitWriter creates a 46-byte header (fmt of 18 bytes, cbSize 18) and the data chunk;
// CloseWriter with finalizeOnClose writes the sizes and closes, without it only reports, so
// one file can receive several ranges. An unfinished writer is finalized on destruction. A
// file whose RIFF size would pass 32 bits becomes RF64 when it is finished (decided by its
// exact length): an RF64 header of 4142 bytes with the sizes in ds64; the samples are the same.
// Reader: RIFF, RF64 or BW64 WAVE; fmt with tag 1, or WAVE_FORMAT_EXTENSIBLE with the PCM
// sub-format, before data; other chunks skipped. The data size is believed only as far as the
// file goes: 0xFFFFFFFF (or a ds64 size of 0) means "to the end of the file", and a 32-bit size
// in a file past 4 GiB is taken as wrapped or clamped. Whole frames only.
// Conversions run on the shared decode loop (ThreadedSource): a thread owned by this object
// and joined by its destructor and before the next conversion.
#pragma once

#include <cstdint>

#include "codecs/threaded_source.h"
#include "platform/riff.h"

class WavMusic : public ThreadedSource {
 public:
  explicit WavMusic(const std::string& path);
  ~WavMusic() override;

  bool GetMusicInfo() override;
  bool ReadTags() override { return true; }
  bool StartConvert(Music* target) override;
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

 protected:
  bool OpenDecode() override;
  std::int64_t ReadChunk(std::uint8_t* buffer, std::int64_t capacity) override;
  bool Deliver(Music* target, const std::uint8_t* data, std::int64_t length) override;
  void CloseDecode() override { Close(); }

 private:
  bool OpenForReading();
  bool Descend(platform::MMCKINFO* chunk, const platform::MMCKINFO* parent, const char* name,
               std::uint32_t kind);
  // Descends the WAVE form (and reads ds64 for RF64/BW64).
  bool DescendForm();
  // Descends data from the current position, sets dataEnd_ and positions at the first sample.
  bool DescendData();
  std::int64_t DataEnd() const;
  // DescendForm, then DescendData.
  bool DescendToData();
  // Reads up to 40 bytes of the fmt chunk into `raw` (zero-filled beyond the chunk) and their
  // count into `length`.
  bool ReadFormat(std::uint8_t* raw, std::int32_t* length);
  // Seeks to startFrame, computes the byte total and the fade lengths.
  void PrepareRange();
  void ApplyFades(std::uint8_t* data, std::int64_t length, std::int64_t chunkStart,
                  std::int64_t total) const;
  bool CreateChunk(platform::MMCKINFO* chunk, std::uint32_t flags, const char* offsetText,
                   const char* headerText, const char* otherText);
  // The 18-byte format record of info (tag 1, cbSize 18).
  void FormatRecord(std::uint8_t* raw) const;
  bool WriteHeader();
  // Writes the sizes (RIFF, or RF64 past 32 bits) and closes; false if anything failed,
  // with the system's reason (errno, 0 when none) in `reason`.
  bool FinalizeFile(int* reason = nullptr);
  bool FinalizeRf64(std::int64_t dataBytes);

  platform::HMMIO file_ = nullptr;
  platform::MMCKINFO riffChunk_;
  platform::MMCKINFO dataChunk_;
  std::int32_t fadeInSeconds_ = -1;
  std::int32_t fadeOutSeconds_ = -1;
  std::int64_t fadeInBytes_ = 0;
  std::int64_t fadeOutBytes_ = 0;
  std::int32_t blockAlign_ = 0;
  std::int64_t startFrame_ = 0;
  std::int64_t frameCount_ = 0;
  std::int64_t rangeBytes_ = 0;      // bytes the range copies in all
  std::int64_t remainingBytes_ = 0;  // bytes still to copy
  std::int64_t dataEnd_ = 0;         // file offset just past the readable sample data
  std::uint64_t ds64DataSize_ = 0;   // data size from an RF64 ds64 chunk; 0: none
  bool writing_ = false;             // file_ was opened by InitWriter
};
