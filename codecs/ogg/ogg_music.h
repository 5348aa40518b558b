// Ogg Vorbis files: reader (libvorbisfile) and writer (libvorbisenc, libogg).
//
// Reader: every GetMusicInfo, ReadTags and StartConvert opens the input anew. Decoded PCM is
// 16-bit signed little-endian at the file's own rate and channel count, in chunks of up to
// 32 768 bytes. A chained file is read as far as its streams keep the first stream's rate and
// channel count; the length reported is that of the same streams, so a cache made from the
// decode describes exactly the data it holds. Tags come from the Vorbis comments TITLE,
// ARTIST, ALBUM, TRACKNUMBER, DATE and GENRE (any case; a later comment replaces an earlier
// one); invalid UTF-8 is replaced.
// Writer: InitWriter writes the header pages, comments included (WriteTags has nothing left
// to do), with the Ogg bitrate limits of the global encoder settings. It takes 16-bit mono or
// stereo samples (InitWriter sets info.bitsPerSample to 16, so a feeding source repacks other
// widths); other channel counts are refused at the first WriteSamples. A writer destroyed
// unfinished ends its stream so that the file stays valid; nothing is posted then.
// Decoding runs on the shared decode loop (ThreadedSource).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "codecs/ogg/ogg_input.h"
#include "codecs/ogg/ogg_stream_writer.h"
#include "codecs/threaded_source.h"

class OggMusic : public ThreadedSource {
 public:
  explicit OggMusic(const std::string& path);
  // Reads `bytes` (which must outlive this object) instead of a file; `path` only names the
  // input in messages and is where a writer would write.
  OggMusic(const std::string& path, std::span<const std::uint8_t> bytes);
  ~OggMusic() override;

  bool GetMusicInfo() override;
  bool ReadTags() override;
  bool WriteTags() override { return true; }
  bool InitWriter() override;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override;
  bool CloseWriter() override;

  static constexpr std::int32_t kBufferSize = 32768;

 protected:
  bool OpenDecode() override;
  std::int64_t ReadChunk(std::uint8_t* buffer, std::int64_t capacity) override;
  void CloseDecode() override { Close(); }

 private:
  // Opens the input and vf_; false after reporting why (nothing stays open then).
  bool Open();
  void Close();
  // Open, then the first stream's format; null after reporting why (nothing stays open then).
  const vorbis_info* OpenWithInfo();
  // Frames in the leading streams that share the first stream's rate and channel count.
  std::int64_t PlayableFrames(const vorbis_info& first);
  bool SameFormatAsFirst(int link);
  // Ends the stream of an open writer and closes its file; false after reporting a failure
  // (an earlier write failure has been reported already).
  bool FinishStream();

  std::span<const std::uint8_t> memory_;
  bool inMemory_ = false;
  std::unique_ptr<OggInput> input_;
  OggVorbis_File vf_{};
  bool vfOpen_ = false;
  long firstRate_ = 0;
  int firstChannels_ = 0;
  bool decodeEnded_ = false;
  std::unique_ptr<OggStreamWriter> writer_;
};
