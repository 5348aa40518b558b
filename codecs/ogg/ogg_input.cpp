#include "codecs/ogg/ogg_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

class FileInput : public OggInput {
 public:
  explicit FileInput(std::FILE* file) : file_(file), buffer_(new char[kBufferBytes]) {
    // libvorbisfile asks for a few kilobytes at a time; a larger buffer saves system calls.
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferBytes);
  }
  ~FileInput() override { std::fclose(file_); }

  std::size_t Read(void* buffer, std::size_t bytes) override {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, bytes, file_);
    if (got < bytes && std::ferror(file_) && errno == 0) errno = EIO;
    return got;
  }
  int Seek(std::int64_t offset, int whence) override {
    return fseeko(file_, static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
  }
  std::int64_t Tell() override { return ftello(file_); }

 private:
  static constexpr std::size_t kBufferBytes = 1 << 16;
  std::FILE* file_;
  std::unique_ptr<char[]> buffer_;  // outlives file_, which the destructor closes first
};

class MemoryInput : public OggInput {
 public:
  explicit MemoryInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Read(void* buffer, std::size_t bytes) override {
    errno = 0;
    const std::size_t size = bytes_.size();
    const std::size_t from = position_ < size ? position_ : size;
    const std::size_t count = bytes < size - from ? bytes : size - from;
    if (count > 0) std::memcpy(buffer, bytes_.data() + from, count);
    position_ = from + count;
    return count;
  }
  int Seek(std::int64_t offset, int whence) override {
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
      base = static_cast<std::int64_t>(position_);
    } else if (whence == SEEK_END) {
      base = static_cast<std::int64_t>(bytes_.size());
    } else if (whence != SEEK_SET) {
      return -1;
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) return -1;
    position_ = static_cast<std::size_t>(target);
    return 0;
  }
  std::int64_t Tell() override { return static_cast<std::int64_t>(position_); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

std::size_t ReadCallback(void* buffer, std::size_t size, std::size_t count, void* source) {
  if (size == 0 || count == 0) return 0;
  if (count > SIZE_MAX / size) count = SIZE_MAX / size;
  return static_cast<OggInput*>(source)->Read(buffer, size * count) / size;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
  if (source == nullptr) return -1;
  return static_cast<OggInput*>(source)->Seek(offset, whence);
}

long TellCallback(void* source) {
  return static_cast<long>(static_cast<OggInput*>(source)->Tell());
}

}  // namespace

ov_callbacks OggInput::Callbacks() {
  return ov_callbacks{&ReadCallback, &SeekCallback, nullptr, &TellCallback};
}

std::unique_ptr<OggInput> OpenOggFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  return std::make_unique<FileInput>(file);
}

std::unique_ptr<OggInput> OggMemoryInput(std::span<const std::uint8_t> bytes) {
  return std::make_unique<MemoryInput>(bytes);
}
