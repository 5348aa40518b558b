// Random access to the bytes of an APE file, so the same decoder reads files and (for the fuzz
// target) memory.
#pragma once

#include <cstdint>

namespace macdll {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads up to `size` bytes at the position and advances; returns the count (0 at the end) or
  // -1 on a read error.
  virtual std::int64_t Read(std::uint8_t* out, std::int64_t size) = 0;
  // Moves to `offset` (0…Size()); false, and no move, outside.
  virtual bool Seek(std::int64_t offset) = 0;
  virtual std::int64_t Position() const = 0;
  virtual std::int64_t Size() const = 0;
};

}  // namespace macdll
