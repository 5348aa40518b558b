#include "platform/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "res/platform_texts.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

// Follows symbolic links from `path` to the file they finally name (which may not exist yet).
fs::path FollowLinks(fs::path path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) break;
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

// fsync of a file or folder by name; true when the data has reached the disk.
bool Sync(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

void ReportReplaceFailure(int error, const std::string& path) {
  char text[1024];
  std::snprintf(text, sizeof text, texts::kReplaceFailed,
                std::error_code(error, std::generic_category()).message().c_str(), path.c_str());
  ShowMessage(text);
}

}  // namespace

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Begin(const std::string& destination) {
  Discard();
  const fs::path target = FollowLinks(destination);
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return false;
  const std::string extension = target.extension().string();
  std::string prefix(1, '.');
  prefix += target.stem().string();
  prefix += '-';
  const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
  std::error_code error;
  if (!fs::is_directory(folder, error)) return false;
  temp_ = CreateTempFileName(folder, prefix, extension);
  if (temp_.empty()) return false;
  if (exists) {
    // The replacement keeps the file's owner where we may set it, and its permissions; the
    // set-id bits only together with the owner.
    const bool owned = ::chown(temp_.c_str(), existing.st_uid, existing.st_gid) == 0;
    ::chmod(temp_.c_str(), existing.st_mode & (owned ? 07777 : 0777));
  }
  destination_ = target.string();
  return true;
}

bool StagedFile::Commit() {
  if (temp_.empty()) return false;
  const bool replaced = Sync(temp_, O_RDONLY) && ::rename(temp_.c_str(), destination_.c_str()) == 0;
  if (!replaced) {
    ReportReplaceFailure(errno, destination_);
    Discard();
    return false;
  }
  temp_.clear();
  // The new name must survive a crash as well as the data behind it.
  const fs::path folder = fs::path(destination_).parent_path();
  Sync(folder.empty() ? "." : folder.string(), O_RDONLY | O_DIRECTORY);
  return true;
}

void StagedFile::Discard() {
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace platform
