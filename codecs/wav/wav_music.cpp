#include "codecs/wav/wav_music.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include "platform/byte_order.h"
#include "res/codec_texts.h"

using platform::MMCKINFO;

namespace {

constexpr std::int32_t kFormatSize = 18;      // the WAVEFORMATEX record we write, with cbSize
constexpr std::int32_t kExtensibleSize = 40;  // WAVEFORMATEXTENSIBLE, the most we read
constexpr std::int32_t kDs64Size = 28;        // RF64 sizes: riff, data, sample count, table
constexpr std::int32_t kMaxChannels = 64;
constexpr std::int32_t kMaxSampleRate = 4'000'000;
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;  // unknown length, or "see ds64"
constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;
// An RF64 header replaces the classic one after the content moved up by this much: one file
// system block, so the move is a range insertion rather than a copy where that is possible.
constexpr std::int64_t kRf64Growth = 4096;
// The tail of every KSDATAFORMAT_SUBTYPE_* GUID; its first two bytes are the format tag.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t cbSize = 0;
  bool pcm = false;  // tag 1, or an extensible record whose sub-format is PCM
};

using platform::LoadLe16;
using platform::LoadLe32;
using platform::StoreLe16;
using platform::StoreLe32;
using platform::StoreLe64;

// `raw` holds kExtensibleSize bytes, of which the first `length` came from the file.
WaveFormat ParseFormat(const std::uint8_t* raw, std::int32_t length) {
  WaveFormat f;
  f.formatTag = LoadLe16(raw);
  f.channels = LoadLe16(raw + 2);
  f.samplesPerSec = LoadLe32(raw + 4);
  f.avgBytesPerSec = LoadLe32(raw + 8);
  f.blockAlign = LoadLe16(raw + 12);
  f.bitsPerSample = LoadLe16(raw + 14);
  f.cbSize = LoadLe16(raw + 16);
  const bool extensiblePcm =
      f.formatTag == kTagExtensible && length >= kExtensibleSize &&
      f.cbSize >= kExtensibleSize - kFormatSize && LoadLe16(raw + 24) == kTagPcm &&
      std::equal(std::begin(kSubFormatTail), std::end(kSubFormatTail), raw + 26);
  f.pcm = f.formatTag == kTagPcm || extensiblePcm;
  return f;
}

// The values every later computation divides by or multiplies with must be sane.
bool IsUsablePcm(const WaveFormat& f) {
  return f.channels >= 1 && f.channels <= kMaxChannels && f.samplesPerSec >= 1 &&
         f.samplesPerSec <= kMaxSampleRate && f.bitsPerSample >= 8 && f.bitsPerSample <= 32 &&
         f.bitsPerSample % 8 == 0 && f.blockAlign != 0;
}

// Writes a chunk header at `at` and returns the position after it.
std::uint8_t* PutChunkHeader(std::uint8_t* at, const char* id, std::uint32_t size) {
  std::copy(id, id + 4, at);
  StoreLe32(at + 4, size);
  return at + 8;
}

// An RF64 header of exactly `dataOffset` bytes: the form, ds64, the format record, a JUNK
// filler and the data chunk header, so the samples that follow stay where they are.
std::vector<std::uint8_t> Rf64Header(const std::uint8_t* format, std::int64_t dataOffset,
                                     std::int64_t fileSize, std::int64_t dataBytes,
                                     std::int32_t blockAlign) {
  std::vector<std::uint8_t> header(static_cast<std::size_t>(dataOffset), 0);
  std::uint8_t* p = PutChunkHeader(header.data(), "RF64", kUnknownSize);
  std::copy_n("WAVE", 4, p);
  p = PutChunkHeader(p + 4, "ds64", kDs64Size);
  StoreLe64(p, static_cast<std::uint64_t>(fileSize - 8));
  StoreLe64(p + 8, static_cast<std::uint64_t>(dataBytes));
  StoreLe64(p + 16, static_cast<std::uint64_t>(dataBytes / blockAlign));
  p = PutChunkHeader(p + kDs64Size, "fmt ", kFormatSize);
  std::copy_n(format, kFormatSize, p);
  p += kFormatSize;
  const auto filler = static_cast<std::uint32_t>(header.data() + dataOffset - 16 - p);
  p = PutChunkHeader(p, "JUNK", filler);
  PutChunkHeader(p + filler, "data", kUnknownSize);
  return header;
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

WavMusic::WavMusic(const std::string& path) : ThreadedSource(path, kBufferSize) {}

WavMusic::~WavMusic() {
  JoinDecode();
  if (file_ == nullptr) return;
  // A writer left open (a cancelled two-range export, or a caller that never closed) still
  // becomes a valid file; nothing is posted from here.
  if (writing_) {
    FinalizeFile();
  } else {
    Close();
  }
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

bool WavMusic::DescendForm() {
  ds64DataSize_ = 0;
  if (!Descend(&riffChunk_, nullptr, "WAVE", platform::MMIO_FINDRIFF)) return false;
  if (riffChunk_.ckid == platform::mmioStringToFOURCC("RIFF", 0)) return true;
  // RF64 and BW64 keep the sizes their 32-bit fields cannot hold in a ds64 chunk.
  MMCKINFO ds64;
  if (!Descend(&ds64, &riffChunk_, "ds64", platform::MMIO_FINDCHUNK)) return false;
  std::uint8_t raw[kDs64Size];
  if (ds64.cksize < kDs64Size || platform::mmioRead(file_, raw, kDs64Size) != kDs64Size) {
    ReportError(texts::kWavInvalidFile);
    return false;
  }
  ds64DataSize_ = platform::LoadLe64(raw + 8);
  platform::mmioAscend(file_, &ds64, 0);
  return true;
}

// Sizes are only believed as far as the file goes. 0xFFFFFFFF means ds64's size in an RF64
// file and "unknown" otherwise (so does a ds64 size of 0): the samples reach to the end of
// the file. In a file longer than 32-bit sizes can describe, a smaller size wrapped (its lost
// multiples of 4 GiB are counted back from the file's length) or was clamped (to the end).
std::int64_t WavMusic::DataEnd() const {
  const std::int64_t fileEnd = platform::mmioSeek(file_, 0, SEEK_END);
  const std::int64_t start = dataChunk_.dwDataOffset;
  const std::int64_t present = std::max<std::int64_t>(0, fileEnd - start);
  std::int64_t size = dataChunk_.cksize;
  if (dataChunk_.cksize == kUnknownSize) {
    const bool known = ds64DataSize_ > 0 && ds64DataSize_ <= static_cast<std::uint64_t>(present);
    size = known ? static_cast<std::int64_t>(ds64DataSize_) : present;
  } else if (fileEnd - 8 > std::int64_t{kUnknownSize} && size < present) {
    const std::int64_t wraps = (present - size) / kFourGiB;
    size = wraps > 0 ? size + wraps * kFourGiB : present;
  }
  return start + std::min(size, present);
}

bool WavMusic::DescendData() {
  if (!Descend(&dataChunk_, &riffChunk_, "data", platform::MMIO_FINDCHUNK)) return false;
  dataEnd_ = DataEnd();
  platform::mmioSeek(file_, dataChunk_.dwDataOffset, SEEK_SET);
  return true;
}

bool WavMusic::DescendToData() { return DescendForm() && DescendData(); }

bool WavMusic::ReadFormat(std::uint8_t* raw, std::int32_t* length) {
  if (!Descend(&dataChunk_, &riffChunk_, "fmt ", platform::MMIO_FINDCHUNK)) return false;
  std::fill(raw, raw + kExtensibleSize, 0);
  const auto want =
      static_cast<std::int32_t>(std::min<std::uint32_t>(dataChunk_.cksize, kExtensibleSize));
  *length = platform::mmioRead(file_, raw, want);
  if (*length != want) {
    ReportError(texts::kWavNoFormat);
    return false;
  }
  // Skips the rest of the record and the pad byte of an odd-sized chunk.
  platform::mmioAscend(file_, &dataChunk_, 0);
  return true;
}

bool WavMusic::GetMusicInfo() {
  if (!OpenForReading()) return false;
  std::uint8_t raw[kExtensibleSize] = {};
  std::int32_t length = 0;
  bool ok = DescendForm() && ReadFormat(raw, &length) && DescendData();
  const WaveFormat format = ParseFormat(raw, length);
  if (ok && !format.pcm) {
    ReportError(texts::kWavNotPcm);
    ok = false;
  }
  if (ok && !IsUsablePcm(format)) {
    ReportError(texts::kWavInvalidFile);
    ok = false;
  }
  if (ok) {
    const std::int64_t frameBytes = format.channels * format.bitsPerSample / 8;
    std::int64_t present = dataEnd_ - dataChunk_.dwDataOffset;
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
  JoinDecode();
  startFrame_ = startFrame;
  frameCount_ = frameCount;
  fadeInSeconds_ = fadeInSeconds;
  fadeOutSeconds_ = fadeOutSeconds;
  return ThreadedSource::StartConvert(target);
}

bool WavMusic::OpenDecode() {
  if (!OpenAtData()) return false;
  PrepareRange();
  return true;
}

void WavMusic::PrepareRange() {
  const int bits = info.bitsPerSample;
  const std::int64_t channels = info.channels;
  blockAlign_ = bits > 0 && channels > 0 ? static_cast<std::int32_t>(channels * bits / 8) : 0;
  fadeInBytes_ = fadeOutBytes_ = 0;
  rangeBytes_ = remainingBytes_ = 0;
  if (blockAlign_ <= 0 || frameCount_ <= 0) return;
  std::int64_t startByte = 0;
  if (startFrame_ > 0 && __builtin_mul_overflow(startFrame_, std::int64_t{blockAlign_}, &startByte))
    startByte = std::numeric_limits<std::int64_t>::max() - dataChunk_.dwDataOffset;
  const std::int64_t from = dataChunk_.dwDataOffset + startByte;
  platform::mmioSeek(file_, from, SEEK_SET);
  // Never more than the sample data holds, so a hostile frame count cannot overflow below.
  const std::int64_t available = std::max<std::int64_t>(0, dataEnd_ - from) / blockAlign_;
  rangeBytes_ = remainingBytes_ = std::min(frameCount_, available) * blockAlign_;
  const std::int64_t bytesPerSecond = std::int64_t{std::max(info.sampleRate, 0)} * blockAlign_;
  fadeInBytes_ = fadeInSeconds_ > 0 ? bytesPerSecond * fadeInSeconds_ : 0;
  fadeOutBytes_ = fadeOutSeconds_ > 0 ? bytesPerSecond * fadeOutSeconds_ : 0;
}

std::int64_t WavMusic::ReadChunk(std::uint8_t* buffer, std::int64_t capacity) {
  if (remainingBytes_ <= 0) return 0;
  // Whole frames per chunk, so that fades and repacking always see complete frames.
  const std::int64_t chunk = std::min(remainingBytes_, capacity - capacity % blockAlign_);
  const std::int32_t got = platform::mmioRead(file_, buffer, static_cast<std::int32_t>(chunk));
  const std::int64_t usable = got > 0 ? got - got % blockAlign_ : 0;
  if (usable < 1) return 0;
  const std::int64_t chunkStart = rangeBytes_ - remainingBytes_;
  remainingBytes_ -= chunk;
  ApplyFades(buffer, usable, chunkStart, rangeBytes_);
  return usable;
}

bool WavMusic::Deliver(Music* target, const std::uint8_t* data, std::int64_t length) {
  return RepackSamples(data, length, target, info.bitsPerSample, target->info.bitsPerSample);
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

void WavMusic::FormatRecord(std::uint8_t* raw) const {
  const std::uint32_t channels = static_cast<std::uint32_t>(info.channels);
  const std::uint32_t bits = static_cast<std::uint32_t>(info.bitsPerSample);
  const std::uint32_t rate = static_cast<std::uint32_t>(info.sampleRate);
  StoreLe16(raw, kTagPcm);
  StoreLe16(raw + 2, channels);
  StoreLe32(raw + 4, rate);
  StoreLe32(raw + 8, static_cast<std::uint32_t>(std::uint64_t{rate} * channels * bits / 8));
  StoreLe16(raw + 12, channels * bits / 8);
  StoreLe16(raw + 14, bits);
  StoreLe16(raw + 16, kFormatSize);
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
  FormatRecord(raw);
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
  const std::int64_t position = platform::mmioSeek(file_, 0, SEEK_CUR);
  if (length < 0 || position < 0 || length > std::numeric_limits<std::int64_t>::max() - position) {
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
  const auto step = [&firstError](bool ok) {
    if (!ok && firstError == 0) firstError = errno;
    return ok;
  };
  errno = 0;
  const std::int64_t dataBytes = platform::mmioSeek(file_, 0, SEEK_CUR) - dataChunk_.dwDataOffset;
  const std::int64_t riffBytes =
      dataChunk_.dwDataOffset - riffChunk_.dwDataOffset + dataBytes + (dataBytes & 1);
  bool sizesOk;
  if (riffBytes > std::int64_t{kUnknownSize}) {
    sizesOk = step(FinalizeRf64(dataBytes));
  } else {
    sizesOk = step(platform::mmioAscend(file_, &dataChunk_, 0) == platform::MMSYSERR_NOERROR) &&
              step(platform::mmioAscend(file_, &riffChunk_, 0) == platform::MMSYSERR_NOERROR);
  }
  const bool closeOk = step(platform::mmioClose(file_, 0) == platform::MMSYSERR_NOERROR);
  file_ = nullptr;
  writing_ = false;
  if (reason != nullptr) *reason = firstError;
  return sizesOk && closeOk;
}

// The samples stay as written; the content moves up by kRf64Growth and an RF64 header of the
// classic header's size plus that growth takes its place, with the true sizes in ds64.
bool WavMusic::FinalizeRf64(std::int64_t dataBytes) {
  const std::uint8_t pad = 0;
  if ((dataBytes & 1) && platform::mmioWrite(file_, &pad, 1) != 1) return false;
  if (platform::mmioInsertAtStart(file_, kRf64Growth) != platform::MMSYSERR_NOERROR) return false;
  std::uint8_t format[kFormatSize];
  FormatRecord(format);
  const std::int64_t fileSize = platform::mmioSeek(file_, 0, SEEK_END);
  const std::vector<std::uint8_t> header =
      Rf64Header(format, dataChunk_.dwDataOffset + kRf64Growth, fileSize, dataBytes,
                 std::max(1, info.channels * info.bitsPerSample / 8));
  const auto length = static_cast<std::int32_t>(header.size());
  return platform::mmioSeek(file_, 0, SEEK_SET) == 0 &&
         platform::mmioWrite(file_, header.data(), length) == length;
}

bool WavMusic::CloseWriter() {
  if (file_ == nullptr || !writing_) {
    // Nothing to finish, but whoever waits for this writer still gets its completion.
    writeFailed = true;
    ReportError(texts::kWavInitBeforeClose);
    PostWriteDone();
    return false;
  }
  return CompleteClose([this] {
    // Buffered samples reach the disk only here: a failure is reported with the system's
    // reason, not hidden.
    int reason = 0;
    if (FinalizeFile(&reason)) return true;
    ReportError(WithReason(texts::kWavWriteFailed, reason));
    return false;
  });
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
