#include "platform/riff.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/byte_order.h"

namespace platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::uint32_t kToUpper = 0x10;  // mmioStringToFOURCC: fold to upper case
constexpr FOURCC kRiff = 0x46464952;      // "RIFF"
constexpr FOURCC kRf64 = 0x34364652;      // "RF64"
constexpr FOURCC kBw64 = 0x34365742;      // "BW64"
constexpr FOURCC kList = 0x5453494C;      // "LIST"
constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;
constexpr std::size_t kShiftBlock = 1 << 20;  // copy unit when content is moved

bool AllZero(const std::uint8_t* p, std::size_t n) {
  return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

MMRESULT ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return MMIOERR_FILENOTFOUND;
    case ENOTDIR:
    case ENAMETOOLONG: return MMIOERR_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS: return MMIOERR_ACCESSDENIED;
    case ETXTBSY:
    case EBUSY:
    case EWOULDBLOCK: return MMIOERR_SHARINGVIOLATION;
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ECONNREFUSED:
    case ESTALE:
    case EREMOTEIO: return MMIOERR_NETWORKERROR;
    case EMFILE:
    case ENFILE: return MMIOERR_TOOMANYOPENFILES;
    case EISDIR:
    case ENXIO:
    case ENODEV: return MMIOERR_INVALIDFILE;
    case ENOMEM: return MMIOERR_OUTOFMEMORY;
    default: return MMIOERR_CANNOTOPEN;
  }
}

}  // namespace

// One open file with a single buffer used either for reading ahead or for collecting writes.
// All I/O goes through pread/pwrite at the logical position pos_, so the kernel's own file
// offset is never relied upon.
class RiffFile {
 public:
  RiffFile(int fd, std::int64_t size, bool sparse)
      : fd_(fd), size_(size), diskSize_(size), sparse_(sparse) {}
  ~RiffFile() {
    if (fd_ >= 0) ::close(fd_);
  }

  std::int64_t position() const { return pos_; }
  std::int64_t size() const { return size_; }

  std::int32_t Read(void* out, std::int32_t n);
  std::int32_t Write(const void* data, std::int32_t n);
  bool ReadExact(void* out, std::int32_t n) { return Read(out, n) == n; }
  bool WriteAt(std::int64_t offset, const void* data, std::size_t n);
  bool Seek(std::int64_t pos) {
    if (pos < 0) return false;
    pos_ = pos;
    return true;
  }
  bool Flush();
  bool InsertAtStart(std::int64_t bytes);
  MMRESULT Close();

 private:
  bool PwriteAll(std::int64_t offset, const std::uint8_t* data, std::size_t n);
  bool PreadAll(std::int64_t offset, std::uint8_t* data, std::size_t n);
  // Reads up to n bytes at `offset`; a hole is filled with zeros without reading it.
  ssize_t ReadAt(std::int64_t offset, std::uint8_t* data, std::size_t n);
  // Extends the file over holes left by skipped zero buffers.
  bool SyncLength();
  bool ShiftByCopy(std::int64_t bytes);

  int fd_;
  std::int64_t size_;         // file length including buffered writes
  std::int64_t diskSize_;     // file length on disk
  std::int64_t holeEnd_ = 0;  // end of the zero buffers not written (a hole to extend over)
  bool sparse_;               // the file had holes when opened
  std::int64_t pos_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::size_t bufferLength_ = 0;  // valid bytes in buffer_
  bool bufferDirty_ = false;      // buffer holds writes not yet in the file
};

bool RiffFile::PwriteAll(std::int64_t offset, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::pwrite(fd_, data, n, offset);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    offset += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

bool RiffFile::PreadAll(std::int64_t offset, std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::pread(fd_, data, n, offset);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    offset += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

ssize_t RiffFile::ReadAt(std::int64_t offset, std::uint8_t* data, std::size_t n) {
  if (sparse_ && offset < diskSize_) {
    const off_t next = ::lseek(fd_, offset, SEEK_DATA);
    const std::int64_t dataAt = next >= 0 ? next : (errno == ENXIO ? diskSize_ : offset);
    if (dataAt > offset) {
      const auto zeros = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(n), dataAt - offset));
      std::memset(data, 0, zeros);
      return static_cast<ssize_t>(zeros);
    }
  }
  return ::pread(fd_, data, n, offset);
}

bool RiffFile::Flush() {
  if (bufferDirty_) {
    bufferDirty_ = false;
    const std::int64_t end = bufferStart_ + static_cast<std::int64_t>(bufferLength_);
    // Zeros past the end of the file become a hole: silence costs no disk.
    const bool hole = bufferStart_ >= diskSize_ && AllZero(buffer_.data(), bufferLength_);
    const bool ok = hole || PwriteAll(bufferStart_, buffer_.data(), bufferLength_);
    if (hole) holeEnd_ = std::max(holeEnd_, end);
    if (ok && !hole) diskSize_ = std::max(diskSize_, end);
    bufferLength_ = 0;
    return ok;
  }
  bufferLength_ = 0;
  return true;
}

bool RiffFile::SyncLength() {
  if (diskSize_ >= holeEnd_) return true;
  if (::ftruncate(fd_, holeEnd_) != 0) return false;
  diskSize_ = holeEnd_;
  return true;
}

std::int32_t RiffFile::Read(void* out, std::int32_t n) {
  if (n < 0) return -1;
  if (bufferDirty_ && !Flush()) return -1;
  if (!SyncLength()) return -1;
  auto* dest = static_cast<std::uint8_t*>(out);
  std::int32_t done = 0;
  while (done < n) {
    const std::int64_t inBuffer = pos_ - bufferStart_;
    if (bufferLength_ > 0 && inBuffer >= 0 && inBuffer < static_cast<std::int64_t>(bufferLength_)) {
      const std::size_t take =
          std::min<std::size_t>(bufferLength_ - static_cast<std::size_t>(inBuffer), n - done);
      std::memcpy(dest + done, buffer_.data() + inBuffer, take);
      done += static_cast<std::int32_t>(take);
      pos_ += static_cast<std::int64_t>(take);
      continue;
    }
    const std::size_t want = static_cast<std::size_t>(n - done);
    const bool direct = want >= kBufferSize / 2;
    if (!direct && buffer_.size() < kBufferSize) buffer_.resize(kBufferSize);
    std::uint8_t* into = direct ? dest + done : buffer_.data();
    const ssize_t got = ReadAt(pos_, into, direct ? want : kBufferSize);
    if (got < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (got == 0) break;
    if (direct) {
      done += static_cast<std::int32_t>(got);
      pos_ += got;
    } else {
      bufferStart_ = pos_;
      bufferLength_ = static_cast<std::size_t>(got);
    }
  }
  return done;
}

std::int32_t RiffFile::Write(const void* data, std::int32_t n) {
  if (n < 0) return -1;
  const auto* src = static_cast<const std::uint8_t*>(data);
  const bool contiguous =
      bufferDirty_ && pos_ == bufferStart_ + static_cast<std::int64_t>(bufferLength_);
  if (!contiguous && !Flush()) return -1;
  if (!bufferDirty_) {
    bufferStart_ = pos_;
    bufferLength_ = 0;
  }
  if (buffer_.size() < kBufferSize) buffer_.resize(kBufferSize);
  std::int32_t done = 0;
  while (done < n) {
    const std::size_t take = std::min<std::size_t>(kBufferSize - bufferLength_, n - done);
    std::memcpy(buffer_.data() + bufferLength_, src + done, take);
    bufferLength_ += take;
    bufferDirty_ = true;
    done += static_cast<std::int32_t>(take);
    if (bufferLength_ == kBufferSize) {
      if (!Flush()) return -1;
      bufferStart_ = pos_ + done;
    }
  }
  pos_ += n;
  size_ = std::max(size_, pos_);
  return n;
}

bool RiffFile::WriteAt(std::int64_t offset, const void* data, std::size_t n) {
  if (!Flush()) return false;
  if (!PwriteAll(offset, static_cast<const std::uint8_t*>(data), n)) return false;
  const std::int64_t end = offset + static_cast<std::int64_t>(n);
  size_ = std::max(size_, end);
  diskSize_ = std::max(diskSize_, end);
  return true;
}

// Moves the content up by `bytes` from the end backwards, so no block overwrites content not
// yet moved, then zeros the room made at the start.
bool RiffFile::ShiftByCopy(std::int64_t bytes) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::int64_t>(
      std::max<std::int64_t>(size_, bytes), static_cast<std::int64_t>(kShiftBlock))));
  for (std::int64_t end = size_; end > 0;) {
    const std::int64_t n = std::min<std::int64_t>(end, static_cast<std::int64_t>(block.size()));
    const std::int64_t start = end - n;
    if (!PreadAll(start, block.data(), static_cast<std::size_t>(n)) ||
        !PwriteAll(start + bytes, block.data(), static_cast<std::size_t>(n)))
      return false;
    end = start;
  }
  const std::int64_t zeros = std::min(bytes, size_);
  std::fill(block.begin(), block.end(), 0);
  for (std::int64_t at = 0; at < zeros;) {
    const std::int64_t n =
        std::min<std::int64_t>(zeros - at, static_cast<std::int64_t>(block.size()));
    if (!PwriteAll(at, block.data(), static_cast<std::size_t>(n))) return false;
    at += n;
  }
  return size_ >= bytes || ::ftruncate(fd_, size_ + bytes) == 0;
}

bool RiffFile::InsertAtStart(std::int64_t bytes) {
  if (bytes < 0 || bytes > std::numeric_limits<std::int64_t>::max() - size_) return false;
  if (bytes == 0) return true;
  // A file that lost a write cannot be moved faithfully.
  if (!Flush() || !SyncLength() || diskSize_ != size_) return false;
  const bool inserted =
      size_ > 0 && ::fallocate(fd_, FALLOC_FL_INSERT_RANGE, 0, static_cast<off_t>(bytes)) == 0;
  if (!inserted && !ShiftByCopy(bytes)) return false;
  size_ += bytes;
  diskSize_ = size_;
  pos_ += bytes;
  return true;
}

MMRESULT RiffFile::Close() {
  const bool flushed = Flush() && SyncLength();
  const int flushError = errno;
  const int rc = ::close(fd_);
  fd_ = -1;
  if (!flushed) {
    errno = flushError;  // the write's reason, not what close made of it
    return MMIOERR_CANNOTWRITE;
  }
  return rc == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

HMMIO mmioOpen(const std::string& path, MMIOINFO* info, std::uint32_t flags) {
  int mode = O_RDONLY;
  if (flags & MMIO_READWRITE) {
    mode = O_RDWR;
  } else if (flags & MMIO_WRITE) {
    mode = O_WRONLY;
  }
  // MMIO_CREATE truncates an existing file; MMIO_EXCLUSIVE is a sharing mode, not O_EXCL.
  if (flags & MMIO_CREATE) mode |= O_CREAT | O_TRUNC;
  auto fail = [info](MMRESULT code) -> HMMIO {
    if (info) info->wErrorRet = code;
    return nullptr;
  };
  if (path.empty()) return fail(MMIOERR_FILENOTFOUND);
  int fd;
  do {
    fd = ::open(path.c_str(), mode | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(ErrorFromErrno(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(MMIOERR_INVALIDFILE);
  }
  if (info) info->wErrorRet = MMSYSERR_NOERROR;
  const bool sparse = static_cast<std::int64_t>(st.st_blocks) * 512 < st.st_size;
  return new RiffFile(fd, st.st_size, sparse);
}

MMRESULT mmioClose(HMMIO file, std::uint32_t) {
  if (file == nullptr) return MMIOERR_INVALIDFILE;
  const MMRESULT result = file->Close();
  delete file;
  return result;
}

std::int32_t mmioRead(HMMIO file, void* buffer, std::int32_t n) {
  if (file == nullptr || (buffer == nullptr && n > 0)) return -1;
  return file->Read(buffer, n);
}

std::int32_t mmioWrite(HMMIO file, const void* buffer, std::int32_t n) {
  if (file == nullptr || (buffer == nullptr && n > 0)) return -1;
  return file->Write(buffer, n);
}

std::int64_t mmioSeek(HMMIO file, std::int64_t offset, int origin) {
  if (file == nullptr) return -1;
  std::int64_t base;
  switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = file->position(); break;
    case SEEK_END: base = file->size(); break;
    default: return -1;
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target) || !file->Seek(target)) return -1;
  return target;
}

namespace {

struct ChunkHeader {
  FOURCC id = 0;
  std::uint32_t size = 0;
  FOURCC type = 0;  // form or list type; only read for RIFF and LIST
};

// Reads the header at `pos`; false when it does not lie completely before `end`.
bool ReadHeader(HMMIO file, std::int64_t pos, std::int64_t end, ChunkHeader* header,
                MMRESULT* error) {
  std::uint8_t raw[12];
  *error = MMIOERR_CHUNKNOTFOUND;
  if (pos + 8 > end) return false;
  file->Seek(pos);
  const std::int32_t want = pos + 12 <= end ? 12 : 8;
  const std::int32_t got = file->Read(raw, want);
  if (got < 0) *error = MMIOERR_CANNOTREAD;
  if (got < 8) return false;
  header->id = platform::LoadLe32(raw);
  header->size = platform::LoadLe32(raw + 4);
  header->type = got >= 12 ? platform::LoadLe32(raw + 8) : 0;
  return true;
}

bool IsWaveForm(FOURCC id) { return id == kRiff || id == kRf64 || id == kBw64; }
bool IsFormChunk(FOURCC id) { return IsWaveForm(id) || id == kList; }

// Where the searches inside `parent` end. A top-level form whose size is unknown (0xFFFFFFFF)
// or wrapped (the file outgrows it by 4 GiB or more) reaches to the end of the file.
std::int64_t ParentEnd(const RiffFile& file, const MMCKINFO& parent) {
  const std::int64_t declared = parent.dwDataOffset + std::int64_t{parent.cksize};
  const bool topForm = IsWaveForm(parent.ckid) && parent.dwDataOffset == 8;
  if (topForm && (parent.cksize == 0xFFFFFFFF || file.size() - declared >= kFourGiB))
    return file.size();
  return std::min(file.size(), declared);
}

}  // namespace

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, std::uint32_t flags) {
  if (file == nullptr) return MMIOERR_INVALIDFILE;
  if (chunk == nullptr) return MMIOERR_CHUNKNOTFOUND;
  const std::int64_t end = parent != nullptr ? ParentEnd(*file, *parent) : file->size();
  const FOURCC wantId = (flags & MMIO_FINDLIST)    ? kList
                        : (flags & MMIO_FINDCHUNK) ? chunk->ckid
                                                   : 0;
  const bool byType = (flags & (MMIO_FINDRIFF | MMIO_FINDLIST)) != 0;
  std::int64_t pos = file->position();
  for (int examined = 0; examined < kMaxChunkHeaders; ++examined) {
    ChunkHeader header;
    MMRESULT error;
    if (!ReadHeader(file, pos, end, &header, &error)) return error;
    const bool form = IsFormChunk(header.id);
    if (form && pos + 12 > end) return MMIOERR_CHUNKNOTFOUND;
    const bool idMatches = (flags & MMIO_FINDRIFF) ? IsWaveForm(header.id) : header.id == wantId;
    const bool match = flags == 0 || (idMatches && (!byType || header.type == chunk->fccType));
    if (match) {
      chunk->ckid = header.id;
      chunk->cksize = header.size;
      chunk->fccType = form ? header.type : 0;
      chunk->dwDataOffset = pos + 8;
      chunk->dwFlags = 0;
      file->Seek(pos + (form ? 12 : 8));
      return MMSYSERR_NOERROR;
    }
    // The next header follows the data and its pad byte; a size running past `end` ends the
    // search on the next round, and every step moves forward by at least 8 bytes.
    pos += 8 + std::int64_t{header.size} + (header.size & 1);
  }
  return MMIOERR_CHUNKNOTFOUND;
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, std::uint32_t) {
  if (file == nullptr) return MMIOERR_INVALIDFILE;
  if (chunk == nullptr) return MMIOERR_CANNOTSEEK;
  if (chunk->dwFlags & MMIO_DIRTY) {
    const std::int64_t length = file->position() - chunk->dwDataOffset;
    if (length < 0 || length > std::numeric_limits<std::uint32_t>::max())
      return MMIOERR_CANNOTWRITE;
    if (length & 1) {
      const std::uint8_t zero = 0;
      if (file->Write(&zero, 1) != 1) return MMIOERR_CANNOTWRITE;
    }
    if (static_cast<std::uint32_t>(length) != chunk->cksize) {
      std::uint8_t raw[4];
      platform::StoreLe32(raw, static_cast<std::uint32_t>(length));
      if (!file->WriteAt(chunk->dwDataOffset - 4, raw, sizeof raw)) return MMIOERR_CANNOTWRITE;
      chunk->cksize = static_cast<std::uint32_t>(length);
    }
    chunk->dwFlags &= ~MMIO_DIRTY;
  }
  const std::int64_t size = chunk->cksize;
  if (!file->Seek(chunk->dwDataOffset + size + (size & 1))) return MMIOERR_CANNOTSEEK;
  return MMSYSERR_NOERROR;
}

MMRESULT mmioInsertAtStart(HMMIO file, std::int64_t bytes) {
  if (file == nullptr) return MMIOERR_INVALIDFILE;
  return file->InsertAtStart(bytes) ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, std::uint32_t flags) {
  if (file == nullptr) return MMIOERR_INVALIDFILE;
  if (chunk == nullptr) return MMIOERR_CANNOTWRITE;
  const std::int64_t start = file->position();
  if (start < 0) return MMIOERR_CANNOTSEEK;
  if (flags & MMIO_CREATERIFF) chunk->ckid = kRiff;
  if (flags & MMIO_CREATELIST) chunk->ckid = kList;
  const bool form = (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
  std::uint8_t raw[12];
  platform::StoreLe32(raw, chunk->ckid);
  platform::StoreLe32(raw + 4, chunk->cksize);
  platform::StoreLe32(raw + 8, chunk->fccType);
  const std::int32_t length = form ? 12 : 8;
  chunk->dwDataOffset = start + 8;
  chunk->dwFlags = MMIO_DIRTY;
  if (file->Write(raw, length) != length) {
    file->Seek(start);
    return MMIOERR_CANNOTWRITE;
  }
  return MMSYSERR_NOERROR;
}

FOURCC mmioStringToFOURCC(const char* text, std::uint32_t flags) {
  char code[4] = {' ', ' ', ' ', ' '};
  for (int i = 0; i < 4 && text != nullptr && text[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    code[i] = static_cast<char>((flags & kToUpper) ? std::toupper(c) : c);
  }
  return platform::LoadLe32(reinterpret_cast<const std::uint8_t*>(code));
}

}  // namespace platform
