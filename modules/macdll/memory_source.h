// A ByteSource over bytes the caller keeps alive for the source's life.
#pragma once

#include <cstddef>

#include "modules/macdll/byte_source.h"

namespace macdll {

class MemorySource : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size)
      : ByteSource(static_cast<std::int64_t>(size)), data_(data) {}

 protected:
  bool ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t size) override;

 private:
  const std::uint8_t* data_;
};

}  // namespace macdll
