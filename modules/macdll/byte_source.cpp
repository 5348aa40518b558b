#include "modules/macdll/byte_source.h"

#include <algorithm>

namespace macdll {

std::int64_t ByteSource::Read(std::uint8_t* out, std::int64_t size) {
  const std::int64_t n = std::clamp<std::int64_t>(size, 0, size_ - position_);
  if (n > 0 && !ReadAt(position_, out, n)) return -1;
  position_ += n;
  return n;
}

bool ByteSource::Seek(std::int64_t offset) {
  if (offset < 0 || offset > size_) return false;
  position_ = offset;
  return true;
}

}  // namespace macdll
