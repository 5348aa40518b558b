#include "tests/support/full_disk.h"

#include <sys/mount.h>

#include <cerrno>
#include <system_error>

namespace testing_support {

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
  getrlimit(RLIMIT_FSIZE, &saved_);
  savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  rlimit capped = saved_;
  capped.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &capped);
}

FileSizeLimit::~FileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &saved_);
  std::signal(SIGXFSZ, savedHandler_);
}

SmallFilesystem::SmallFilesystem(std::uint64_t bytes) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  if (::mount("wavelathe-test", folder_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
              options.c_str()) != 0) {
    reason_ = "cannot mount a small tmpfs here (" +
              std::error_code(errno, std::generic_category()).message() + ")";
  }
}

SmallFilesystem::~SmallFilesystem() {
  if (reason_.empty()) ::umount2(folder_.path().c_str(), MNT_DETACH);
}

}  // namespace testing_support
