// An output written beside its destination under a temporary name and moved over it only when
// complete, so that a write that fails (a full disk) never destroys the file it was to replace.
//
// Begin finds the real destination (a symbolic link is followed to its target, which is
// replaced while the link stays) and creates an empty temporary file ".<name>-XXXX.<ext>" in
// the same folder, with the permission bits of the file it replaces. It refuses, creating
// nothing, when the destination is not a regular file or the folder takes no new file; the
// caller then writes the destination itself. Commit makes the temporary file durable and
// renames it over the destination, reporting a failure ("无法替换文件。 <reason> - <path>")
// and removing the temporary file; Discard removes it. An uncommitted StagedFile is discarded
// on destruction. A destination with other hard links is replaced under this name only.
#pragma once

#include <string>

namespace platform {

class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool Begin(const std::string& destination);
  // The temporary file to write ("" before Begin or after Commit/Discard).
  const std::string& path() const { return temp_; }
  bool Commit();
  void Discard();

 private:
  std::string destination_;
  std::string temp_;
};

}  // namespace platform
