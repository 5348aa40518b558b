#include "platform/wmf/wma_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/wmf/byte_source.h"

namespace platform::wmf {

namespace {

constexpr int kIoBufferBytes = 1 << 16;

}  // namespace

WmaEncoder::~WmaEncoder() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  swr_free(&convert_);
  avcodec_free_context(&encoder_);
  avformat_free_context(mux_);
  if (io_ != nullptr) av_freep(&io_->buffer);
  avio_context_free(&io_);
}

int WmaEncoder::WriteIo(void* self, std::uint8_t* data, int size) {
  auto* encoder = static_cast<WmaEncoder*>(self);
  for (int done = 0; done < size;) {
    const ssize_t n = write(encoder->fd_, data + done, static_cast<std::size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      encoder->ioErrno_ = n < 0 ? errno : ENOSPC;
      return AVERROR(encoder->ioErrno_);
    }
    done += static_cast<int>(n);
  }
  return size;
}

std::int64_t WmaEncoder::SeekIo(void* self, std::int64_t offset, int whence) {
  const int fd = static_cast<WmaEncoder*>(self)->fd_;
  if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? st.st_size : AVERROR(errno);
  }
  const off_t at = lseek(fd, offset, whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

HRESULT WmaEncoder::Failure(int error) const {
  if (ioErrno_ != 0) return HresultFromErrno(ioErrno_);
  return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL;
}

HRESULT WmaEncoder::Begin(int fd, const WmaFormat& format, int inputBits) {
  fd_ = fd;
  HRESULT hr = OpenEncoder(format, inputBits);
  if (SUCCEEDED(hr)) hr = OpenMuxer();
  return hr;
}

HRESULT WmaEncoder::OpenEncoder(const WmaFormat& format, int inputBits) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (codec == nullptr) return E_FAIL;
  encoder_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (encoder_ == nullptr || frame_ == nullptr || packet_ == nullptr) return E_OUTOFMEMORY;
  const int rate = static_cast<int>(format.wave.nSamplesPerSec);
  const int channels = format.wave.nChannels;
  encoder_->sample_rate = rate;
  encoder_->bit_rate = static_cast<std::int64_t>(format.wave.nAvgBytesPerSec) * 8;
  encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  encoder_->time_base = {1, rate};
  encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_channel_layout_default(&encoder_->ch_layout, channels);
  if (avcodec_open2(encoder_, codec, nullptr) < 0) return E_FAIL;
  frameSize_ = encoder_->frame_size;
  frameBytes_ = channels * inputBits / 8;
  frame_->format = AV_SAMPLE_FMT_FLTP;
  frame_->nb_samples = frameSize_;
  frame_->sample_rate = rate;
  if (av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout) < 0 ||
      av_frame_get_buffer(frame_, 0) < 0) {
    return E_OUTOFMEMORY;
  }
  const AVSampleFormat from = inputBits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
  if (swr_alloc_set_opts2(&convert_, &encoder_->ch_layout, AV_SAMPLE_FMT_FLTP, rate,
                          &encoder_->ch_layout, from, rate, 0, nullptr) < 0 ||
      swr_init(convert_) < 0) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT WmaEncoder::OpenMuxer() {
  if (avformat_alloc_output_context2(&mux_, nullptr, "asf", nullptr) < 0) return E_FAIL;
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  io_ = avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &WriteIo, &SeekIo);
  if (io_ == nullptr) {
    av_free(buffer);
    return E_OUTOFMEMORY;
  }
  mux_->pb = io_;
  mux_->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVStream* stream = avformat_new_stream(mux_, nullptr);
  if (stream == nullptr) return E_OUTOFMEMORY;
  if (avcodec_parameters_from_context(stream->codecpar, encoder_) < 0) return E_OUTOFMEMORY;
  stream->time_base = encoder_->time_base;
  const int written = avformat_write_header(mux_, nullptr);
  return written < 0 ? Failure(written) : S_OK;
}

HRESULT WmaEncoder::Write(const BYTE* pcm, std::size_t bytes) {
  if (bytes % static_cast<std::size_t>(frameBytes_) != 0) return E_INVALIDARG;
  for (std::size_t left = bytes / frameBytes_; left > 0;) {
    const int take = static_cast<int>(std::min<std::size_t>(left, frameSize_ - filled_));
    std::uint8_t* planes[2] = {frame_->data[0] + filled_ * sizeof(float), nullptr};
    if (frame_->ch_layout.nb_channels > 1) planes[1] = frame_->data[1] + filled_ * sizeof(float);
    if (swr_convert(convert_, planes, take, &pcm, take) != take) return E_FAIL;
    pcm += static_cast<std::size_t>(take) * frameBytes_;
    left -= take;
    filled_ += take;
    if (filled_ == frameSize_) {
      const HRESULT hr = EncodeFrame(false);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

// Hands frame_ (filled_ samples) to the encoder and muxes what comes out.
HRESULT WmaEncoder::EncodeFrame(bool last) {
  frame_->nb_samples = filled_;
  frame_->pts = pts_;
  pts_ += filled_;
  filled_ = 0;
  int result = avcodec_send_frame(encoder_, frame_);
  if (result < 0) return Failure(result);
  const HRESULT hr = Drain();
  if (FAILED(hr) || last) return hr;
  // The encoder may still hold the frame's buffer.
  frame_->nb_samples = frameSize_;
  result = av_frame_make_writable(frame_);
  return result < 0 ? Failure(result) : S_OK;
}

HRESULT WmaEncoder::Drain() {
  for (;;) {
    int result = avcodec_receive_packet(encoder_, packet_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return S_OK;
    if (result < 0) return Failure(result);
    packet_->stream_index = 0;
    av_packet_rescale_ts(packet_, encoder_->time_base, mux_->streams[0]->time_base);
    result = av_write_frame(mux_, packet_);
    av_packet_unref(packet_);
    if (result < 0) return Failure(result);
  }
}

HRESULT WmaEncoder::End() {
  HRESULT hr = filled_ > 0 ? EncodeFrame(true) : S_OK;
  if (SUCCEEDED(hr)) {
    const int result = avcodec_send_frame(encoder_, nullptr);
    hr = result < 0 ? Failure(result) : Drain();
  }
  if (SUCCEEDED(hr)) {
    const int result = av_write_trailer(mux_);
    if (result < 0) hr = Failure(result);
  }
  if (SUCCEEDED(hr)) avio_flush(io_);
  return SUCCEEDED(hr) && ioErrno_ != 0 ? HresultFromErrno(ioErrno_) : hr;
}

}  // namespace platform::wmf
