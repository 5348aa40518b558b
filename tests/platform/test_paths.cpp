// Where the program keeps its files: executable and application folders, temporary names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "platform/paths.h"
#include "tests/support/test_files.h"

using namespace platform;
using namespace testing_support;

namespace {

// prefix, four upper-case hexadecimal digits, ".tmp"
bool IsTempName(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (std::size_t i = prefix.size(); i < prefix.size() + 4; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i])) && (name[i] < 'A' || name[i] > 'F'))
      return false;
  return name.compare(prefix.size() + 4, 4, ".tmp") == 0;
}

}  // namespace

TEST(Paths, ExecutableAndApplicationFolders) {
  const std::string exe = ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "platform_test_paths");
  EXPECT_EQ(ExecutableDir(), exe.substr(0, exe.rfind('/')));

  TempDir dir;
  const std::string home = dir.File("home/deeper/");
  ASSERT_EQ(setenv("WAVELATHE_HOME", home.c_str(), 1), 0);
  const std::string app = ApplicationDir();
  unsetenv("WAVELATHE_HOME");
  EXPECT_EQ(app, std::filesystem::canonical(dir.File("home/deeper")).string());
  EXPECT_TRUE(std::filesystem::is_directory(app));
  // Without the override the (writable) executable folder is used.
  EXPECT_EQ(ApplicationDir(), ExecutableDir());
}

TEST(Paths, TemporaryNamesAreNewEmptyFilesInACreatedFolder) {
  TempDir dir;
  const std::string tmp = dir.File("app/tmp");
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    const std::string path = CreateTempFileName(tmp);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(path.substr(0, tmp.size() + 1), tmp + "/");
    const std::string name = path.substr(tmp.size() + 1);
    EXPECT_TRUE(IsTempName(name, "wav")) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 200u);
  // An existing name is never handed out again while the file exists.
  const std::string other = CreateTempFileName(tmp + "/", "cue");
  EXPECT_TRUE(IsTempName(other.substr(tmp.size() + 1), "cue")) << other;
  EXPECT_EQ(names.count(other), 0u);

  WriteFileBytes(dir.File("file"), {1});
  EXPECT_EQ(CreateTempFileName(dir.File("file")), "");
  EXPECT_EQ(CreateTempFileName(""), "");
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(tmp.c_str(), 0555), 0);
  EXPECT_TRUE(RunAsUnprivilegedUser([&] { return CreateTempFileName(tmp).empty(); }));
}

TEST(Paths, DeleteAndCanonicalForms) {
  TempDir dir;
  const std::string path = dir.File("x.tmp");
  WriteFileBytes(path, {1});
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_FALSE(DeleteFile(""));
  EXPECT_FALSE(DeleteFile(dir.path()));

  std::filesystem::create_directories(dir.File("a/b"));
  WriteFileBytes(dir.File("a/b/f"), {1});
  std::filesystem::create_symlink(dir.File("a/b"), dir.File("link"));
  const std::string real = std::filesystem::canonical(dir.path()).string();
  EXPECT_EQ(CanonicalPath(dir.File("link/../b/./f")), real + "/a/b/f");
  EXPECT_EQ(CanonicalPath(dir.File("a/missing/../x")), real + "/a/x");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(CanonicalPath("no-such-thing"), cwd + "/no-such-thing");
  EXPECT_EQ(CanonicalPath(""), "");
}
