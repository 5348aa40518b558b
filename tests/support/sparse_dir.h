// Large sparse test files: a private folder for them under the test executable's folder (the
// build tree), since the system's temporary folder may be a RAM file system, and a writer that
// puts bytes at both ends of a file without writing what lies between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class SparseDir {
 public:
  SparseDir();
  ~SparseDir();
  SparseDir(const SparseDir&) = delete;
  SparseDir& operator=(const SparseDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Empty when a file of `bytes` can be stored here as a hole; otherwise why not.
  std::string Unusable(std::int64_t bytes) const;

 private:
  std::string path_;
};

// Makes `path` a file of `size` bytes: `head` at the start, `tail` at the end, a hole between
// except, with `marks`, 16 bytes of 0xFF every 16 MiB (sox walks a run of zeros after the data
// size it believes in 8-byte steps; such a mark ends the walk).
void WriteSparseFile(const std::string& path, const std::vector<std::uint8_t>& head,
                     std::int64_t size, const std::vector<std::uint8_t>& tail, bool marks = true);

// The first `n` bytes of a file (fewer if it is shorter).
std::vector<std::uint8_t> ReadHead(const std::string& path, std::size_t n);

}  // namespace testing_support
