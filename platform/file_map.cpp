#include "platform/file_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include "platform/message_box.h"
#include "res/platform_texts.h"

namespace platform {

namespace {

// What an empty file maps to: a valid address with no bytes behind it.
const std::uint8_t kEmptyFile[1] = {0};

// Windows error number matching a system error, as the mapping messages show it.
// ENOENT 2 (file not found), ENOTDIR 3 (path not found), EMFILE/ENFILE 4 (too many open
// files), EACCES/EPERM/EROFS/EISDIR 5 (access denied), ENOMEM 8 (not enough memory),
// EINVAL 87 (invalid parameter), EBUSY/ETXTBSY 32 (sharing violation), EFBIG/EOVERFLOW 223
// (file too large), ENAMETOOLONG 206 (file name too long), ELOOP 1921 (name cannot be
// resolved), ENODEV/ENXIO 1 (invalid function), EIO 1117 (I/O device error); anything else
// 31 (a device attached to the system is not functioning).
int WindowsError(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5;
    case ENOMEM: return 8;
    case EBUSY:
    case ETXTBSY: return 32;
    case EINVAL: return 87;
    case ENAMETOOLONG: return 206;
    case EFBIG:
    case EOVERFLOW: return 223;
    case ENODEV:
    case ENXIO: return 1;
    case EIO: return 1117;
    case ELOOP: return 1921;
    default: return 31;
  }
}

void Fail(const char* format, int error, std::string* failure) {
  char text[128];
  std::snprintf(text, sizeof text, format, WindowsError(error));
  if (failure != nullptr) {
    *failure = text;
  } else {
    ShowBox(BoxKind::kPlain, text);
  }
}

}  // namespace

FileMap::~FileMap() { Close(); }

bool FileMap::Open(const std::string& path, std::string* failure) {
  Close();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    Fail(texts::kOpenFileFailed, errno, failure);
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    Fail(texts::kCreateFileMappingFailed, error, failure);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    // A folder or a device cannot be opened as a file to map.
    ::close(fd);
    Fail(texts::kOpenFileFailed, S_ISDIR(st.st_mode) ? EISDIR : ENODEV, failure);
    return false;
  }
  if (st.st_size == 0) {
    fd_ = fd;
    size_ = 0;
    Base = kEmptyFile;
    return true;
  }
  if (static_cast<std::uint64_t>(st.st_size) > std::numeric_limits<std::size_t>::max()) {
    ::close(fd);
    Fail(texts::kCreateFileMappingFailed, EFBIG, failure);
    return false;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    const int error = errno;
    ::close(fd);
    Fail(texts::kMapViewOfFileFailed, error, failure);
    return false;
  }
  fd_ = fd;
  size_ = size;
  Base = static_cast<const std::uint8_t*>(view);
  return true;
}

void FileMap::Close() {
  if (Base != nullptr && Base != kEmptyFile) ::munmap(const_cast<std::uint8_t*>(Base), size_);
  if (fd_ >= 0) ::close(fd_);
  Base = nullptr;
  fd_ = -1;
  size_ = 0;
}

namespace {

struct PageRange {
  std::size_t begin = 0;
  std::size_t length = 0;
};

PageRange Pages(std::size_t size, std::size_t offset, std::size_t length) {
  static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  if (offset >= size || length == 0) return {};
  const std::size_t end = offset + std::min(length, size - offset);
  const std::size_t begin = offset - offset % page;
  return {begin, std::min(size, (end + page - 1) / page * page) - begin};
}

}  // namespace

void FileMap::AdviseRandom() const {
  if (IsOpen() && size_ > 0) ::madvise(const_cast<std::uint8_t*>(Base), size_, MADV_RANDOM);
}

void FileMap::Prefetch(std::size_t offset, std::size_t length) const {
  const PageRange r = Pages(size_, offset, length);
  if (IsOpen() && r.length > 0)
    ::posix_fadvise(fd_, static_cast<off_t>(r.begin), static_cast<off_t>(r.length),
                    POSIX_FADV_WILLNEED);
}

std::vector<std::uint8_t> FileMap::ResidentPages(std::size_t offset, std::size_t length) const {
  const PageRange r = Pages(size_, offset, length);
  static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<std::uint8_t> resident((r.length + page - 1) / page);
  if (!IsOpen() || resident.empty() ||
      ::mincore(const_cast<std::uint8_t*>(Base) + r.begin, r.length, resident.data()) != 0)
    return {};
  return resident;
}

void FileMap::Release(std::size_t offset, std::size_t length) const {
  const PageRange r = Pages(size_, offset, length);
  if (IsOpen() && r.length > 0)
    ::madvise(const_cast<std::uint8_t*>(Base) + r.begin, r.length, MADV_DONTNEED);
}

std::int64_t FramesInMap(const FileMap& map, std::int64_t dataOffset, std::int32_t blockAlign) {
  if (!map.IsOpen() || blockAlign <= 0 || dataOffset < 0) return 0;
  const auto size = static_cast<std::uint64_t>(map.Size());
  if (static_cast<std::uint64_t>(dataOffset) >= size) return 0;
  return static_cast<std::int64_t>((size - static_cast<std::uint64_t>(dataOffset)) /
                                   static_cast<std::uint64_t>(blockAlign));
}

const std::uint8_t* FrameAt(const FileMap& map, std::int64_t dataOffset, std::int64_t frame,
                            std::int32_t blockAlign, std::int64_t count) {
  if (!map.IsOpen() || blockAlign <= 0 || dataOffset < 0 || frame < 0 || count < 0) return nullptr;
  if (static_cast<std::uint64_t>(dataOffset) > map.Size()) return nullptr;
  const std::int64_t available = FramesInMap(map, dataOffset, blockAlign);
  if (frame > available || count > available - frame) return nullptr;
  return map.Base + dataOffset + frame * blockAlign;
}

}  // namespace platform
