// Monkey's Audio (APE) files, decoded and encoded by the APE library that each object binds at
// run time (ApeLibrary). Without a usable library every operation fails without a message of
// its own. APE files carry no tags here: ReadTags leaves the tag empty, WriteTags writes none.
//
// Source: GetMusicInfo reads the format, length and average bitrate from the library. A decode
// runs on the shared decode loop (ThreadedSource) and hands the target 1024 blocks at a time,
// interleaved in the file's own width (8-bit unsigned, 16 or 24-bit signed little-endian), at
// its own rate and channel count. A damaged frame stops it with a message after the blocks
// before it, so the target receives a shorter, valid file.
//
// Writer: InitWriter starts the encoder at the level of GlobalEncoderSettings() (a stored
// value other than 1000…5000 in steps of 1000 gives 2000) for 8, 16 or 24-bit PCM of one or
// two channels; a 32-bit writer takes 24 bits (info.bitsPerSample is set so, and a feeding WAV
// source narrows). The library is told how much audio follows: the bytes the writer expects,
// or, for a writer kept open for a further range (finalizeOnClose false when its first samples
// arrive), an unknown amount, since the ranges' total is not known to it. An output that
// received no whole block gets one block of silence (the library writes no file without
// audio). Each failure is reported once and sets writeFailed before the completion is posted.
// A writer destroyed unfinished finishes a valid file and posts nothing.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/ape/ape_library.h"
#include "codecs/threaded_source.h"

class ApeMusic : public ThreadedSource {
 public:
  explicit ApeMusic(const std::string& path);
  ~ApeMusic() override;

  bool GetMusicInfo() override;
  bool ReadTags() override;
  bool WriteTags() override;
  bool InitWriter() override;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override;
  bool CloseWriter() override;

  static constexpr int kBlocksPerRead = 1024;

 protected:
  bool OpenDecode() override;
  std::int64_t ReadChunk(std::uint8_t* buffer, std::int64_t capacity) override;
  void CloseDecode() override;

 private:
  // Binds the library and opens path for decoding; null after reporting why (silently when
  // the library is unusable).
  ApeDecompressHandle OpenDecoder();
  // (Re)creates the encoder for info and starts the file, announcing `audioBytes` (negative:
  // unknown); false after reporting why, with no encoder left.
  bool StartEncoder(std::int64_t audioBytes);
  // What the library is told to expect, from the current state (see the header comment).
  std::int64_t AnnouncedBytes() const;
  // Hands `length` bytes to the encoder in pieces the library takes; its result code.
  int AddData(const std::uint8_t* data, std::int64_t length);
  // Completes at least one block, finishes the file and releases the encoder; false after a
  // failure (reported when `report` and no failure was reported before).
  bool FinishEncoder(bool report);
  void DestroyEncoder();
  void ReportCode(const char* format, int code) const;

  ApeLibrary library_;
  ApeDecompressHandle decoder_ = nullptr;
  int decodeBlockAlign_ = 0;
  ApeCompressHandle encoder_ = nullptr;
  int level_ = 0;
  std::int64_t announced_ = 0;
  std::int64_t bytesAdded_ = 0;
  int writeBlockAlign_ = 0;
  bool failureReported_ = false;
};
