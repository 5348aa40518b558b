#include "modules/macdll/ape_compressor.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "modules/macdll/frame_encoder.h"

namespace macdll {
namespace {

constexpr int kMaxWorkers = 8;
constexpr std::int64_t kUnknownAudioBytes = std::int64_t{1} << 32;
// Announced sizes beyond this cannot compress into a file below 4 GiB.
constexpr std::int64_t kMaxAudioBytes = std::int64_t{1} << 33;
constexpr std::uint64_t kMaxFileBytes = UINT32_MAX;

int DefaultWorkers() {
  const unsigned n = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(n), 1, kMaxWorkers);
}

bool ValidFormat(const ApeWaveFormatEx& f) {
  return f.wFormatTag == 1 && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16 || f.wBitsPerSample == 24) &&
         f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nSamplesPerSec >= 1 &&
         f.nSamplesPerSec <= INT32_MAX;
}

bool ValidLevel(int level) { return level % 1000 == 0 && level >= 1000 && level <= 5000; }

}  // namespace

ApeCompressor::ApeCompressor(int workers) : workers_(workers > 0 ? workers : DefaultWorkers()) {}

ApeCompressor::~ApeCompressor() {
  for (auto& frame : inFlight_) {
    if (frame.valid()) frame.wait();
  }
  Close();
}

int ApeCompressor::Fail(int code) {
  if (error_ == MACDLL_OK) error_ = code;
  return error_;
}

int ApeCompressor::Start(const char* path, const ApeWaveFormatEx& format,
                         std::int64_t maxAudioBytes, int level) {
  if (error_ != MACDLL_OK) return error_;
  if (started_ || path == nullptr || !ValidFormat(format) || !ValidLevel(level))
    return Fail(MACDLL_ERROR_PARAMETER);
  started_ = true;
  header_.channels = format.nChannels;
  header_.bits = format.wBitsPerSample;
  header_.sampleRate = format.nSamplesPerSec;
  // Decoders differ on 24-bit stereo at the highest level; 4000 decodes the same everywhere.
  header_.level = header_.channels == 2 && header_.bits == 24 && level == 5000 ? 4000 : level;
  header_.blocksPerFrame = FrameEncoder::BlocksPerFrame(header_.level);
  blockAlign_ = format.nBlockAlign;
  file_ = std::fopen(path, "wb");
  if (file_ == nullptr) return Fail(MACDLL_ERROR_OPEN);
  return Reserve(maxAudioBytes);
}

int ApeCompressor::Reserve(std::int64_t maxAudioBytes) {
  const std::int64_t frameBytes = std::int64_t{header_.blocksPerFrame} * blockAlign_;
  const std::int64_t budget =
      maxAudioBytes < 0 ? kUnknownAudioBytes : std::min(maxAudioBytes, kMaxAudioBytes);
  // One entry more than the announced audio needs, for callers that round it down.
  seekTable_.assign(static_cast<std::size_t>((budget + frameBytes - 1) / frameBytes + 1), 0);
  const std::vector<std::uint8_t> room = header_.Serialize(seekTable_, 0);
  if (std::fwrite(room.data(), 1, room.size(), file_) != room.size())
    return Fail(MACDLL_ERROR_WRITE);
  nextOffset_ = room.size();
  pending_.reserve(static_cast<std::size_t>(frameBytes));
  return MACDLL_OK;
}

int ApeCompressor::AddData(const std::uint8_t* data, std::int64_t bytes) {
  if (error_ != MACDLL_OK) return error_;
  if (!started_ || file_ == nullptr || bytes < 0 || (data == nullptr && bytes > 0))
    return Fail(MACDLL_ERROR_PARAMETER);
  const std::size_t frameBytes = std::size_t{header_.blocksPerFrame} * blockAlign_;
  while (bytes > 0) {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(bytes, static_cast<std::int64_t>(frameBytes - pending_.size())));
    pending_.insert(pending_.end(), data, data + n);
    data += n;
    bytes -= static_cast<std::int64_t>(n);
    if (pending_.size() == frameBytes && SubmitFrame() != MACDLL_OK) return error_;
  }
  return MACDLL_OK;
}

int ApeCompressor::SubmitFrame() {
  if (inFlight_.size() >= static_cast<std::size_t>(workers_) && WriteOldest() != MACDLL_OK)
    return error_;
  if (header_.totalFrames + inFlight_.size() >= seekTable_.size())
    return Fail(MACDLL_ERROR_TOO_MUCH_DATA);
  std::vector<std::uint8_t> pcm = std::move(pending_);
  pending_ = {};
  pending_.reserve(pcm.capacity());
  if (workers_ > 1) {
    try {
      inFlight_.push_back(std::async(std::launch::async,
                                     [this, pcm = std::move(pcm)] { return EncodeFrame(pcm); }));
      return MACDLL_OK;
    } catch (const std::system_error&) {
      // No thread to be had: encode on this one.
    }
  }
  std::promise<EncodedFrame> done;
  done.set_value(EncodeFrame(pcm));
  inFlight_.push_back(done.get_future());
  return MACDLL_OK;
}

// Runs on a worker: reads only what Start fixed.
ApeCompressor::EncodedFrame ApeCompressor::EncodeFrame(const std::vector<std::uint8_t>& pcm) const {
  EncodedFrame frame;
  frame.blocks = static_cast<std::uint32_t>(pcm.size() / blockAlign_);
  const FrameEncoder encoder(header_.channels, header_.bits, header_.level);
  frame.ok = encoder.Encode(pcm.data(), static_cast<int>(frame.blocks), &frame.bytes);
  return frame;
}

int ApeCompressor::WriteOldest() {
  EncodedFrame frame;
  try {
    frame = inFlight_.front().get();
  } catch (...) {  // the worker ran out of memory
    inFlight_.pop_front();
    return Fail(MACDLL_ERROR_MEMORY);
  }
  inFlight_.pop_front();
  if (!frame.ok) return Fail(MACDLL_ERROR_ENCODE);
  if (nextOffset_ + frame.bytes.size() > kMaxFileBytes) return Fail(MACDLL_ERROR_TOO_MUCH_DATA);
  if (std::fwrite(frame.bytes.data(), 1, frame.bytes.size(), file_) != frame.bytes.size())
    return Fail(MACDLL_ERROR_WRITE);
  seekTable_[header_.totalFrames++] = static_cast<std::uint32_t>(nextOffset_);
  header_.finalFrameBlocks = frame.blocks;
  nextOffset_ += frame.bytes.size();
  frameBytes_ += frame.bytes.size();
  return MACDLL_OK;
}

int ApeCompressor::Finish() {
  if (error_ != MACDLL_OK) return error_;
  if (!started_ || file_ == nullptr) return Fail(MACDLL_ERROR_PARAMETER);
  pending_.resize(pending_.size() / blockAlign_ * blockAlign_);
  if (!pending_.empty() && SubmitFrame() != MACDLL_OK) return error_;
  while (!inFlight_.empty()) {
    if (WriteOldest() != MACDLL_OK) return error_;
  }
  if (header_.totalFrames == 0) return Fail(MACDLL_ERROR_NO_AUDIO);
  return WriteHeader();
}

int ApeCompressor::WriteHeader() {
  const std::vector<std::uint8_t> head = header_.Serialize(seekTable_, frameBytes_);
  const bool written = std::fseek(file_, 0, SEEK_SET) == 0 &&
                       std::fwrite(head.data(), 1, head.size(), file_) == head.size();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return written && closed ? MACDLL_OK : Fail(MACDLL_ERROR_WRITE);
}

void ApeCompressor::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace macdll
