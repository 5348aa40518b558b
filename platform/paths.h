// Where the program keeps its files.
//
// The application folder is the executable's folder; when that is not writable,
// $XDG_DATA_HOME/wavelathe (default ~/.local/share/wavelathe); WAVELATHE_HOME overrides both.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable ("" if it cannot be determined).
std::string ExecutablePath();
// Folder of the executable, without a trailing slash ("" if unknown).
std::string ExecutableDir();
// The application folder (created when missing), without a trailing slash.
std::string ApplicationDir();
// Creates a new, empty, uniquely named file "wavXXXX.tmp" (hexadecimal digits; `prefix` and
// `suffix` replace "wav" and ".tmp") in `dir`, creating `dir` when missing. Returns its full
// path, or "" when no file could be created.
std::string CreateTempFileName(const std::string& dir, const std::string& prefix = "wav",
                               const std::string& suffix = ".tmp");
// Deletes a file; true on success.
bool DeleteFile(const std::string& path);
// Canonical absolute form of an existing path, or the absolute spelling when it does not exist.
std::string CanonicalPath(const std::string& path);

}  // namespace platform
