#include "modules/mp3dec/mp3_stream.h"

#include <mpg123.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace mp3module {

namespace {

// A file counts as MPEG audio when its first frames follow each other byte for byte; a stream
// shorter than that must still hold two frames.
constexpr int kCheckedFrames = 3;
constexpr int kMinimumFrames = 2;
constexpr off_t kFrameHeaderBytes = 4;
constexpr std::size_t kBytesPerSample = 2;

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

mpg123_ssize_t ReadMemory(void* handle, void* buffer, std::size_t size) {
  auto* in = static_cast<MemoryInput*>(handle);
  const std::size_t n = std::min(size, in->size - in->position);
  if (n > 0) std::memcpy(buffer, in->data + in->position, n);
  in->position += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
  auto* in = static_cast<MemoryInput*>(handle);
  const auto size = static_cast<off_t>(in->size);
  off_t base = -1;
  if (whence == SEEK_SET) base = 0;
  if (whence == SEEK_CUR) base = static_cast<off_t>(in->position);
  if (whence == SEEK_END) base = size;
  if (base < 0 || offset < -base || offset > size - base) return -1;
  in->position = static_cast<std::size_t>(base + offset);
  return base + offset;
}

// Quiet, gapless, one fixed format per stream, stopping where a LAME tag says the stream
// ends; 16-bit output at the stream's own rate and channel count.
bool Configure(mpg123_handle* handle) {
  if (mpg123_param(handle, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_NO_FRANKENSTEIN,
                   0) != MPG123_OK ||
      mpg123_format_none(handle) != MPG123_OK)
    return false;
  const long* rates = nullptr;
  std::size_t count = 0;
  mpg123_rates(&rates, &count);
  for (std::size_t i = 0; i < count; ++i) {
    if (mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
        MPG123_OK)
      return false;
  }
  return true;
}

long StateOf(mpg123_handle* handle, int key) {
  long value = -1;
  double unused = 0;
  return mpg123_getstate(handle, static_cast<mpg123_state>(key), &value, &unused) == MPG123_OK
             ? value
             : -1;
}

}  // namespace

Mp3Stream::~Mp3Stream() {
  if (handle_ != nullptr) mpg123_delete(handle_);
}

bool Mp3Stream::Open(const std::string& path) {
  Close();
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  path_ = path;
  from_memory_ = false;
  input_size_ = st.st_size;
  return OpenSource();
}

bool Mp3Stream::Open(const std::uint8_t* data, std::size_t size) {
  Close();
  memory_ = MemoryInput{data, size, 0};
  from_memory_ = true;
  input_size_ = static_cast<std::int64_t>(size);
  return OpenSource();
}

void Mp3Stream::Close() {
  if (handle_ != nullptr) mpg123_close(handle_);
  open_ = false;
  rate_ = channels_ = bitrate_kbps_ = 0;
  length_ = 0;
  frame_pcm_bytes_ = 0;
}

std::int64_t Mp3Stream::length_ms() const { return rate_ > 0 ? length_ * 1000 / rate_ : 0; }

bool Mp3Stream::OpenSource() {
  InitLibrary();
  // The handle (and its decoder tables) serves every file this stream opens.
  if (handle_ == nullptr &&
      ((handle_ = mpg123_new(nullptr, nullptr)) == nullptr || !Configure(handle_)))
    return false;
  // The frame check reads ahead, so the decode starts again from a fresh open.
  open_ = Restart() && FirstFramesFollowEachOther() && Restart() && MeasureLength();
  if (!open_) Close();
  return open_;
}

bool Mp3Stream::Restart() {
  mpg123_close(handle_);
  int result = MPG123_ERR;
  if (from_memory_) {
    memory_.position = 0;
    result = mpg123_replace_reader_handle(handle_, ReadMemory, SeekMemory, nullptr);
    if (result == MPG123_OK) result = mpg123_open_handle(handle_, &memory_);
  } else {
    result = mpg123_open(handle_, path_.c_str());
  }
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (result != MPG123_OK || mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
      rate <= 0 || channels < 1 || channels > 2 || encoding != MPG123_ENC_SIGNED_16)
    return false;
  const int samples_per_frame = mpg123_spf(handle_);
  if (samples_per_frame <= 0) return false;
  rate_ = static_cast<int>(rate);
  channels_ = channels;
  frame_pcm_bytes_ = static_cast<std::size_t>(samples_per_frame) * channels * kBytesPerSample;
  first_frame_offset_ = mpg123_framepos(handle_);
  return true;
}

bool Mp3Stream::FirstFramesFollowEachOther() {
  unsigned long header = 0;
  unsigned char* body = nullptr;
  std::size_t body_size = 0;
  if (mpg123_framedata(handle_, &header, &body, &body_size) != MPG123_OK) return false;
  off_t expected = mpg123_framepos(handle_) + kFrameHeaderBytes + static_cast<off_t>(body_size);
  for (int seen = 1; seen < kCheckedFrames; ++seen) {
    const int result = mpg123_framebyframe_next(handle_);
    if (result == MPG123_DONE) return seen >= kMinimumFrames;
    if ((result != MPG123_OK && result != MPG123_NEW_FORMAT) ||
        mpg123_framepos(handle_) != expected ||
        mpg123_framedata(handle_, &header, &body, &body_size) != MPG123_OK)
      return false;
    expected += kFrameHeaderBytes + static_cast<off_t>(body_size);
  }
  return true;
}

bool Mp3Stream::MeasureLength() {
  const off_t announced_frames = mpg123_framelength(handle_);
  const long encoder_delay = StateOf(handle_, MPG123_ENC_DELAY);
  if (mpg123_scan(handle_) != MPG123_OK) return false;
  const off_t frames = mpg123_framelength(handle_);
  off_t samples = mpg123_length(handle_);
  if (frames <= 0 || samples < 0) return false;
  if (encoder_delay >= 0 && announced_frames > frames) {
    // The stream ends before the frame count its LAME tag announces. Counting the frames
    // gives up the tag's gapless end and with it the trimmed start; a fresh decode trims the
    // start only.
    const long decoder_delay = std::max(0L, StateOf(handle_, MPG123_DEC_DELAY));
    samples = std::max<off_t>(0, samples - encoder_delay - decoder_delay);
  }
  length_ = samples;
  MeasureBitrate(frames);
  // The scan leaves the decoder repositioned, which changes the first frames' output; the
  // decode starts from a fresh open, as players decode.
  return Restart();
}

void Mp3Stream::MeasureBitrate(std::int64_t frames) {
  const double seconds = static_cast<double>(frames) *
                         static_cast<double>(frame_pcm_bytes_ / channels_ / kBytesPerSample) /
                         rate_;
  const std::int64_t bytes = input_size_ - first_frame_offset_;
  const double average =
      seconds > 0 && bytes > 0 ? static_cast<double>(bytes) * 8 / seconds / 1000 : 0;
  // A stream that looks constant keeps its frames' bitrate when the average (which counts
  // trailing tags too) agrees; a stream without a tag may be variable whatever it looks like.
  mpg123_frameinfo2 info{};
  if (mpg123_info2(handle_, &info) == MPG123_OK && info.vbr == MPG123_CBR && info.bitrate > 0 &&
      std::abs(average - info.bitrate) <= 1 + info.bitrate / 50.0) {
    bitrate_kbps_ = info.bitrate;
    return;
  }
  bitrate_kbps_ = static_cast<int>(std::lround(average));
}

std::size_t Mp3Stream::Read(std::uint8_t* out, std::size_t size) {
  if (!open_) return 0;
  size -= size % (static_cast<std::size_t>(channels_) * kBytesPerSample);
  std::size_t total = 0;
  while (total < size) {
    std::size_t done = 0;
    const int result = mpg123_read(handle_, out + total, size - total, &done);
    total += done;
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    if (result == MPG123_OK && done == 0) break;
  }
  return total;
}

}  // namespace mp3module
