// One Ogg Vorbis stream written to a new file: the encoder, the three header packets on pages
// of their own, the audio pages and the end of the stream (also for a stream without samples).
//
// Failures come back as the text to show (null = success). After a failed page write the
// stream takes nothing more; Finish then only closes the file. Not thread-safe: one thread
// drives an object at a time.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class OggStreamWriter {
 public:
  struct Settings {
    int channels = 0;
    long rate = 0;         // Hz
    long maxBitrate = -1;  // bit/s; negative: no limit
    long nominalBitrate = 0;
    long minBitrate = -1;
    std::uint32_t serial = 0;
    // Key and value (UTF-8) of each comment, in order.
    std::vector<std::pair<std::string, std::string>> comments;
  };

  OggStreamWriter() = default;
  // Releases the encoder and closes the file; an unfinished stream stays unfinished.
  ~OggStreamWriter();
  OggStreamWriter(const OggStreamWriter&) = delete;
  OggStreamWriter& operator=(const OggStreamWriter&) = delete;

  // Sets up the encoder, creates `path` and writes the header pages. On failure everything
  // set up so far is released.
  const char* Open(const std::string& path, const Settings& settings);
  // Encodes `frames` frames of interleaved signed 16-bit little-endian samples; the stream
  // must have 1 or 2 channels.
  const char* Write(const std::uint8_t* pcm, std::int64_t frames);
  // Ends the stream, writes its last pages and closes the file; the object is closed after
  // it, whatever the result.
  const char* Finish();

  bool IsOpen() const { return file_ != nullptr; }
  bool Failed() const { return failed_; }
  int Channels() const { return channels_; }

 private:
  const char* SetUpEncoder(const Settings& settings);
  const char* QueueHeaders();
  const char* FlushHeaderPages();
  // Moves every finished block through analysis and bitrate management into pages.
  const char* Drain();
  const char* WritePage(const ogg_page& page);
  void Release();

  vorbis_info vi_{};
  vorbis_comment vc_{};
  vorbis_dsp_state vd_{};
  vorbis_block vb_{};
  ogg_stream_state os_{};
  bool infoReady_ = false;
  bool dspReady_ = false;
  bool blockReady_ = false;
  bool streamReady_ = false;
  // Pages are small; a large buffer saves system calls. It outlives every file using it.
  static constexpr std::size_t kFileBufferBytes = 1 << 16;
  std::unique_ptr<char[]> fileBuffer_;
  std::FILE* file_ = nullptr;
  int channels_ = 0;
  bool failed_ = false;
};
