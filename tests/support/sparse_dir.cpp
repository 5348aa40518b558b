#include "tests/support/sparse_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace testing_support {
namespace {

constexpr std::int64_t kMarkSpacing = std::int64_t{16} << 20;

std::string ExecutableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path().string() : exe.parent_path().string();
}

}  // namespace

SparseDir::SparseDir() {
  const std::filesystem::path root = std::filesystem::path(ExecutableDir()) / "sparse-tmp";
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
  if (st.st_blocks * 512 > (std::int64_t{1} << 20))
    return "the file system of " + path_ + " does not store holes";
  return "";
}

void WriteAt(const std::string& path, std::int64_t offset, const std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  const bool ok =
      ::pwrite(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

void WriteSparseFile(const std::string& path, const std::vector<std::uint8_t>& head,
                     std::int64_t size, const std::vector<std::uint8_t>& tail, bool marks) {
  const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0 || ::ftruncate(fd, size) != 0) throw std::runtime_error("cannot size " + path);
  ::close(fd);
  WriteAt(path, 0, head);
  const std::int64_t tailAt = size - static_cast<std::int64_t>(tail.size());
  const std::vector<std::uint8_t> mark(16, 0xFF);
  for (std::int64_t at = static_cast<std::int64_t>(head.size()); marks && at + 16 <= tailAt;
       at += kMarkSpacing)
    WriteAt(path, at, mark);
  WriteAt(path, tailAt, tail);
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
