#include "modules/macdll/ape_decompressor.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "modules/macdll/mac_dll.h"

namespace macdll {
namespace {

constexpr int kIoBufferBytes = 1 << 16;

int ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
  const std::int64_t n = static_cast<ByteSource*>(opaque)->Read(buffer, size);
  if (n < 0) return AVERROR(EIO);
  return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

std::int64_t SeekSource(void* opaque, std::int64_t offset, int whence) {
  auto* source = static_cast<ByteSource*>(opaque);
  if ((whence & AVSEEK_SIZE) != 0) return source->Size();
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_CUR: offset += source->Position(); break;
    case SEEK_END: offset += source->Size(); break;
    case SEEK_SET: break;
    default: return AVERROR(EINVAL);
  }
  return source->Seek(offset) ? offset : AVERROR(EINVAL);
}

AVSampleFormat PlanarFormatFor(int bits) {
  return bits == 8 ? AV_SAMPLE_FMT_U8P : bits == 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
}

int ClampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

}  // namespace

std::unique_ptr<ApeDecompressor> ApeDecompressor::Open(std::unique_ptr<ByteSource> source,
                                                       int* error) {
  ApeHeader header;
  if (!header.Read(*source)) {
    *error = MACDLL_ERROR_NOT_APE;
    return nullptr;
  }
  std::unique_ptr<ApeDecompressor> decoder(new ApeDecompressor(std::move(source), header));
  *error = decoder->OpenFfmpeg();
  if (*error != MACDLL_OK) decoder.reset();
  return decoder;
}

ApeDecompressor::ApeDecompressor(std::unique_ptr<ByteSource> source, const ApeHeader& header)
    : source_(std::move(source)), header_(header), blockAlign_(header.channels * header.bits / 8) {}

ApeDecompressor::~ApeDecompressor() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  avformat_close_input(&format_);
  if (io_ != nullptr) av_freep(&io_->buffer);
  avio_context_free(&io_);
}

int ApeDecompressor::OpenFfmpeg() {
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (buffer != nullptr) {
    io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, source_.get(), ReadPacket, nullptr,
                             SeekSource);
  }
  format_ = avformat_alloc_context();
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (io_ == nullptr) av_free(buffer);
  if (io_ == nullptr || format_ == nullptr || packet_ == nullptr || frame_ == nullptr)
    return MACDLL_ERROR_MEMORY;
  if (!source_->Seek(0)) return MACDLL_ERROR_OPEN;
  format_->pb = io_;
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  // On failure the context is freed (and nulled) by FFmpeg; the I/O context stays ours.
  if (avformat_open_input(&format_, nullptr, av_find_input_format("ape"), nullptr) < 0 ||
      format_->nb_streams != 1)
    return MACDLL_ERROR_NOT_APE;
  const AVCodecParameters* par = format_->streams[0]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_APE);
  if (par->codec_id != AV_CODEC_ID_APE || codec == nullptr) return MACDLL_ERROR_NOT_APE;
  codec_ = avcodec_alloc_context3(codec);
  if (codec_ == nullptr) return MACDLL_ERROR_MEMORY;
  if (avcodec_parameters_to_context(codec_, par) < 0) return MACDLL_ERROR_MEMORY;
  // Whole frames, so that each can be checked before any of it goes out.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "max_samples", "all", 0);
  const int opened = avcodec_open2(codec_, codec, &options);
  av_dict_free(&options);
  if (opened < 0) return MACDLL_ERROR_NOT_APE;
  const bool matches = codec_->sample_fmt == PlanarFormatFor(header_.bits) &&
                       codec_->ch_layout.nb_channels == header_.channels &&
                       codec_->sample_rate == static_cast<int>(header_.sampleRate);
  return matches ? MACDLL_OK : MACDLL_ERROR_NOT_APE;
}

int ApeDecompressor::GetData(std::uint8_t* out, int blocks, int* retrieved) {
  if (retrieved == nullptr || out == nullptr || blocks < 0) return MACDLL_ERROR_PARAMETER;
  *retrieved = 0;
  while (*retrieved < blocks) {
    if (used_ < stagedBlocks_) {
      const int n = std::min(stagedBlocks_ - used_, blocks - *retrieved);
      std::memcpy(out + static_cast<std::size_t>(*retrieved) * blockAlign_,
                  &staged_[static_cast<std::size_t>(used_) * blockAlign_],
                  static_cast<std::size_t>(n) * blockAlign_);
      used_ += n;
      *retrieved += n;
      continue;
    }
    if (error_ != MACDLL_OK || ended_) break;
    error_ = NextFrame();
  }
  // Blocks decoded before a damaged frame go out first; the error comes with the next call.
  return *retrieved == 0 ? error_ : MACDLL_OK;
}

int ApeDecompressor::NextFrame() {
  stagedBlocks_ = 0;
  used_ = 0;
  while (true) {
    const int received = avcodec_receive_frame(codec_, frame_);
    if (received == 0) return Stage();
    if (received == AVERROR_EOF) {
      ended_ = true;
      return MACDLL_OK;
    }
    if (received != AVERROR(EAGAIN) || draining_) return MACDLL_ERROR_DAMAGED;
    const int read = av_read_frame(format_, packet_);
    if (read == AVERROR_EOF) {
      draining_ = true;
      if (avcodec_send_packet(codec_, nullptr) < 0) return MACDLL_ERROR_DAMAGED;
      continue;
    }
    if (read < 0) return MACDLL_ERROR_DAMAGED;
    const int sent = avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
    if (sent < 0) return MACDLL_ERROR_DAMAGED;
  }
}

// Takes the frame FFmpeg returned into staged_ once it has the expected size and checksum.
int ApeDecompressor::Stage() {
  const bool whole = FrameMatches();
  if (whole) Interleave();
  av_frame_unref(frame_);
  if (!whole || !ChecksumMatches()) {
    stagedBlocks_ = 0;
    return MACDLL_ERROR_DAMAGED;
  }
  ++frameIndex_;
  const std::int64_t dropped = std::min<std::int64_t>(skip_, stagedBlocks_);
  used_ = static_cast<int>(dropped);
  skip_ -= dropped;
  return MACDLL_OK;
}

bool ApeDecompressor::FrameMatches() const {
  if (frameIndex_ >= header_.totalFrames) return false;
  const std::int64_t expected =
      frameIndex_ + 1 == header_.totalFrames ? header_.finalFrameBlocks : header_.blocksPerFrame;
  return frame_->format == PlanarFormatFor(header_.bits) && frame_->nb_samples == expected &&
         frame_->ch_layout.nb_channels == header_.channels;
}

void ApeDecompressor::Interleave() {
  stagedBlocks_ = frame_->nb_samples;
  staged_.resize(static_cast<std::size_t>(stagedBlocks_) * blockAlign_);
  const int width = header_.bits / 8;
  for (int c = 0; c < header_.channels; ++c) {
    std::uint8_t* dst = staged_.data() + c * width;
    if (width == 1) {
      const std::uint8_t* src = frame_->extended_data[c];
      for (int i = 0; i < stagedBlocks_; ++i, dst += blockAlign_) dst[0] = src[i];
    } else if (width == 2) {
      const auto* src = reinterpret_cast<const std::int16_t*>(frame_->extended_data[c]);
      for (int i = 0; i < stagedBlocks_; ++i, dst += blockAlign_) {
        const auto v = static_cast<std::uint16_t>(src[i]);
        dst[0] = static_cast<std::uint8_t>(v);
        dst[1] = static_cast<std::uint8_t>(v >> 8);
      }
    } else {
      // 24-bit samples come as the value times 256.
      const auto* src = reinterpret_cast<const std::int32_t*>(frame_->extended_data[c]);
      for (int i = 0; i < stagedBlocks_; ++i, dst += blockAlign_) {
        const auto v = static_cast<std::uint32_t>(src[i]);
        dst[0] = static_cast<std::uint8_t>(v >> 8);
        dst[1] = static_cast<std::uint8_t>(v >> 16);
        dst[2] = static_cast<std::uint8_t>(v >> 24);
      }
    }
  }
}

// The frame's stored checksum is its first big-endian word (top bit: flags follow). Frames lie
// in 32-bit words counted from the first frame and stored little-endian, so a frame may begin
// inside a word.
bool ApeDecompressor::ChecksumMatches() {
  if (header_.version < 3900) return true;  // no checksum in these versions
  const std::int64_t first = header_.framePositions.front();
  const std::int64_t position = header_.framePositions[static_cast<std::size_t>(frameIndex_)];
  const std::int64_t skip = (position - first) & 3;
  std::uint8_t words[8];
  // FFmpeg reads through the same source: leave its position as it was.
  const std::int64_t resume = source_->Position();
  const bool read =
      source_->Seek(position - skip) && source_->Read(words, sizeof words) == sizeof words;
  source_->Seek(resume);
  if (!read) return false;
  std::uint32_t stored = 0;
  for (std::int64_t k = skip; k < skip + 4; ++k)
    stored = stored << 8 | words[(k & ~3) + 3 - (k & 3)];
  const auto crc = static_cast<std::uint32_t>(crc32_z(0, staged_.data(), staged_.size()));
  return (crc >> 1) == (stored & 0x7FFFFFFFu);
}

int ApeDecompressor::Seek(std::int64_t block) {
  const std::int64_t total = header_.TotalBlocks();
  if (block < 0 || block > total) return MACDLL_ERROR_PARAMETER;
  const std::int64_t frame =
      std::min<std::int64_t>(block / header_.blocksPerFrame, header_.totalFrames - 1);
  const std::int64_t start = frame * header_.blocksPerFrame;
  if (av_seek_frame(format_, 0, start, AVSEEK_FLAG_BACKWARD) < 0) return MACDLL_ERROR_DAMAGED;
  avcodec_flush_buffers(codec_);
  frameIndex_ = frame;
  stagedBlocks_ = 0;
  used_ = 0;
  skip_ = block - start;
  error_ = MACDLL_OK;
  draining_ = false;
  ended_ = false;
  return MACDLL_OK;
}

int ApeDecompressor::Info(int code) const {
  const std::int64_t total = header_.TotalBlocks();
  const std::int64_t ms = total * 1000 / header_.sampleRate;
  switch (code) {
    case MACDLL_INFO_SAMPLE_RATE: return static_cast<int>(header_.sampleRate);
    case MACDLL_INFO_BITS_PER_SAMPLE: return header_.bits;
    case MACDLL_INFO_CHANNELS: return header_.channels;
    case MACDLL_INFO_BLOCK_ALIGN: return blockAlign_;
    case MACDLL_INFO_LENGTH_MS: return ClampToInt(ms);
    case MACDLL_INFO_AVERAGE_BITRATE:
      return ms > 0 ? ClampToInt((source_->Size() * 8 + ms / 2) / ms) : 0;
    case MACDLL_INFO_TOTAL_BLOCKS: return static_cast<int>(total);
    default: return -1;
  }
}

}  // namespace macdll
