#include "modules/macdll/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace macdll {

std::unique_ptr<FileSource> FileSource::Open(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(fd, st.st_size));
}

FileSource::~FileSource() { ::close(fd_); }

std::int64_t FileSource::Read(std::uint8_t* out, std::int64_t size) {
  const std::int64_t wanted = std::min(size, size_ - position_);
  std::int64_t done = 0;
  while (done < wanted) {
    const ssize_t n = ::pread(fd_, out + done, static_cast<std::size_t>(wanted - done),
                              static_cast<off_t>(position_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += n;
  }
  position_ += done;
  return done;
}

bool FileSource::Seek(std::int64_t offset) {
  if (offset < 0 || offset > size_) return false;
  position_ = offset;
  return true;
}

}  // namespace macdll
