#include "codecs/mp3/mp3_music.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "codecs/encoder_settings.h"
#include "codecs/mp3/id3_tags.h"
#include "codecs/mp3/mp3_engine.h"
#include "res/mp3_texts.h"

namespace {

constexpr std::size_t kEncodedBytes = 65536;
// 1.25 × 16384 + 7200 bytes of output at most: well inside the encoded buffer.
constexpr std::int64_t kPieceFrames = 16384;
constexpr int kAlgorithmQuality = 5;

// `format` with its %s replaced by the system's text for `error` (at most 255 bytes).
std::string WithSystemText(const char* format, int error) {
  char buffer[256];
  const char* text = strerror_r(error, buffer, sizeof buffer);
  std::string reason(text, strnlen(text, 255));
  std::string out = format;
  const std::size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, reason);
  return out;
}

std::int32_t InRange(std::int32_t value, std::int32_t low, std::int32_t high,
                     std::int32_t fallback) {
  return value >= low && value <= high ? value : fallback;
}

std::int32_t Bit(std::int32_t value) { return value != 0 ? 1 : 0; }

// The LAME configuration for a writer of `info` with the settings `s`, each stored value
// checked against the range it may take.
BE_CONFIG EncoderConfig(const MusicInfo& info, const Mp3EncoderSettings& s) {
  BE_CONFIG config = BeLameConfig();
  auto& c = config.format.LHV1;
  const Mp3EncoderSettings defaults;
  const std::int32_t mode = InRange(s.encodingMode, 0, 2, defaults.encodingMode);
  c.dwSampleRate = static_cast<std::uint32_t>(info.sampleRate);
  c.dwReSampleRate =
      static_cast<std::uint32_t>(s.resampleRate >= 0 ? s.resampleRate : info.sampleRate);
  c.nMode =
      info.channels == 1 ? BE_MP3_MODE_MONO : InRange(s.stereoMode, 0, 2, defaults.stereoMode);
  c.dwBitrate = static_cast<std::uint32_t>(std::max(info.bitrate, 0));
  c.dwMaxBitrate = static_cast<std::uint32_t>(std::clamp(s.maxVbrBitrate, 0, 320));
  c.nPreset = InRange(s.preset, 0, 5, defaults.preset);
  c.bPrivate = Bit(s.privateBit);
  c.bCRC = Bit(s.crcBit);
  c.bCopyright = Bit(s.copyrightBit);
  c.bOriginal = Bit(s.originalBit);
  c.bWriteVBRHeader = Bit(s.writeVbrHeader);
  c.bEnableVBR = mode != 0 ? 1 : 0;
  c.nVBRQuality = mode == 1 ? std::clamp(s.vbrQuality, 0, 9) : 0;
  c.dwVbrAbr_bps = mode == 2 ? c.dwBitrate * 1000 : 0;
  c.nVbrMethod = mode == 0   ? VBR_METHOD_NONE
                 : mode == 1 ? InRange(s.vbrMethod, 0, 2, defaults.vbrMethod)
                             : VBR_METHOD_ABR;
  c.nQuality = kAlgorithmQuality;
  return config;
}

// One sample of `bytes` bytes (8-bit unsigned, wider signed little-endian) as 16 bits.
std::int16_t Sample16(const std::uint8_t* at, int bytes) {
  if (bytes == 1) return static_cast<std::int16_t>((at[0] - 128) * 256);
  return static_cast<std::int16_t>(at[bytes - 2] | at[bytes - 1] << 8);
}

}  // namespace

Mp3Music::Mp3Music(const std::string& path) : Music(path) {}

Mp3Music::~Mp3Music() {
  Mp3Engine& engine = Mp3Engine::Instance();
  if (engine.started()) engine.Release(this);
  if (stream_ == nullptr && fd_ < 0) return;
  // An unfinished writer (a cancelled first range, a caller that never closed) still leaves a
  // valid file with its tags; nothing is posted from here.
  if (FinishFile(false)) WriteTags();
}

bool Mp3Music::GetMusicInfo() {
  Mp3Engine& engine = Mp3Engine::Instance();
  if (!engine.Init()) {
    ReportError(texts::kMp3InitEngineProbe);
    return false;
  }
  MusicInfo probed = info;
  switch (engine.Probe(path, &probed)) {
    case Mp3Engine::Result::kOk: info = probed; return true;
    case Mp3Engine::Result::kBusy: ReportError(texts::kMp3BusyProbe); return false;
    case Mp3Engine::Result::kFailed: break;
  }
  ReportError(texts::kMp3ProbeFailed);
  return false;
}

bool Mp3Music::ReadTags() {
  mp3codec::ReadId3Tags(path, &info.tag);
  return true;
}

bool Mp3Music::StartConvert(Music* target) {
  Mp3Engine& engine = Mp3Engine::Instance();
  if (!engine.Init()) {
    ReportError(texts::kMp3InitEngineStart);
    return false;
  }
  if (target == nullptr) return false;
  switch (engine.StartDecode(this, path, target)) {
    case Mp3Engine::Result::kOk: return true;
    case Mp3Engine::Result::kBusy: ReportError(texts::kMp3BusyStart); return false;
    case Mp3Engine::Result::kFailed: break;
  }
  return false;
}

bool Mp3Music::CancelConvert() {
  Mp3Engine& engine = Mp3Engine::Instance();
  if (!engine.started()) {
    ReportError(texts::kMp3CancelNotStarted);
    return false;
  }
  engine.Cancel(this);
  return true;
}

bool Mp3Music::WriteTags() {
  // Only into a file this writer made: a writer that never started leaves the path alone.
  if (!HasTags() || !created_) return true;
  return mp3codec::WriteId3Tags(path, info.tag);
}

bool Mp3Music::InitWriter() {
  const int bits = info.bitsPerSample;
  const bool supported = (info.channels == 1 || info.channels == 2) && info.sampleRate > 0 &&
                         (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const BE_CONFIG config = EncoderConfig(info, GlobalEncoderSettings().mp3);
  std::uint32_t samples = 0;
  std::uint32_t room = 0;
  HBE_STREAM stream = nullptr;
  if (!supported || beInitStream(&config, &samples, &room, &stream) != BE_ERR_SUCCESSFUL) {
    writeFailed = true;
    ReportError(texts::kMp3InitStreamFailed);
    return false;
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    beCloseStream(stream);
    writeFailed = true;
    ReportError(WithSystemText(texts::kMp3OpenForWriting, error));
    return false;
  }
  stream_ = stream;
  fd_ = fd;
  created_ = true;
  bytesPerSample_ = bits / 8;
  channels_ = info.channels;
  encoded_.resize(kEncodedBytes);
  ResetProgress();
  return true;
}

bool Mp3Music::WriteSamples(const std::uint8_t* data, std::int64_t length) {
  if (stream_ == nullptr || fd_ < 0 || length < 0 || (data == nullptr && length > 0)) {
    Fail(texts::kMp3EncodeFailed, true);
    return false;
  }
  const std::int64_t frameBytes = std::int64_t{bytesPerSample_} * channels_;
  const std::int64_t frames = length / frameBytes;
  for (std::int64_t done = 0; done < frames; done += kPieceFrames) {
    if (!EncodePiece(data + done * frameBytes, std::min(kPieceFrames, frames - done))) return false;
  }
  AddProgress(static_cast<std::uint64_t>(length));
  return true;
}

bool Mp3Music::EncodePiece(const std::uint8_t* data, std::int64_t frames) {
  const auto samples = static_cast<std::size_t>(frames * channels_);
  if (bytesPerSample_ == 2 && reinterpret_cast<std::uintptr_t>(data) % alignof(short) == 0)
    return EncodePcm16(reinterpret_cast<const short*>(data), samples, true);
  pcm16_.resize(samples);
  for (std::size_t i = 0; i < samples; ++i)
    pcm16_[i] = Sample16(data + i * bytesPerSample_, bytesPerSample_);
  return EncodePcm16(pcm16_.data(), samples, true);
}

bool Mp3Music::EncodePcm16(const short* pcm, std::size_t samples, bool report) {
  std::uint32_t produced = 0;
  if (beEncodeChunk(stream_, static_cast<std::uint32_t>(samples), pcm, encoded_.data(),
                    &produced) != BE_ERR_SUCCESSFUL) {
    Fail(texts::kMp3EncodeFailed, report);
    return false;
  }
  framesEncoded_ += static_cast<std::int64_t>(samples) / channels_;
  return WriteEncoded(produced, texts::kMp3WriteSamplesFailed, report);
}

bool Mp3Music::WriteEncoded(std::uint32_t length, const char* format, bool report) {
  std::uint32_t done = 0;
  while (done < length) {
    const ssize_t n = write(fd_, encoded_.data() + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(WithSystemText(format, n < 0 ? errno : ENOSPC), report);
      return false;
    }
    done += static_cast<std::uint32_t>(n);
  }
  return true;
}

bool Mp3Music::CloseWriter() {
  return CompleteClose([this] { return FinishFile(true); });
}

bool Mp3Music::FinishFile(bool report) {
  if (stream_ == nullptr) {
    Fail(texts::kMp3DeinitFailed, report);
    return false;
  }
  // A stream of a single MPEG frame is unreadable to many players: an output that received
  // nothing (an export cancelled at once) holds one sample frame of silence instead.
  bool ok = true;
  if (framesEncoded_ == 0) {
    const std::vector<short> silence(static_cast<std::size_t>(channels_), 0);
    ok = EncodePcm16(silence.data(), silence.size(), report);
  }
  std::uint32_t produced = 0;
  if (ok && beDeinitStream(stream_, encoded_.data(), &produced) != BE_ERR_SUCCESSFUL) {
    Fail(texts::kMp3DeinitFailed, report);
    ok = false;
  }
  if (ok && produced > 0) ok = WriteEncoded(produced, texts::kMp3CloseWriteFailed, report);
  beCloseStream(stream_);
  stream_ = nullptr;
  if (fd_ >= 0 && close(fd_) != 0 && errno != EINTR && ok) {
    Fail(WithSystemText(texts::kMp3CloseWriteFailed, errno), report);
    ok = false;
  }
  fd_ = -1;
  // LAME writes the header of the stream it kept into the closed file, before the tags.
  if (ok) beWriteVBRHeader(path.c_str());
  return ok;
}

void Mp3Music::Fail(const std::string& text, bool report) {
  writeFailed = true;
  if (report) ReportError(text);
}
