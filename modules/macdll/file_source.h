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

 protected:
  bool ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t size) override;

 private:
  FileSource(int fd, std::int64_t size) : ByteSource(size), fd_(fd) {}

  int fd_;
};

}  // namespace macdll
