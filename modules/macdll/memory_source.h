// A ByteSource over bytes the caller keeps alive for the source's life.
#pragma once

#include <cstddef>

#include "modules/macdll/byte_source.h"

namespace macdll {

class MemorySource : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(static_cast<std::int64_t>(size)) {}

  std::int64_t Read(std::uint8_t* out, std::int64_t size) override;
  bool Seek(std::int64_t offset) override;
  std::int64_t Position() const override { return position_; }
  std::int64_t Size() const override { return size_; }

 private:
  const std::uint8_t* data_;
  std::int64_t size_;
  std::int64_t position_ = 0;
};

}  // namespace macdll
