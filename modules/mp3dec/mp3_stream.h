// One MPEG audio stream (a file or a memory image) decoded by libmpg123 into 16-bit PCM.
//
// Open refuses anything that does not start with real MPEG audio: junk before the first frame
// is skipped (up to libmpg123's 64 KiB limit, ID3v2 tags of any size), but the first frames
// must follow each other exactly, so text, WAV files or random bytes never pass as MP3.
// The length is exact: every frame is counted once (a scan), and with a LAME tag the encoder
// delay and padding are removed (gapless), so the samples Read delivers are exactly
// length_samples() — the same samples `mpg123 --gapless` produces. A stream cut short of the
// frame count its tag announces keeps only the start trimmed, as other players do. The PCM
// format stays the first frame's for the whole stream.
//
// Not thread-safe; one thread at a time. Errors never throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct mpg123_handle_struct;

namespace mp3module {

// Bytes in memory read like a file.
struct MemoryInput {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
};

class Mp3Stream {
 public:
  Mp3Stream() = default;
  ~Mp3Stream();
  Mp3Stream(const Mp3Stream&) = delete;
  Mp3Stream& operator=(const Mp3Stream&) = delete;

  // False when the file cannot be read or holds no MPEG audio; the stream is closed then.
  // Opening again closes the previous file.
  bool Open(const std::string& path);
  // The same over bytes in memory, which are not copied and must outlive the stream.
  bool Open(const std::uint8_t* data, std::size_t size);
  void Close();

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  // Sample frames the whole stream decodes to.
  std::int64_t length_samples() const { return length_; }
  // length_samples() in whole milliseconds.
  std::int64_t length_ms() const;
  // The bitrate of a constant-bitrate stream, else the average over the stream, kbit/s.
  int bitrate_kbps() const { return bitrate_kbps_; }
  // PCM bytes of one MPEG frame of this stream.
  std::size_t frame_pcm_bytes() const { return frame_pcm_bytes_; }

  // Decodes up to `size` bytes (rounded down to whole sample frames) into `out`. Returns the
  // bytes written; 0 at the end of the stream or after an error the decoder cannot pass.
  std::size_t Read(std::uint8_t* out, std::size_t size);

 private:
  bool OpenSource();
  bool Restart();
  bool FirstFramesFollowEachOther();
  bool MeasureLength();
  void MeasureBitrate(std::int64_t frames);

  mpg123_handle_struct* handle_ = nullptr;
  bool open_ = false;
  std::string path_;
  bool from_memory_ = false;
  MemoryInput memory_;
  std::int64_t input_size_ = 0;
  std::int64_t first_frame_offset_ = 0;
  int rate_ = 0;
  int channels_ = 0;
  std::int64_t length_ = 0;
  int bitrate_kbps_ = 0;
  std::size_t frame_pcm_bytes_ = 0;
};

}  // namespace mp3module
