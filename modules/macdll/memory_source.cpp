#include "modules/macdll/memory_source.h"

#include <algorithm>
#include <cstring>

namespace macdll {

std::int64_t MemorySource::Read(std::uint8_t* out, std::int64_t size) {
  const std::int64_t n = std::max<std::int64_t>(0, std::min(size, size_ - position_));
  if (n > 0) std::memcpy(out, data_ + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

bool MemorySource::Seek(std::int64_t offset) {
  if (offset < 0 || offset > size_) return false;
  position_ = offset;
  return true;
}

}  // namespace macdll
