// One track of an audio CD as a source (type 3, "cda"), opened through its track file
// ("<drive>/TrackNN.cda", or a track file copied from a disc; see cd/track_file.h).
//
// The stream is always 44100 Hz, 2 channels, 16 bits (1378 kbit/s), its length the track's
// sectors at 75 per second. ReadTags names the track from a CDDB server (cd::TrackLookup,
// which blocks the calling thread while the server answers). StartConvert copies the track's
// raw sectors unchanged into the target, 16 sectors per read, on a worker of its own; a read
// failure or a refused write is reported there and ends the track early, and the target is
// closed exactly once in every case.
//
// A CD track is never written: the writer slots accept everything and write nothing; a
// CloseWriter still posts the completion, so no progress window waits for it in vain.
#pragma once

#include <cstdint>
#include <string>

#include "cd/raw_track_reader.h"
#include "cd/track_file.h"
#include "codecs/threaded_source.h"

class CdTrackMusic : public ThreadedSource {
 public:
  // Identifies the platform; when that fails, reports "无法获取系统信息！！！" (the object is
  // still made, and StartConvert then refuses to run).
  explicit CdTrackMusic(const std::string& path);
  ~CdTrackMusic() override;

  bool GetMusicInfo() override;
  bool ReadTags() override;
  // Reads the track file and opens its drive on the caller's thread; false (reported) when
  // either fails, when `target` is null or when this platform cannot read CD tracks.
  bool StartConvert(Music* target) override;
  bool WriteTags() override { return true; }
  bool InitWriter() override { return true; }
  bool WriteSamples(const std::uint8_t*, std::int64_t) override { return true; }
  bool CloseWriter() override;

 protected:
  bool OpenDecode() override;
  std::int64_t ReadChunk(std::uint8_t* buffer, std::int64_t capacity) override;
  bool Deliver(Music* target, const std::uint8_t* data, std::int64_t length) override;
  void CloseDecode() override { reader_.Close(); }

 private:
  int platformFamily_ = 0;
  cd::TrackExtent extent_;
  cd::RawTrackReader reader_;
};
