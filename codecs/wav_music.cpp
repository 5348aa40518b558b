#include "codecs/wav_music.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>

#include "platform/byte_order.h"
#include "res/codec_texts.h"

using platform::MMCKINFO;

namespace {

constexpr std::int32_t kFormatSize = 18;  // the WAVEFORMATEX record with its cbSize
constexpr std::int32_t kMaxChannels = 64;
constexpr std::int32_t kMaxSampleRate = 4'000'000;
// The largest file offset the 32-bit RIFF size can describe (RIFF size = file size − 8).
constexpr std::int64_t kMaxRiffEnd = std::int64_t{0xFFFFFFFF} + 8;

struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t cbSize = 0;
};

using platform::LoadLe16;
using platform::LoadLe32;
using platform::StoreLe16;
using platform::StoreLe32;

WaveFormat ParseFormat(const std::uint8_t* raw) {
  WaveFormat f;
  f.formatTag = LoadLe16(raw);
  f.channels = LoadLe16(raw + 2);
  f.samplesPerSec = LoadLe32(raw + 4);
  f.avgBytesPerSec = LoadLe32(raw + 8);
  f.blockAlign = LoadLe16(raw + 12);
  f.bitsPerSample = LoadLe16(raw + 14);
  f.cbSize = LoadLe16(raw + 16);
  return f;
}

// The values every later computation divides by or multiplies with must be sane.
bool IsUsablePcm(const WaveFormat& f) {
  return f.channels >= 1 && f.channels <= kMaxChannels && f.samplesPerSec >= 1 &&
         f.samplesPerSec <= kMaxSampleRate && f.bitsPerSample >= 8 && f.bitsPerSample <= 32 &&
         f.bitsPerSample % 8 == 0 && f.blockAlign != 0;
}

const char* OpenFailureText(platform::MMRESULT code) {
  switch (code) {
    case platform::MMIOERR_ACCESSDENIED: return texts::kWavAccessDenied;
    case platform::MMIOERR_SHARINGVIOLATION: return texts::kWavSharingViolation;
    case platform::MMIOERR_NETWORKERROR: return texts::kWavNetworkError;
    case platform::MMIOERR_TOOMANYOPENFILES: return texts::kWavTooManyOpenFiles;
    case platform::MMIOERR_INVALIDFILE: return texts::kWavInvalidFile;
    default: return texts::kWavOpenUnknown;
  }
}

std::string WithName(const char* format, const char* name) {
  char text[256];
  std::snprintf(text, sizeof text, format, name);
  return text;
}

// The program's text followed by the system's reason for a failed write, when there is one.
std::string WithReason(const char* text, int error) {
  if (error == 0) return text;
  return std::string(text) + " " + std::error_code(error, std::generic_category()).message();
}

// Scales one frame of 8-bit (unsigned around 128) or 16-bit (signed) samples.
void ScaleFrame(std::uint8_t* frame, std::int32_t blockAlign, int bits, long double gain) {
  if (bits == 8) {
    for (std::int32_t i = 0; i < blockAlign; ++i) {
      const long double v = gain * (static_cast<int>(frame[i]) - 128) + 128;
      frame[i] = static_cast<std::uint8_t>(static_cast<int>(std::trunc(v)));
    }
    return;
  }
  for (std::int32_t i = 0; i + 1 < blockAlign; i += 2) {
    const std::int16_t s = platform::LoadPcm16(frame + i);
    platform::StorePcm16(frame + i, static_cast<std::int32_t>(std::trunc(gain * s)));
  }
}

}  // namespace

WavMusic::WavMusic(const std::string& path) : Music(path), buffer_(kBufferSize) {}

WavMusic::~WavMusic() {
  JoinWorker();
  if (file_ == nullptr) return;
  // A writer left open (a cancelled two-range export, or a caller that never closed) still
  // becomes a valid file; nothing is posted from here.
  if (writing_) {
    FinalizeFile();
  } else {
    Close();
  }
}

void WavMusic::JoinWorker() {
  if (!worker_.joinable()) return;
  if (worker_.get_id() == std::this_thread::get_id()) {
    worker_.detach();
    return;
  }
  worker_.join();
}

bool WavMusic::OpenForReading() {
  Close();
  platform::MMIOINFO mmioInfo{};
  file_ = platform::mmioOpen(path, &mmioInfo, platform::MMIO_READ);
  if (file_ == nullptr) {
    ReportError(OpenFailureText(mmioInfo.wErrorRet));
    return false;
  }
  writing_ = false;
  return true;
}

bool WavMusic::Descend(MMCKINFO* chunk, const MMCKINFO* parent, const char* name,
                       std::uint32_t kind) {
  *chunk = MMCKINFO{};
  if (kind == platform::MMIO_FINDRIFF) {
    chunk->fccType = platform::mmioStringToFOURCC(name, 0);
  } else if (kind == platform::MMIO_FINDCHUNK) {
    chunk->ckid = platform::mmioStringToFOURCC(name, 0);
  } else {
    ReportError(texts::kWavUnknownSearch);
    return false;
  }
  const platform::MMRESULT result = platform::mmioDescend(file_, chunk, parent, kind);
  if (result == platform::MMSYSERR_NOERROR) return true;
  ReportError(WithName(result == platform::MMIOERR_CHUNKNOTFOUND ? texts::kWavChunkNotFound
                                                                 : texts::kWavDescendFailed,
                       name));
  return false;
}

bool WavMusic::DescendToData() {
  if (!Descend(&riffChunk_, nullptr, "WAVE", platform::MMIO_FINDRIFF) ||
      !Descend(&dataChunk_, &riffChunk_, "data", platform::MMIO_FINDCHUNK))
    return false;
  const std::int64_t fileEnd = platform::mmioSeek(file_, 0, SEEK_END);
  dataEnd_ = std::min(dataChunk_.dwDataOffset + std::int64_t{dataChunk_.cksize}, fileEnd);
  dataEnd_ = std::max(dataEnd_, dataChunk_.dwDataOffset);
  platform::mmioSeek(file_, dataChunk_.dwDataOffset, SEEK_SET);
  return true;
}

bool WavMusic::ReadFormat(std::uint8_t* raw) {
  if (!Descend(&riffChunk_, nullptr, "WAVE", platform::MMIO_FINDRIFF) ||
      !Descend(&dataChunk_, &riffChunk_, "fmt ", platform::MMIO_FINDCHUNK))
    return false;
  std::fill(raw, raw + kFormatSize, 0);
  const auto want =
      static_cast<std::int32_t>(std::min<std::uint32_t>(dataChunk_.cksize, kFormatSize));
  if (platform::mmioRead(file_, raw, want) != want) {
    ReportError(texts::kWavNoFormat);
    return false;
  }
  // Skips the rest of the record and the pad byte of an odd-sized chunk.
  platform::mmioAscend(file_, &dataChunk_, 0);
  return true;
}

bool WavMusic::GetMusicInfo() {
  if (!OpenForReading()) return false;
  std::uint8_t raw[kFormatSize] = {};
  bool ok = ReadFormat(raw) && Descend(&dataChunk_, &riffChunk_, "data", platform::MMIO_FINDCHUNK);
  const WaveFormat format = ParseFormat(raw);
  if (ok && format.formatTag != 1) {
    ReportError(texts::kWavNotPcm);
    ok = false;
  }
  if (ok && !IsUsablePcm(format)) {
    ReportError(texts::kWavInvalidFile);
    ok = false;
  }
  if (ok) {
    const std::int64_t fileEnd = platform::mmioSeek(file_, 0, SEEK_END);
    const std::int64_t frameBytes = format.channels * format.bitsPerSample / 8;
    std::int64_t present = std::min(std::int64_t{dataChunk_.cksize},
                                    std::max<std::int64_t>(0, fileEnd - dataChunk_.dwDataOffset));
    present -= present % frameBytes;
    info.channels = format.channels;
    info.bitsPerSample = format.bitsPerSample;
    info.sampleRate = static_cast<std::int32_t>(format.samplesPerSec);
    info.bitrate = static_cast<std::int32_t>(std::int64_t{format.channels} * format.bitsPerSample *
                                             format.samplesPerSec / 1024);
    info.durationMs =
        present * 8000 / format.samplesPerSec / format.channels / format.bitsPerSample;
  }
  Close();
  return ok;
}

bool WavMusic::StartConvert(Music* target) {
  const std::int64_t frames = std::int64_t{info.sampleRate} * info.durationMs / 1000;
  return ConvertRange(target, 0, frames, -1, -1);
}

bool WavMusic::ConvertRange(Music* target, std::int64_t startFrame, std::int64_t frameCount,
                            std::int32_t fadeInSeconds, std::int32_t fadeOutSeconds) {
  JoinWorker();
  if (target == nullptr) return false;
  startFrame_ = startFrame;
  frameCount_ = frameCount;
  fadeInSeconds_ = fadeInSeconds;
  fadeOutSeconds_ = fadeOutSeconds;
  if (!OpenForReading()) return false;
  if (!DescendToData()) {
    Close();
    return false;
  }
  target_ = target;
  cancelled_ = false;
  try {
    worker_ = std::thread(&WavMusic::ConvertLoop, this);
  } catch (const std::system_error&) {
    Close();
    target_ = nullptr;
    return false;
  }
  return true;
}

bool WavMusic::CancelConvert() {
  cancelled_ = true;
  return true;
}

std::int64_t WavMusic::PrepareRange() {
  const int bits = info.bitsPerSample;
  const std::int64_t channels = info.channels;
  blockAlign_ = bits > 0 && channels > 0 ? static_cast<std::int32_t>(channels * bits / 8) : 0;
  fadeInBytes_ = fadeOutBytes_ = 0;
  if (blockAlign_ <= 0 || frameCount_ <= 0) return 0;
  std::int64_t startByte = 0;
  if (startFrame_ > 0 && __builtin_mul_overflow(startFrame_, std::int64_t{blockAlign_}, &startByte))
    startByte = std::numeric_limits<std::int64_t>::max() - dataChunk_.dwDataOffset;
  const std::int64_t from = dataChunk_.dwDataOffset + startByte;
  platform::mmioSeek(file_, from, SEEK_SET);
  // Never more than the sample data holds, so a hostile frame count cannot overflow below.
  const std::int64_t available = std::max<std::int64_t>(0, dataEnd_ - from) / blockAlign_;
  const std::int64_t total = std::min(frameCount_, available) * blockAlign_;
  const std::int64_t bytesPerSecond = std::int64_t{std::max(info.sampleRate, 0)} * blockAlign_;
  fadeInBytes_ = fadeInSeconds_ > 0 ? bytesPerSecond * fadeInSeconds_ : 0;
  fadeOutBytes_ = fadeOutSeconds_ > 0 ? bytesPerSecond * fadeOutSeconds_ : 0;
  return total;
}

void WavMusic::ConvertLoop() {
  const std::int64_t total = PrepareRange();
  // Whole frames per chunk, so that fades and repacking always see complete frames.
  const std::int64_t chunkLimit =
      blockAlign_ > 0 ? kBufferSize - kBufferSize % blockAlign_ : kBufferSize;
  std::int64_t remaining = total;
  while (remaining > 0 && !cancelled_) {
    const std::int64_t chunk = std::min(remaining, chunkLimit);
    const std::int32_t got =
        platform::mmioRead(file_, buffer_.data(), static_cast<std::int32_t>(chunk));
    const std::int64_t usable = got > 0 ? got - got % blockAlign_ : 0;
    if (usable < 1) break;
    remaining -= chunk;
    const std::int64_t chunkStart = total - remaining - chunk;
    ApplyFades(buffer_.data(), usable, chunkStart, total);
    if (!RepackSamples(buffer_.data(), usable, target_, info.bitsPerSample,
                       target_->info.bitsPerSample)) {
      target_->writeFailed = true;
      break;
    }
    if (cancelled_) break;
  }
  Close();
  target_->CloseWriter();
}

void WavMusic::ApplyFades(std::uint8_t* data, std::int64_t length, std::int64_t chunkStart,
                          std::int64_t total) const {
  const int bits = info.bitsPerSample;
  if ((bits != 8 && bits != 16) || blockAlign_ <= 0) return;
  if (fadeInBytes_ > 0 && chunkStart < fadeInBytes_) {
    const std::int64_t end = std::min(length, fadeInBytes_ - chunkStart);
    for (std::int64_t i = 0; i < end; i += blockAlign_) {
      const long double gain = static_cast<long double>(chunkStart + i) / fadeInBytes_;
      ScaleFrame(data + i, blockAlign_, bits, gain);
    }
  }
  const std::int64_t fadeStart = total - fadeOutBytes_;
  if (fadeOutBytes_ > 0 && chunkStart + length > fadeStart) {
    std::int64_t i = std::max<std::int64_t>(0, fadeStart - chunkStart);
    i += (blockAlign_ - i % blockAlign_) % blockAlign_;
    for (; i < length; i += blockAlign_) {
      const long double gain = static_cast<long double>(total - (chunkStart + i)) / fadeOutBytes_;
      ScaleFrame(data + i, blockAlign_, bits, gain);
    }
  }
}

bool WavMusic::InitWriter() {
  if (file_ != nullptr) writing_ ? static_cast<void>(FinalizeFile()) : Close();
  platform::MMIOINFO mmioInfo{};
  file_ = platform::mmioOpen(path, &mmioInfo,
                             platform::MMIO_CREATE | platform::MMIO_WRITE |
                                 platform::MMIO_EXCLUSIVE | platform::MMIO_ALLOCBUF);
  if (file_ == nullptr) {
    ReportError(OpenFailureText(mmioInfo.wErrorRet));
    return false;
  }
  writing_ = true;
  if (!WriteHeader()) {
    Close();
    return false;
  }
  ResetProgress();
  return true;
}

bool WavMusic::CreateChunk(MMCKINFO* chunk, std::uint32_t flags, const char* offsetText,
                           const char* headerText, const char* otherText) {
  const platform::MMRESULT result = platform::mmioCreateChunk(file_, chunk, flags);
  if (result == platform::MMSYSERR_NOERROR) return true;
  if (result == platform::MMIOERR_CANNOTSEEK) {
    ReportError(offsetText);
  } else if (result == platform::MMIOERR_CANNOTWRITE) {
    ReportError(headerText);
  } else {
    ReportError(otherText);
  }
  return false;
}

bool WavMusic::WriteHeader() {
  riffChunk_ = MMCKINFO{};
  riffChunk_.fccType = platform::mmioStringToFOURCC("WAVE", 0);
  if (!CreateChunk(&riffChunk_, platform::MMIO_CREATERIFF, texts::kWavRiffOffset,
                   texts::kWavRiffHeader, texts::kWavRiffCreate))
    return false;
  dataChunk_ = MMCKINFO{};
  dataChunk_.ckid = platform::mmioStringToFOURCC("fmt ", 0);
  dataChunk_.cksize = kFormatSize;
  if (!CreateChunk(&dataChunk_, 0, texts::kWavFmtOffset, texts::kWavFmtHeader,
                   texts::kWavFmtCreate))
    return false;
  std::uint8_t raw[kFormatSize];
  const std::uint32_t channels = static_cast<std::uint32_t>(info.channels);
  const std::uint32_t bits = static_cast<std::uint32_t>(info.bitsPerSample);
  const std::uint32_t rate = static_cast<std::uint32_t>(info.sampleRate);
  StoreLe16(raw, 1);
  StoreLe16(raw + 2, channels);
  StoreLe32(raw + 4, rate);
  StoreLe32(raw + 8, static_cast<std::uint32_t>(std::uint64_t{rate} * channels * bits / 8));
  StoreLe16(raw + 12, channels * bits / 8);
  StoreLe16(raw + 14, bits);
  StoreLe16(raw + 16, kFormatSize);
  if (platform::mmioWrite(file_, raw, kFormatSize) != kFormatSize) {
    ReportError(texts::kWavWriteFormat);
    return false;
  }
  const platform::MMRESULT ascended = platform::mmioAscend(file_, &dataChunk_, 0);
  if (ascended != platform::MMSYSERR_NOERROR) {
    if (ascended == platform::MMIOERR_CANNOTSEEK) ReportError(texts::kWavFmtAscendSeek);
    if (ascended == platform::MMIOERR_CANNOTWRITE) ReportError(texts::kWavFmtAscendFlush);
    return false;
  }
  dataChunk_ = MMCKINFO{};
  dataChunk_.ckid = platform::mmioStringToFOURCC("data", 0);
  return CreateChunk(&dataChunk_, 0, texts::kWavDataOffset, texts::kWavDataHeader,
                     texts::kWavDataCreate);
}

bool WavMusic::WriteSamples(const std::uint8_t* data, std::int64_t length) {
  if (file_ == nullptr || !writing_) {
    writeFailed = true;
    ReportError(texts::kWavInitBeforeWrite);
    return false;
  }
  // The RIFF sizes are 32-bit: refuse what they could not describe rather than wrap them.
  const std::int64_t position = platform::mmioSeek(file_, 0, SEEK_CUR);
  if (length < 0 || position < 0 || length > kMaxRiffEnd - 1 - position) {
    writeFailed = true;
    ReportError(texts::kWavWriteFailed);
    return false;
  }
  std::int64_t done = 0;
  while (done < length) {
    const auto piece = static_cast<std::int32_t>(std::min<std::int64_t>(length - done, 1 << 30));
    errno = 0;
    if (platform::mmioWrite(file_, data + done, piece) == -1) {
      writeFailed = true;
      ReportError(WithReason(texts::kWavWriteFailed, errno));
      return false;
    }
    done += piece;
  }
  AddProgress(static_cast<std::uint64_t>(length));
  return true;
}

bool WavMusic::FinalizeFile(int* reason) {
  int firstError = 0;
  const auto step = [&firstError](platform::MMRESULT result) {
    if (result != platform::MMSYSERR_NOERROR && firstError == 0) firstError = errno;
    return result == platform::MMSYSERR_NOERROR;
  };
  errno = 0;
  const bool dataOk = step(platform::mmioAscend(file_, &dataChunk_, 0));
  const bool riffOk = step(platform::mmioAscend(file_, &riffChunk_, 0));
  const bool closeOk = step(platform::mmioClose(file_, 0));
  file_ = nullptr;
  writing_ = false;
  if (reason != nullptr) *reason = firstError;
  return dataOk && riffOk && closeOk;
}

bool WavMusic::CloseWriter() {
  if (file_ == nullptr || !writing_) {
    ReportError(texts::kWavInitBeforeClose);
    return false;
  }
  if (!finalizeOnClose) {
    PostWriteDone();
    return true;
  }
  // Buffered samples reach the disk only here; a failure is reported, not hidden, and the
  // completion is still posted so the caller's progress dialog ends.
  int reason = 0;
  const bool finished = FinalizeFile(&reason);
  if (!finished) {
    writeFailed = true;
    ReportError(WithReason(texts::kWavWriteFailed, reason));
  }
  FinishWrite();
  return finished;
}

bool WavMusic::OpenAtData() {
  if (!OpenForReading()) return false;
  if (!DescendToData()) {
    Close();
    return false;
  }
  return true;
}

std::int64_t WavMusic::Seek(std::int64_t offset) {
  if (file_ == nullptr) return -1;
  return platform::mmioSeek(file_, offset, SEEK_CUR);
}

void WavMusic::Close() {
  if (file_ != nullptr) platform::mmioClose(file_, 0);
  file_ = nullptr;
  writing_ = false;
}
