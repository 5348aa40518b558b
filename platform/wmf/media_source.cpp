#include "platform/wmf/media_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <limits>

namespace platform::wmf {

namespace {

constexpr int kIoBufferBytes = 1 << 15;

}  // namespace

MediaSource::~MediaSource() {
  swr_free(&convert_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&decoder_);
  avformat_close_input(&format_);
  if (io_ != nullptr) av_freep(&io_->buffer);
  avio_context_free(&io_);
}

int MediaSource::ReadIo(void* self, std::uint8_t* buffer, int size) {
  auto* source = static_cast<MediaSource*>(self);
  const std::int64_t n = source->bytes_->ReadAt(source->position_, buffer, size);
  if (n < 0) return AVERROR(EIO);
  if (n == 0) return AVERROR_EOF;
  source->position_ += n;
  return static_cast<int>(n);
}

std::int64_t MediaSource::SeekIo(void* self, std::int64_t offset, int whence) {
  auto* source = static_cast<MediaSource*>(self);
  const std::int64_t size = source->bytes_->Size();
  std::int64_t target = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = source->position_ + offset; break;
    case SEEK_END: target = size + offset; break;
    default: return AVERROR(EINVAL);
  }
  if (target < 0) return AVERROR(EINVAL);
  source->position_ = target;
  return target;
}

int MediaSource::Interrupted(void* self) {
  const auto* abort = static_cast<MediaSource*>(self)->abort_;
  return abort != nullptr && abort->load(std::memory_order_relaxed) ? 1 : 0;
}

HRESULT MediaSource::Open(ByteSource& bytes, const std::atomic<bool>* abort) {
  bytes_ = &bytes;
  abort_ = abort;
  HRESULT hr = OpenFormat();
  if (SUCCEEDED(hr)) hr = OpenStream();
  if (FAILED(hr) && Interrupted(this)) return E_ABORT;
  return hr;
}

HRESULT MediaSource::OpenFormat() {
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, this, &ReadIo, nullptr, &SeekIo);
  if (io_ == nullptr) {
    av_free(buffer);
    return E_OUTOFMEMORY;
  }
  format_ = avformat_alloc_context();
  if (format_ == nullptr) return E_OUTOFMEMORY;
  format_->pb = io_;
  format_->interrupt_callback.callback = &Interrupted;
  format_->interrupt_callback.opaque = this;
  // Only ASF: a file of another kind named .wma is not this runtime's to read.
  if (avformat_open_input(&format_, nullptr, av_find_input_format("asf"), nullptr) < 0) {
    return E_FAIL;  // FFmpeg has freed format_ and cleared the pointer
  }
  if (avformat_find_stream_info(format_, nullptr) < 0) return E_FAIL;
  return S_OK;
}

HRESULT MediaSource::OpenStream() {
  const AVCodec* codec = nullptr;
  stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream_ < 0 || codec == nullptr) return E_FAIL;
  const AVStream* stream = format_->streams[stream_];
  decoder_ = avcodec_alloc_context3(codec);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (decoder_ == nullptr || packet_ == nullptr || frame_ == nullptr) return E_OUTOFMEMORY;
  decoder_->thread_count = 1;
  if (avcodec_parameters_to_context(decoder_, stream->codecpar) < 0 ||
      avcodec_open2(decoder_, codec, nullptr) < 0) {
    return E_FAIL;
  }
  rate_ = decoder_->sample_rate;
  channels_ = decoder_->ch_layout.nb_channels;
  if (rate_ <= 0 || rate_ > kMaxRate || channels_ <= 0 || channels_ > kMaxChannels) return E_FAIL;
  if (format_->duration == AV_NOPTS_VALUE || format_->duration <= 0 ||
      format_->duration > kMaxDuration100ns / 10) {
    return E_FAIL;
  }
  duration_ = format_->duration * 10;
  const std::int64_t bitrate =
      stream->codecpar->bit_rate > 0 ? stream->codecpar->bit_rate : format_->bit_rate;
  bitrate_ = static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(bitrate, 0, std::numeric_limits<std::uint32_t>::max()));
  return S_OK;
}

bool MediaSource::NextBlock(const std::uint8_t** pcm, std::size_t* frames) {
  for (;;) {
    if (Interrupted(this)) return false;
    const int received = avcodec_receive_frame(decoder_, frame_);
    if (received == 0) {
      const bool converted = Convert(*frame_);
      const auto count = static_cast<std::size_t>(frame_->nb_samples);
      av_frame_unref(frame_);
      if (!converted) continue;
      *pcm = pcm_.data();
      *frames = count;
      return true;
    }
    if (received == AVERROR_EOF || draining_) return false;
    // The decoder wants input (or refused the last packet): feed it, or drain it at the end.
    if (!FeedPacket()) {
      avcodec_send_packet(decoder_, nullptr);
      draining_ = true;
    }
  }
}

bool MediaSource::FeedPacket() {
  while (av_read_frame(format_, packet_) >= 0) {
    const bool ours = packet_->stream_index == stream_;
    // A packet the decoder refuses is dropped; the next one may decode.
    if (ours) avcodec_send_packet(decoder_, packet_);
    av_packet_unref(packet_);
    if (ours) return true;
  }
  return false;
}

bool MediaSource::Convert(const AVFrame& frame) {
  if (frame.sample_rate != rate_ || frame.ch_layout.nb_channels != channels_ ||
      frame.nb_samples <= 0) {
    return false;
  }
  if (frame.format != convertFrom_) {
    const auto from = static_cast<AVSampleFormat>(frame.format);
    // FFmpeg 5.1 declares the layouts non-const but only reads them.
    auto* layout = const_cast<AVChannelLayout*>(&frame.ch_layout);
    if (swr_alloc_set_opts2(&convert_, layout, AV_SAMPLE_FMT_S16, rate_, layout, from, rate_, 0,
                            nullptr) < 0 ||
        swr_init(convert_) < 0) {
      convertFrom_ = -1;
      return false;
    }
    convertFrom_ = frame.format;
  }
  pcm_.resize(static_cast<std::size_t>(frame.nb_samples) * channels_ * 2);
  std::uint8_t* out = pcm_.data();
  const int done =
      swr_convert(convert_, &out, frame.nb_samples,
                  const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
  return done == frame.nb_samples;
}

}  // namespace platform::wmf
