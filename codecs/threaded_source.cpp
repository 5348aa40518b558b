#include "codecs/threaded_source.h"

#include <system_error>

ThreadedSource::ThreadedSource(const std::string& path, std::int64_t chunkBytes)
    : Music(path), buffer_(static_cast<std::size_t>(chunkBytes > 0 ? chunkBytes : 1)) {}

ThreadedSource::~ThreadedSource() { JoinDecode(); }

void ThreadedSource::JoinDecode() {
  if (!worker_.joinable()) return;
  if (worker_.get_id() == std::this_thread::get_id()) {
    worker_.detach();
    return;
  }
  worker_.join();
}

bool ThreadedSource::StartConvert(Music* target) {
  JoinDecode();
  if (target == nullptr || !OpenDecode()) return false;
  cancelled_ = false;
  try {
    worker_ = std::thread(&ThreadedSource::Loop, this, target);
  } catch (const std::system_error&) {
    CloseDecode();
    return false;
  }
  return true;
}

bool ThreadedSource::CancelConvert() {
  cancelled_ = true;
  return true;
}

bool ThreadedSource::Deliver(Music* target, const std::uint8_t* data, std::int64_t length) {
  return target->WriteSamples(data, length);
}

void ThreadedSource::Loop(Music* target) {
  const auto capacity = static_cast<std::int64_t>(buffer_.size());
  while (!Cancelled()) {
    const std::int64_t got = ReadChunk(buffer_.data(), capacity);
    if (got <= 0) break;
    if (!Deliver(target, buffer_.data(), got)) {
      target->writeFailed = true;
      break;
    }
  }
  CloseDecode();
  target->CloseWriter();
}
