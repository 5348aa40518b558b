// MPEG audio layer 3 files: probe and decode through the decoder module (Mp3Engine, one probe
// or decode at a time in the process), encode through the encoder interface (lame_enc), ID3
// tags through the ID3 unit.
//
// Source: GetMusicInfo fills the format from the module and the length (gapless) from it;
// StartConvert returns once the module has announced the format, then PCM (16-bit, the
// file's rate and channels) reaches target->WriteSamples on the module's thread, and the end
// of the stream closes the target on the UI thread. A second probe or decode while one runs
// is refused with a message. CancelConvert never waits (see mp3_engine.h); the destructor of a
// source whose decode still runs cancels it and waits until its target has been closed.
//
// Writer: InitWriter reads the MP3 block of GlobalEncoderSettings() (out-of-range values fall
// back to their defaults) and creates the file; WriteSamples takes interleaved PCM of
// info.bitsPerSample (8-bit unsigned, 16, 24 or 32-bit signed; 1 or 2 channels; a partial
// sample frame at the end of a call is dropped) and encodes it; CloseWriter flushes, closes,
// writes the VBR header into the closed file and then the tags. Every failure sets writeFailed
// before the completion is posted. A writer destroyed unfinished still finishes a valid file
// with its tags and posts nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "codecs/music.h"
#include "modules/lame_enc/lame_enc.h"

class Mp3Music : public Music {
 public:
  explicit Mp3Music(const std::string& path);
  ~Mp3Music() override;

  bool GetMusicInfo() override;
  bool ReadTags() override;
  bool StartConvert(Music* target) override;
  bool CancelConvert() override;
  bool WriteTags() override;
  bool InitWriter() override;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override;
  bool CloseWriter() override;

 private:
  // Encodes whole sample frames of data (at most kPieceFrames) and writes what comes back.
  bool EncodePiece(const std::uint8_t* data, std::int64_t frames);
  // Flushes the encoder, closes stream and file, then writes the VBR header. Reports failures
  // only when `report`.
  bool FinishFile(bool report);
  bool EncodePcm16(const short* pcm, std::size_t samples, bool report);
  // Writes `length` encoded bytes; on failure reports `format` with the system's text.
  bool WriteEncoded(std::uint32_t length, const char* format, bool report);
  void Fail(const std::string& text, bool report);

  HBE_STREAM stream_ = nullptr;
  int fd_ = -1;
  bool created_ = false;  // InitWriter made the file at path
  int bytesPerSample_ = 2;
  int channels_ = 0;
  std::int64_t framesEncoded_ = 0;
  std::vector<std::uint8_t> encoded_;
  std::vector<std::int16_t> pcm16_;
};
