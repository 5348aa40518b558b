#include "codecs/ape/ape_music.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "codecs/encoder_settings.h"
#include "res/ape_texts.h"

namespace {

// The largest block the library delivers: two channels of 24 bits.
constexpr int kMaxBlockAlign = 6;
constexpr std::int32_t kDefaultLevel = 2000;
// Pieces handed to the library, which counts bytes in an int.
constexpr std::int64_t kMaxPiece = std::int64_t{1} << 30;

std::int32_t CompressionLevel() {
  const std::int32_t level = GlobalEncoderSettings().compressionLevel;
  return level >= 1000 && level <= 5000 && level % 1000 == 0 ? level : kDefaultLevel;
}

// The wave format record for `info`; false when a value does not fit its field (the library
// judges the rest).
bool WaveFormat(const MusicInfo& info, ApeWaveFormatEx* format) {
  const std::int64_t blockAlign = std::int64_t{info.channels} * (info.bitsPerSample / 8);
  if (info.channels < 1 || info.channels > UINT16_MAX || info.bitsPerSample < 1 ||
      info.bitsPerSample > UINT16_MAX || blockAlign > UINT16_MAX || info.sampleRate < 1 ||
      info.sampleRate * blockAlign > UINT32_MAX)
    return false;
  *format = {1,
             static_cast<std::uint16_t>(info.channels),
             static_cast<std::uint32_t>(info.sampleRate),
             static_cast<std::uint32_t>(info.sampleRate * blockAlign),
             static_cast<std::uint16_t>(blockAlign),
             static_cast<std::uint16_t>(info.bitsPerSample),
             0};
  return true;
}

}  // namespace

ApeMusic::ApeMusic(const std::string& path)
    : ThreadedSource(path, std::int64_t{kMaxBlockAlign} * kBlocksPerRead) {}

ApeMusic::~ApeMusic() {
  JoinDecode();
  // A writer never closed (a cancelled first of two export ranges, or a caller that gave up)
  // still leaves a valid file; nothing is posted from here.
  if (encoder_ != nullptr) FinishEncoder(false);
}

void ApeMusic::ReportCode(const char* format, int code) const {
  char text[256];
  std::snprintf(text, sizeof text, format, code);
  ReportError(text);
}

ApeDecompressHandle ApeMusic::OpenDecoder() {
  if (!library_.Bind()) return nullptr;
  int error = 0;
  ApeDecompressHandle decoder = library_.decompressCreate(path.c_str(), &error);
  if (decoder == nullptr) ReportCode(texts::kApeOpenError, error);
  return decoder;
}

bool ApeMusic::GetMusicInfo() {
  ApeDecompressHandle decoder = OpenDecoder();
  if (decoder == nullptr) return false;
  const auto get = [&](int code) { return library_.decompressGetInfo(decoder, code, 0, 0); };
  info.sampleRate = get(MACDLL_INFO_SAMPLE_RATE);
  info.channels = get(MACDLL_INFO_CHANNELS);
  info.bitsPerSample = get(MACDLL_INFO_BITS_PER_SAMPLE);
  info.bitrate = get(MACDLL_INFO_AVERAGE_BITRATE);
  info.durationMs = get(MACDLL_INFO_LENGTH_MS);
  library_.decompressDestroy(decoder);
  return true;
}

bool ApeMusic::ReadTags() { return library_.Bind(); }

bool ApeMusic::WriteTags() { return library_.Bind(); }

bool ApeMusic::OpenDecode() {
  decoder_ = OpenDecoder();
  if (decoder_ == nullptr) return false;
  decodeBlockAlign_ = library_.decompressGetInfo(decoder_, MACDLL_INFO_BLOCK_ALIGN, 0, 0);
  return true;
}

std::int64_t ApeMusic::ReadChunk(std::uint8_t* buffer, std::int64_t capacity) {
  const std::int64_t blockAlign = decodeBlockAlign_;
  int got = 0;
  int result = MACDLL_ERROR_DAMAGED;
  if (blockAlign >= 1 && blockAlign * kBlocksPerRead <= capacity)
    result = library_.decompressGetData(decoder_, buffer, kBlocksPerRead, &got);
  if (result != MACDLL_OK || got < 0 || got > kBlocksPerRead) {
    ReportError(texts::kApeDecompressError);
    return -1;
  }
  return got * blockAlign;
}

void ApeMusic::CloseDecode() {
  library_.decompressDestroy(decoder_);
  decoder_ = nullptr;
}

bool ApeMusic::InitWriter() {
  if (!library_.Bind()) return false;
  if (encoder_ != nullptr) FinishEncoder(false);
  if (info.bitsPerSample == 32) info.bitsPerSample = 24;
  level_ = CompressionLevel();
  failureReported_ = false;
  ResetProgress();
  return StartEncoder(AnnouncedBytes());
}

std::int64_t ApeMusic::AnnouncedBytes() const {
  if (!finalizeOnClose) return -1;
  return static_cast<std::int64_t>(
      std::min<std::uint64_t>(bytesExpected, std::numeric_limits<std::int64_t>::max()));
}

bool ApeMusic::StartEncoder(std::int64_t audioBytes) {
  DestroyEncoder();
  int error = 0;
  encoder_ = library_.compressCreate(&error);
  if (encoder_ == nullptr) {
    ReportCode(texts::kApeCreateEncoderError, error);
    return false;
  }
  ApeWaveFormatEx format{};
  if (!WaveFormat(info, &format) || library_.compressStart(encoder_, path.c_str(), &format,
                                                           audioBytes, level_, nullptr, -1) != 0) {
    ReportError(texts::kApeStartError);
    DestroyEncoder();
    return false;
  }
  announced_ = audioBytes;
  bytesAdded_ = 0;
  writeBlockAlign_ = format.nBlockAlign;
  return true;
}

void ApeMusic::DestroyEncoder() {
  if (encoder_ != nullptr) library_.compressDestroy(encoder_);
  encoder_ = nullptr;
}

int ApeMusic::AddData(const std::uint8_t* data, std::int64_t length) {
  for (std::int64_t done = 0; done < length;) {
    const std::int64_t piece = std::min(length - done, kMaxPiece);
    const int result = library_.compressAddData(encoder_, data + done, static_cast<int>(piece));
    if (result != MACDLL_OK) return result;
    done += piece;
    bytesAdded_ += piece;
  }
  return MACDLL_OK;
}

bool ApeMusic::WriteSamples(const std::uint8_t* data, std::int64_t length) {
  if (!library_.Bind()) return false;
  // The amount to announce is settled only once the caller has said whether more ranges follow.
  if (encoder_ != nullptr && bytesAdded_ == 0 && length > 0 && AnnouncedBytes() != announced_ &&
      !StartEncoder(AnnouncedBytes())) {
    failureReported_ = true;
    writeFailed = true;
    return false;
  }
  const int result = AddData(data, length);
  if (result != MACDLL_OK) {
    if (!failureReported_) ReportCode(texts::kApeEncodeError, result);
    failureReported_ = true;
    writeFailed = true;
    return false;
  }
  AddProgress(static_cast<std::uint64_t>(std::max<std::int64_t>(length, 0)));
  return true;
}

bool ApeMusic::FinishEncoder(bool report) {
  int result = MACDLL_ERROR_PARAMETER;
  if (encoder_ != nullptr) {
    result = MACDLL_OK;
    if (bytesAdded_ < writeBlockAlign_) {
      const std::uint8_t silence = info.bitsPerSample == 8 ? 0x80 : 0;
      const std::vector<std::uint8_t> block(writeBlockAlign_ - bytesAdded_, silence);
      result = AddData(block.data(), static_cast<std::int64_t>(block.size()));
    }
    if (result == MACDLL_OK) result = library_.compressFinish(encoder_, nullptr, 0, 0);
    DestroyEncoder();
  }
  if (result != MACDLL_OK && report && !failureReported_) ReportError(texts::kApeFinishError);
  if (result != MACDLL_OK) failureReported_ = true;
  return result == MACDLL_OK;
}

bool ApeMusic::CloseWriter() {
  // Without the library nothing was started and nothing is reported; the completion is still
  // posted.
  const bool bound = library_.Bind();
  return CompleteClose([&] { return bound && FinishEncoder(true); });
}
