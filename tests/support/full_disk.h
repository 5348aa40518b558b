// Two ways for a test to run out of space while the program writes.
//
// FileSizeLimit caps the size of every file this process writes (RLIMIT_FSIZE, with SIGXFSZ
// ignored): a write past the cap fails with EFBIG, as a write to a full disk fails with ENOSPC.
// It needs no privilege. Child processes started meanwhile inherit the cap.
//
// SmallFilesystem mounts a tmpfs of a given size on a private folder (root only); when it
// cannot, reason() says why and the caller skips.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <string>

#include "tests/support/test_files.h"

namespace testing_support {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
};

class SmallFilesystem {
 public:
  explicit SmallFilesystem(std::uint64_t bytes);
  ~SmallFilesystem();
  SmallFilesystem(const SmallFilesystem&) = delete;
  SmallFilesystem& operator=(const SmallFilesystem&) = delete;

  // "" when mounted; otherwise why not.
  const std::string& reason() const { return reason_; }
  std::string File(const std::string& name) const { return folder_.File(name); }
  const std::string& path() const { return folder_.path(); }

 private:
  TempDir folder_;
  std::string reason_;
};

}  // namespace testing_support
