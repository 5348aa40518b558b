// Random-access bytes a file is read from: a file on disk, or a block of memory (fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/wmf/wmf_types.h"

namespace platform::wmf {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::int64_t Size() const = 0;
  // Reads up to `count` bytes at `offset`; returns the number read (0 at or past the end),
  // or -1 on a read error.
  virtual std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) = 0;

  // Opens a regular file for reading; on failure *hr is E_FILE_NOT_FOUND, E_PATH_NOT_FOUND,
  // E_ACCESSDENIED or E_FAIL and the result is null.
  static std::unique_ptr<ByteSource> OpenFile(const std::string& path, HRESULT* hr);
  // Reads `data` in place; the memory must outlive the source.
  static std::unique_ptr<ByteSource> FromMemory(const std::uint8_t* data, std::size_t size);
};

// The result code for a failed file operation's errno.
HRESULT HresultFromErrno(int error);

}  // namespace platform::wmf
