// Read-only memory mapping of a whole file, and the frame addressing rule of the PCM cache.
//
// Failures show a plain message box with the matching Windows error number
// ("OpenFile 失败。%d", "CreateFileMapping 失败。%d", "MapViewOfFile 失败。%d") and leave the
// map closed. An empty file maps to a non-null Base with Size 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class FileMap {
 public:
  FileMap() = default;
  ~FileMap();
  FileMap(const FileMap&) = delete;
  FileMap& operator=(const FileMap&) = delete;

  // When `failure` is given, the message is stored there instead of shown (for callers that
  // must not open a box where they are, such as a paint).
  bool Open(const std::string& path, std::string* failure = nullptr);
  // Unmaps and closes; safe when nothing is open.
  void Close();
  bool IsOpen() const { return Base != nullptr; }
  std::size_t Size() const { return size_; }

  // Access advice, for reading a few scattered pages of a large file. Byte ranges are widened
  // to whole pages and clipped to the file; all are no-ops while closed.
  // Faults read only their own page (no read-ahead around them).
  void AdviseRandom() const;
  // Starts reading the range into the page cache and returns without waiting for it.
  void Prefetch(std::size_t offset, std::size_t length) const;
  // One entry per page of the range, from the page holding `offset` on: bit 0 set when the
  // page is in memory now. Empty when that cannot be told.
  std::vector<std::uint8_t> ResidentPages(std::size_t offset, std::size_t length) const;
  // Drops the range from this process's memory; the page cache keeps it for the next reader.
  void Release(std::size_t offset, std::size_t length) const;

  const std::uint8_t* Base = nullptr;  // byte 0 of the file while open

 private:
  int fd_ = -1;
  std::size_t size_ = 0;
};

// Address of frame `frame` of a PCM cache mapped in `map`: Base + dataOffset + frame ×
// blockAlign. Returns null unless `count` whole frames from there lie inside the mapping.
const std::uint8_t* FrameAt(const FileMap& map, std::int64_t dataOffset, std::int64_t frame,
                            std::int32_t blockAlign, std::int64_t count = 1);

// Whole frames of the cache available in the mapping from `dataOffset` on.
std::int64_t FramesInMap(const FileMap& map, std::int64_t dataOffset, std::int32_t blockAlign);

}  // namespace platform
