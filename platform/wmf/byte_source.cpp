#include "platform/wmf/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace platform::wmf {

namespace {

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::int64_t size) : fd_(fd), size_(size) {}
  ~FileSource() override { close(fd_); }
  std::int64_t Size() const override { return size_; }
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) override {
    if (offset < 0) return -1;
    for (;;) {
      const ssize_t n = pread(fd_, buffer, count, offset);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
  std::int64_t size_;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(size_); }
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) override {
    if (offset < 0) return -1;
    if (static_cast<std::uint64_t>(offset) >= size_) return 0;
    const std::size_t n = std::min(count, size_ - static_cast<std::size_t>(offset));
    if (n > 0) std::memcpy(buffer, data_ + offset, n);
    return static_cast<std::int64_t>(n);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

HRESULT HresultFromErrno(int error) {
  switch (error) {
    case ENOENT: return E_FILE_NOT_FOUND;
    case ENOTDIR: return E_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT: return E_DISK_FULL;
    case ENOMEM: return E_OUTOFMEMORY;
    default: return E_FAIL;
  }
}

std::unique_ptr<ByteSource> ByteSource::OpenFile(const std::string& path, HRESULT* hr) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *hr = HresultFromErrno(errno);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    *hr = E_FAIL;
    return nullptr;
  }
  std::unique_ptr<ByteSource> source(new (std::nothrow)
                                         FileSource(fd, static_cast<std::int64_t>(st.st_size)));
  if (!source) close(fd);
  *hr = source ? S_OK : E_OUTOFMEMORY;
  return source;
}

std::unique_ptr<ByteSource> ByteSource::FromMemory(const std::uint8_t* data, std::size_t size) {
  return std::make_unique<MemorySource>(data, size);
}

}  // namespace platform::wmf
