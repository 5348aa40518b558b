#include "modules/macdll/ape_decompressor.h"

#include <algorithm>
#include <climits>

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
  // A frame whose checksum does not match is an error, not just a warning, and a frame is
  // decoded whole, so no block of a damaged frame is ever handed out.
  codec_->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
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
    if (Available() > 0) {
      const int n = std::min(Available(), blocks - *retrieved);
      CopyBlocks(out + static_cast<std::size_t>(*retrieved) * blockAlign_, n);
      *retrieved += n;
      continue;
    }
    if (error_ != MACDLL_OK || ended_) break;
    error_ = NextFrame();
  }
  // Blocks decoded before a damaged frame go out first; the error comes with the next call.
  return *retrieved == 0 ? error_ : MACDLL_OK;
}

int ApeDecompressor::Available() const {
  return frame_->nb_samples > 0 ? frame_->nb_samples - used_ : 0;
}

int ApeDecompressor::NextFrame() {
  av_frame_unref(frame_);
  used_ = 0;
  while (true) {
    const int received = avcodec_receive_frame(codec_, frame_);
    if (received == 0) {
      if (!FrameMatches()) return MACDLL_ERROR_DAMAGED;
      const std::int64_t dropped = std::min<std::int64_t>(skip_, frame_->nb_samples);
      used_ = static_cast<int>(dropped);
      skip_ -= dropped;
      return MACDLL_OK;
    }
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

bool ApeDecompressor::FrameMatches() const {
  return frame_->format == PlanarFormatFor(header_.bits) && frame_->nb_samples > 0 &&
         frame_->ch_layout.nb_channels == header_.channels;
}

void ApeDecompressor::CopyBlocks(std::uint8_t* out, int count) {
  const int channels = header_.channels;
  for (int c = 0; c < channels; ++c) {
    std::uint8_t* dst = out + c * (header_.bits / 8);
    if (header_.bits == 8) {
      const std::uint8_t* src = frame_->extended_data[c] + used_;
      for (int i = 0; i < count; ++i, dst += blockAlign_) dst[0] = src[i];
    } else if (header_.bits == 16) {
      const auto* src = reinterpret_cast<const std::int16_t*>(frame_->extended_data[c]) + used_;
      for (int i = 0; i < count; ++i, dst += blockAlign_) {
        const auto v = static_cast<std::uint16_t>(src[i]);
        dst[0] = static_cast<std::uint8_t>(v);
        dst[1] = static_cast<std::uint8_t>(v >> 8);
      }
    } else {
      // 24-bit samples come as the value times 256.
      const auto* src = reinterpret_cast<const std::int32_t*>(frame_->extended_data[c]) + used_;
      for (int i = 0; i < count; ++i, dst += blockAlign_) {
        const auto v = static_cast<std::uint32_t>(src[i]);
        dst[0] = static_cast<std::uint8_t>(v >> 8);
        dst[1] = static_cast<std::uint8_t>(v >> 16);
        dst[2] = static_cast<std::uint8_t>(v >> 24);
      }
    }
  }
  used_ += count;
}

int ApeDecompressor::Seek(std::int64_t block) {
  const std::int64_t total = header_.TotalBlocks();
  if (block < 0 || block > total) return MACDLL_ERROR_PARAMETER;
  const std::int64_t frame =
      std::min<std::int64_t>(block / header_.blocksPerFrame, header_.totalFrames - 1);
  const std::int64_t start = frame * header_.blocksPerFrame;
  if (av_seek_frame(format_, 0, start, AVSEEK_FLAG_BACKWARD) < 0) return MACDLL_ERROR_DAMAGED;
  avcodec_flush_buffers(codec_);
  av_frame_unref(frame_);
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
