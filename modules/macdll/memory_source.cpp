#include "modules/macdll/memory_source.h"

#include <cstring>

namespace macdll {

bool MemorySource::ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t size) {
  std::memcpy(out, data_ + offset, static_cast<std::size_t>(size));
  return true;
}

}  // namespace macdll
