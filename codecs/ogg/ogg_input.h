// The bytes libvorbisfile reads, behind its four callbacks: a file opened for reading or a
// block of memory (which lets the reader be driven without files).
#pragma once

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class OggInput {
 public:
  virtual ~OggInput() = default;

  // Copies up to `bytes` bytes and returns the count: 0 at the end with errno 0, 0 after a
  // read error with errno set (how libvorbisfile tells the two apart).
  virtual std::size_t Read(void* buffer, std::size_t bytes) = 0;
  // `whence` is SEEK_SET, SEEK_CUR or SEEK_END. 0 on success; -1 leaves the position as it was.
  virtual int Seek(std::int64_t offset, int whence) = 0;
  virtual std::int64_t Tell() = 0;

  // Callbacks whose data source is an OggInput*. They do not close it: the owner does, after
  // ov_clear.
  static ov_callbacks Callbacks();
};

// Opens `path` for reading; null when it cannot be opened.
std::unique_ptr<OggInput> OpenOggFile(const std::string& path);
// Reads `bytes`, which must outlive the input.
std::unique_ptr<OggInput> OggMemoryInput(std::span<const std::uint8_t> bytes);
