// Random access to the bytes of an APE file, so the same decoder reads files and (for the fuzz
// target) memory. Subclasses supply the reads; the position is kept here.
#pragma once

#include <cstdint>

namespace macdll {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads up to `size` bytes at the position and advances; returns the count (0 at the end) or
  // -1 on a read error.
  std::int64_t Read(std::uint8_t* out, std::int64_t size);
  // Moves to `offset` (0…Size()); false, and no move, outside.
  bool Seek(std::int64_t offset);
  std::int64_t Position() const { return position_; }
  std::int64_t Size() const { return size_; }

 protected:
  explicit ByteSource(std::int64_t size) : size_(size) {}
  // Reads exactly `size` bytes (the caller keeps within the source) at `offset`; false on error.
  virtual bool ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t size) = 0;

 private:
  std::int64_t size_;
  std::int64_t position_ = 0;
};

}  // namespace macdll
