#include "cd/cd_track_music.h"

#include "cd/cddb_lookup.h"
#include "platform/cdrom/cdrom_drive.h"
#include "res/cd_texts.h"

namespace {

constexpr std::int32_t kCdSampleRate = 44100;
constexpr std::int32_t kCdChannels = 2;
constexpr std::int32_t kCdBits = 16;
constexpr std::int32_t kCdBitrate = kCdSampleRate * kCdBits * kCdChannels / 1024;

}  // namespace

CdTrackMusic::CdTrackMusic(const std::string& path)
    : ThreadedSource(path, cd::RawTrackReader::kChunkBytes),
      platformFamily_(platform::cdrom::QueryPlatformFamily()) {
  if (platformFamily_ == 0) ReportError(texts::kCdSystemInfoFailed);
}

CdTrackMusic::~CdTrackMusic() { JoinDecode(); }

bool CdTrackMusic::GetMusicInfo() {
  cd::TrackExtent extent;
  if (!cd::ReadTrackFile(path, extent)) return false;
  info.sampleRate = kCdSampleRate;
  info.channels = kCdChannels;
  info.bitsPerSample = kCdBits;
  info.bitrate = kCdBitrate;
  info.durationMs = cd::TrackDurationMs(extent);
  return true;
}

bool CdTrackMusic::ReadTags() { return cd::TrackLookup(path, info.tag); }

bool CdTrackMusic::StartConvert(Music* target) {
  JoinDecode();  // the extent and the reader belong to an earlier worker until it ends
  if (target == nullptr) {
    ReportError(texts::kCdNullTarget);
    return false;
  }
  if (!cd::ReadTrackFile(path, extent_)) return false;
  if (platformFamily_ != platform::cdrom::kPlatformFamilyNt) {
    ReportError(texts::kCdPlatformUnsupported);
    return false;
  }
  return ThreadedSource::StartConvert(target);
}

bool CdTrackMusic::CloseWriter() {
  return CompleteClose([] { return true; });
}

bool CdTrackMusic::OpenDecode() { return reader_.Open(path, extent_); }

// The buffer holds the reader's chunk size, given to the base at construction.
std::int64_t CdTrackMusic::ReadChunk(std::uint8_t* buffer, std::int64_t) {
  return reader_.ReadInto(buffer);
}

bool CdTrackMusic::Deliver(Music* target, const std::uint8_t* data, std::int64_t length) {
  if (target->WriteSamples(data, length)) return true;
  ReportError(texts::kCdWriteSamplesFailed);
  return false;
}
