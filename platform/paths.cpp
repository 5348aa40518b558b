#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool EnsureDirectory(const std::string& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  return fs::is_directory(dir, ec);
}

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return "";
}

// $XDG_DATA_HOME/wavelathe, or ~/.local/share/wavelathe when it is unset or not absolute.
std::string UserDataDir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return WithoutTrailingSlash(xdg) + "/wavelathe";
  const std::string home = HomeDir();
  if (home.empty()) return "";
  return WithoutTrailingSlash(home) + "/.local/share/wavelathe";
}

// Starting point for the probe of free names; different in every call and process.
unsigned NameSeed() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return static_cast<unsigned>(now) ^ (static_cast<unsigned>(getpid()) << 8) ^ counter++;
}

}  // namespace

std::string ExecutablePath() {
  std::error_code ec;
  const fs::path path = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

std::string ExecutableDir() {
  const std::string path = ExecutablePath();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ApplicationDir() {
  if (const char* home = std::getenv("WAVELATHE_HOME"); home != nullptr && *home != '\0') {
    const std::string dir = WithoutTrailingSlash(CanonicalPath(home));
    EnsureDirectory(dir);
    return dir;
  }
  const std::string exeDir = ExecutableDir();
  if (!exeDir.empty() && ::access(exeDir.c_str(), W_OK | X_OK) == 0) return exeDir;
  const std::string dataDir = UserDataDir();
  if (dataDir.empty()) return exeDir;
  EnsureDirectory(dataDir);
  return dataDir;
}

std::string CreateTempFileName(const std::string& dir, const std::string& prefix,
                               const std::string& suffix) {
  if (dir.empty() || !EnsureDirectory(dir)) return "";
  const std::string base = WithoutTrailingSlash(dir) + "/" + prefix;
  // Four hexadecimal digits as the classic temporary names have; probe every value once.
  const unsigned seed = NameSeed();
  for (unsigned i = 0; i < 0x10000; ++i) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", (seed + i) & 0xFFFF);
    const std::string path = base + digits + suffix;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST && errno != EINTR) return "";
  }
  return "";
}

bool DeleteFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

std::string CanonicalPath(const std::string& path) {
  if (path.empty()) return "";
  std::error_code ec;
  fs::path result = fs::canonical(path, ec);
  if (ec) result = fs::absolute(path, ec).lexically_normal();
  return result.string();
}

}  // namespace platform
