#include "modules/macdll/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool FileSource::ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t size) {
  while (size > 0) {
    const ssize_t n = ::pread(fd_, out, static_cast<std::size_t>(size), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // an error, or the file shrank under us
    out += n;
    offset += n;
    size -= n;
  }
  return true;
}

}  // namespace macdll
