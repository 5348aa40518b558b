// A ByteSource over a regular file opened read-only.
#pragma once

#include <memory>

#include "modules/macdll/byte_source.h"

namespace macdll {

class FileSource : public ByteSource {
 public:
  // Null when `path` cannot be opened for reading or is not a regular file.
  static std::unique_ptr<FileSource> Open(const char* path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::int64_t Read(std::uint8_t* out, std::int64_t size) override;
  bool Seek(std::int64_t offset) override;
  std::int64_t Position() const override { return position_; }
  std::int64_t Size() const override { return size_; }

 private:
  FileSource(int fd, std::int64_t size) : fd_(fd), size_(size) {}

  int fd_;
  std::int64_t size_;
  std::int64_t position_ = 0;
};

}  // namespace macdll
