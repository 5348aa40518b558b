#include "tests/support/sparse_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace testing_support {

SparseDir::SparseDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  const auto root = (ec ? std::filesystem::current_path() : exe.parent_path()) / "sparse-tmp";
  std::filesystem::create_directories(root);
  std::string pattern = (root / "XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

SparseDir::~SparseDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string SparseDir::Unusable(std::int64_t bytes) const {
  const std::string probe = File("probe");
  const int fd = ::open(probe.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
  if (fd < 0) return "cannot create a file in " + path_;
  struct stat st {};
  const bool sized = ::ftruncate(fd, bytes) == 0 && ::fstat(fd, &st) == 0;
  ::close(fd);
  ::unlink(probe.c_str());
  if (!sized) return "the file system of " + path_ + " cannot hold a file of that size";
  if (st.st_blocks * 512 > (1 << 20)) return "the file system of " + path_ + " stores no holes";
  return "";
}

void WriteSparseFile(const std::string& path, const std::vector<std::uint8_t>& head,
                     std::int64_t size, const std::vector<std::uint8_t>& tail, bool marks) {
  const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  bool ok = fd >= 0 && ::ftruncate(fd, size) == 0;
  const auto put = [&](std::int64_t at, const std::uint8_t* bytes, std::size_t n) {
    ok = ok && ::pwrite(fd, bytes, n, at) == static_cast<ssize_t>(n);
  };
  put(0, head.data(), head.size());
  const std::int64_t tailAt = size - static_cast<std::int64_t>(tail.size());
  const std::vector<std::uint8_t> mark(16, 0xFF);
  for (auto at = static_cast<std::int64_t>(head.size()); marks && at + 16 <= tailAt; at += 16 << 20)
    put(at, mark.data(), mark.size());
  put(tailAt, tail.data(), tail.size());
  if (fd >= 0) ::close(fd);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadHead(const std::string& path, std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  const int fd = ::open(path.c_str(), O_RDONLY);
  const ssize_t got = fd >= 0 ? ::pread(fd, bytes.data(), n, 0) : 0;
  if (fd >= 0) ::close(fd);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

}  // namespace testing_support
