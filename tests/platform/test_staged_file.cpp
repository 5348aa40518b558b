// Outputs written beside their destination and moved over it when complete.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/staged_file.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_files.h"

using testing_support::FilesIn;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

unsigned Mode(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions() & fs::perms::mask);
}

}  // namespace

// Commit puts the written bytes where the chosen name leads: a link stays a link and its
// target is replaced; a replaced file keeps its permissions; no temporary file is left.
TEST(StagedFile, CommitReplacesWhatTheNameLeadsTo) {
  struct Case {
    const char* what;
    std::function<void(const TempDir&)> setUp;
    const char* file;  // where the bytes must end up
    std::vector<std::string> names;
    unsigned mode;
  };
  const Case cases[] = {
      {"new file", [](const TempDir&) {}, "out.wav", {"out.wav"}, 0644},
      {"existing file",
       [](const TempDir& d) {
         WriteFileBytes(d.File("out.wav"), {9});
         fs::permissions(d.File("out.wav"), fs::perms(0640));
       },
       "out.wav",
       {"out.wav"},
       0640},
      {"link to a file",
       [](const TempDir& d) {
         WriteFileBytes(d.File("real.wav"), {9});
         fs::create_symlink("real.wav", d.File("out.wav"));
       },
       "real.wav",
       {"out.wav", "real.wav"},
       0644},
      {"link to a missing file",
       [](const TempDir& d) { fs::create_symlink(d.File("later.wav"), d.File("out.wav")); },
       "later.wav",
       {"later.wav", "out.wav"},
       0644},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    c.setUp(dir);
    const mode_t mask = umask(022);
    platform::StagedFile staged;
    ASSERT_TRUE(staged.Begin(dir.File("out.wav")));
    umask(mask);
    EXPECT_EQ(fs::path(staged.path()).parent_path(), fs::path(dir.path()));
    EXPECT_EQ(fs::path(staged.path()).extension(), ".wav");
    WriteFileBytes(staged.path(), {1, 2, 3});
    ASSERT_TRUE(staged.Commit());
    EXPECT_EQ(ReadFileBytes(dir.File(c.file)), (Bytes{1, 2, 3}));
    EXPECT_EQ(FilesIn(dir.path()), c.names);
    EXPECT_EQ(Mode(dir.File(c.file)), c.mode);
    EXPECT_EQ(fs::is_symlink(dir.File("out.wav")), std::string(c.file) != "out.wav");
  }
}

// A destination that is no regular file or lies in no folder is refused, and a rename that
// fails is reported; neither leaves a temporary file behind.
TEST(StagedFile, RefusalsAndAFailedRenameLeaveNothingBehind) {
  testing_support::RecordingMessageBox boxes;
  TempDir dir;
  platform::StagedFile device;
  EXPECT_FALSE(device.Begin("/dev/null"));
  fs::create_directory(dir.File("folder.wav"));
  platform::StagedFile folder;
  EXPECT_FALSE(folder.Begin(dir.File("folder.wav")));
  EXPECT_FALSE(folder.Begin(dir.File("missing/out.wav")));
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"folder.wav"});
  EXPECT_TRUE(boxes.Texts().empty());

  // Something that cannot be replaced by a file took the name meanwhile.
  platform::StagedFile late;
  ASSERT_TRUE(late.Begin(dir.File("late.wav")));
  fs::create_directory(dir.File("late.wav"));
  EXPECT_FALSE(late.Commit());
  const std::string reason = std::make_error_code(std::errc::is_a_directory).message();
  EXPECT_EQ(boxes.Texts(),
            std::vector<std::string>{"无法替换文件。 " + reason + " - " + dir.File("late.wav")});
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"folder.wav", "late.wav"}));
}
