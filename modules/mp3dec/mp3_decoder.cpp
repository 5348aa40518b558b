#include "modules/mp3dec/mp3_decoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace mp3module {

namespace {

constexpr std::size_t kChunkBytes = 32768;
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr int kBitsPerSample = 16;

// True on the decode thread, which must not join itself.
thread_local bool on_decode_thread = false;

std::string TitleOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace

Mp3Decoder::~Mp3Decoder() { Stop(); }

int Mp3Decoder::Play(const char* file) {
  const OutputModule* output = record_.output;
  if (file == nullptr || on_decode_thread || output == nullptr || output->open == nullptr ||
      output->can_write == nullptr || output->write == nullptr)
    return 1;
  std::lock_guard control(control_mutex_);
  if (running_.load()) return 1;
  // A play that reached its end has finished its thread; collect it.
  if (thread_.joinable()) thread_.join();
  auto stream = std::make_unique<Mp3Stream>();
  if (!stream->Open(file)) return 1;
  length_ms_ = static_cast<int>(std::min<std::int64_t>(stream->length_ms(), INT_MAX));
  {
    std::lock_guard lock(mutex_);
    stop_requested_ = false;
    paused_ = false;
    current_file_ = file;
  }
  running_ = true;
  thread_ = std::thread(&Mp3Decoder::Run, this, std::move(stream));
  return 0;
}

void Mp3Decoder::Stop() {
  if (on_decode_thread) {
    RequestStop();
    return;
  }
  std::lock_guard control(control_mutex_);
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void Mp3Decoder::RequestStop() {
  std::lock_guard lock(mutex_);
  stop_requested_ = true;
  wake_.notify_all();
}

bool Mp3Decoder::StopRequested() const {
  std::lock_guard lock(mutex_);
  return stop_requested_;
}

void Mp3Decoder::SetPaused(bool paused) {
  {
    std::lock_guard lock(mutex_);
    paused_ = paused;
    wake_.notify_all();
  }
  if (record_.output != nullptr && record_.output->pause != nullptr)
    record_.output->pause(paused ? 1 : 0);
}

bool Mp3Decoder::paused() const {
  std::lock_guard lock(mutex_);
  return paused_;
}

int Mp3Decoder::OutputTimeMs() const {
  const OutputModule* output = record_.output;
  return output != nullptr && output->get_output_time != nullptr ? output->get_output_time() : -1;
}

void Mp3Decoder::FileInfo(const char* file, char* title, std::size_t title_size,
                          int* length_ms) const {
  std::string path = file != nullptr ? file : "";
  int length = -1;
  if (path.empty()) {
    std::lock_guard lock(mutex_);
    path = current_file_;
    length = length_ms_.load();
  } else {
    Mp3Stream stream;
    if (stream.Open(path))
      length = static_cast<int>(std::min<std::int64_t>(stream.length_ms(), INT_MAX));
  }
  if (length_ms != nullptr) *length_ms = length;
  if (title != nullptr && title_size > 0) {
    const std::string name = TitleOf(path);
    const std::size_t n = std::min(name.size(), title_size - 1);
    std::memcpy(title, name.data(), n);
    title[n] = '\0';
  }
}

void Mp3Decoder::Run(std::unique_ptr<Mp3Stream> stream) {
  on_decode_thread = true;
  const OutputModule* output = record_.output;
  bool ended = false;
  if (output->open(stream->rate(), stream->channels(), kBitsPerSample, -1, -1) >= 0) {
    if (record_.set_info != nullptr && !StopRequested())
      record_.set_info(stream->bitrate_kbps(), stream->rate() / 1000, stream->channels(), 1);
    ended = Deliver(*stream, *output) && WaitUntilPlayed(*output);
  }
  if (output->close != nullptr) output->close();
  stream.reset();
  // A Play waiting for this thread joins it before it starts another one.
  running_ = false;
  if (ended) PostEnd();
}

bool Mp3Decoder::Deliver(Mp3Stream& stream, const OutputModule& output) {
  std::vector<std::uint8_t> buffer(kChunkBytes);
  const std::size_t least = std::min(stream.frame_pcm_bytes(), kChunkBytes);
  while (!StopRequested()) {
    const int room = output.can_write();
    if (StopRequested()) return false;
    if (room < 0 || static_cast<std::size_t>(room) < least) {
      if (!Idle(kPollInterval)) return false;
      continue;
    }
    const std::size_t n = stream.Read(buffer.data(), std::min<std::size_t>(room, kChunkBytes));
    if (n == 0) return true;
    output.write(reinterpret_cast<char*>(buffer.data()), static_cast<int>(n));
    if (!Idle(std::chrono::milliseconds(0))) return false;
  }
  return false;
}

bool Mp3Decoder::WaitUntilPlayed(const OutputModule& output) {
  while (output.is_playing != nullptr && output.is_playing() != 0) {
    if (!Idle(kPollInterval)) return false;
  }
  return !StopRequested();
}

bool Mp3Decoder::Idle(std::chrono::milliseconds time) {
  std::unique_lock lock(mutex_);
  if (time.count() > 0) wake_.wait_for(lock, time, [this] { return stop_requested_; });
  wake_.wait(lock, [this] { return stop_requested_ || !paused_; });
  return !stop_requested_;
}

void Mp3Decoder::PostEnd() {
  // Under the lock, so a Stop that has returned can never be followed by this post.
  std::lock_guard lock(mutex_);
  if (!stop_requested_) platform::PostMessage(record_.host_window, kEndOfStreamMessage, 0, 0);
}

}  // namespace mp3module
