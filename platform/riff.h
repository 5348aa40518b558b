// Buffered RIFF file services with the operations, flags and error numbers of the classic
// multimedia I/O (mmio) interface, on POSIX files with 64-bit offsets.
//
// All functions take a handle returned by mmioOpen; a null handle fails with
// MMIOERR_INVALIDFILE (or -1 for read/write/seek). Sizes from the file are never trusted
// beyond the file's length: a descend only finds chunks whose header lies inside the parent,
// and examines at most kMaxChunkHeaders headers, so no run of empty chunks (or of zero bytes)
// makes a search slow.
//
// Files past 4 GiB: MMIO_FINDRIFF also finds the 64-bit forms "RF64" and "BW64" (ckid tells
// which; their sizes live in a ds64 chunk the caller reads). A form whose size is 0xFFFFFFFF,
// or that the file outgrows by 4 GiB or more (a 32-bit size that wrapped), reaches to the end
// of the file for the searches inside it.
//
// Sparse files: a written buffer of zero bytes past the end of the file extends the file
// instead of being written (a hole), and reads of a file with holes fill them without I/O.
//
// When a write, an ascend that patches a size or a close fails on a system call, errno holds
// the system's reason afterwards (ENOSPC for a full disk, EFBIG past the file size limit).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

using FOURCC = std::uint32_t;
using MMRESULT = std::uint32_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMIOERR_FILENOTFOUND = 257;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = 258;
constexpr MMRESULT MMIOERR_CANNOTOPEN = 259;
constexpr MMRESULT MMIOERR_CANNOTCLOSE = 260;
constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
constexpr MMRESULT MMIOERR_CANNOTEXPAND = 264;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
constexpr MMRESULT MMIOERR_UNBUFFERED = 266;
constexpr MMRESULT MMIOERR_PATHNOTFOUND = 267;
constexpr MMRESULT MMIOERR_ACCESSDENIED = 268;
constexpr MMRESULT MMIOERR_SHARINGVIOLATION = 269;
constexpr MMRESULT MMIOERR_NETWORKERROR = 270;
constexpr MMRESULT MMIOERR_TOOMANYOPENFILES = 271;
constexpr MMRESULT MMIOERR_INVALIDFILE = 272;

constexpr std::uint32_t MMIO_READ = 0x0;
constexpr std::uint32_t MMIO_WRITE = 0x1;
constexpr std::uint32_t MMIO_READWRITE = 0x2;
constexpr std::uint32_t MMIO_EXCLUSIVE = 0x10;
constexpr std::uint32_t MMIO_CREATE = 0x1000;
constexpr std::uint32_t MMIO_ALLOCBUF = 0x10000;

constexpr std::uint32_t MMIO_FINDCHUNK = 0x10;
constexpr std::uint32_t MMIO_FINDRIFF = 0x20;
constexpr std::uint32_t MMIO_FINDLIST = 0x40;
constexpr std::uint32_t MMIO_CREATERIFF = 0x20;
constexpr std::uint32_t MMIO_CREATELIST = 0x40;
constexpr std::uint32_t MMIO_DIRTY = 0x10000000;

constexpr int kMaxChunkHeaders = 4096;  // headers one descend examines at most

struct MMCKINFO {
  FOURCC ckid = 0;
  std::uint32_t cksize = 0;
  FOURCC fccType = 0;
  std::int64_t dwDataOffset = 0;  // file offset of the chunk's data
  std::uint32_t dwFlags = 0;
};

struct MMIOINFO {
  MMRESULT wErrorRet = 0;  // filled by mmioOpen on failure
};

class RiffFile;
using HMMIO = RiffFile*;

HMMIO mmioOpen(const std::string& path, MMIOINFO* info, std::uint32_t flags);
MMRESULT mmioClose(HMMIO file, std::uint32_t flags);
// Reads up to `n` bytes; returns the count read (0 at end of file) or -1 on error.
std::int32_t mmioRead(HMMIO file, void* buffer, std::int32_t n);
// Writes `n` bytes; returns `n` or -1 on error.
std::int32_t mmioWrite(HMMIO file, const void* buffer, std::int32_t n);
// `origin` is SEEK_SET, SEEK_CUR or SEEK_END of <cstdio>. Returns the new position, or -1 on
// error (including a position before the start).
std::int64_t mmioSeek(HMMIO file, std::int64_t offset, int origin);
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, std::uint32_t flags);
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, std::uint32_t flags);
MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, std::uint32_t flags);
FOURCC mmioStringToFOURCC(const char* text, std::uint32_t flags);
// Inserts `bytes` (≥ 0) of zeros at the start of the file, moving everything after them; the
// position moves with the content. Uses the file system's range insertion where it can (ext4
// and XFS, `bytes` a multiple of the block size), so a large file is not rewritten; copies
// otherwise. MMIOERR_CANNOTWRITE when the file could not be changed.
MMRESULT mmioInsertAtStart(HMMIO file, std::int64_t bytes);

}  // namespace platform
