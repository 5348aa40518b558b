// FileMap: read-only mappings, failures with their Windows error numbers, frame addressing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "platform/file_map.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/test_files.h"

using namespace platform;
using namespace testing_support;

TEST(FileMap, MapsReadOnlyFilesAndClosesCleanly) {
  TempDir dir;
  RecordingMessageBox boxes;
  const std::string path = dir.File("a.bin");
  WriteFileBytes(path, {1, 2, 3, 4, 5});
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  FileMap map;
  EXPECT_FALSE(map.IsOpen());
  ASSERT_TRUE(map.Open(path));
  ASSERT_NE(map.Base, nullptr);
  EXPECT_EQ(map.Size(), 5u);
  EXPECT_EQ(map.Base[0], 1);
  EXPECT_EQ(map.Base[4], 5);
  map.Close();
  EXPECT_EQ(map.Base, nullptr);
  EXPECT_EQ(map.Size(), 0u);
  map.Close();
  EXPECT_FALSE(map.IsOpen());

  // Opening again replaces the previous mapping; the file itself is never changed.
  const std::string other = dir.File("b.bin");
  WriteFileBytes(other, {9, 8});
  ASSERT_TRUE(map.Open(path));
  ASSERT_TRUE(map.Open(other));
  EXPECT_EQ(map.Size(), 2u);
  EXPECT_EQ(map.Base[0], 9);
  EXPECT_EQ(ReadFileBytes(path), (Bytes{1, 2, 3, 4, 5}));

  // An empty file maps to a valid address without bytes.
  const std::string empty = dir.File("empty");
  WriteFileBytes(empty, {});
  ASSERT_TRUE(map.Open(empty));
  EXPECT_NE(map.Base, nullptr);
  EXPECT_EQ(map.Size(), 0u);
  EXPECT_EQ(FramesInMap(map, 0, 4), 0);
  EXPECT_EQ(FrameAt(map, 0, 0, 4), nullptr);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(FileMap, FailuresShowTheirMessageAndLeaveTheMapClosed) {
  TempDir dir;
  RecordingMessageBox boxes;
  FileMap map;
  EXPECT_FALSE(map.Open(dir.File("missing")));
  EXPECT_FALSE(map.IsOpen());
  EXPECT_FALSE(map.Open(dir.path()));
  EXPECT_FALSE(map.Open(dir.File("missing/below")));
  ASSERT_EQ(boxes.Boxes().size(), 3u);
  EXPECT_EQ(boxes.Boxes()[0].kind, BoxKind::kPlain);
  EXPECT_EQ(boxes.Texts()[0], "OpenFile 失败。2");
  EXPECT_EQ(boxes.Texts()[1], "OpenFile 失败。5");
  EXPECT_EQ(boxes.Texts()[2], "OpenFile 失败。2");
  // A failed open starts the next one from a clean state.
  const std::string path = dir.File("ok");
  WriteFileBytes(path, {7});
  ASSERT_TRUE(map.Open(path));
  EXPECT_EQ(map.Base[0], 7);
  EXPECT_FALSE(map.Open(dir.File("missing")));
  EXPECT_FALSE(map.IsOpen());
  EXPECT_EQ(map.Size(), 0u);

  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string locked = dir.File("locked");
  WriteFileBytes(locked, {1});
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  EXPECT_TRUE(RunAsUnprivilegedUser([&] {
    RecordingMessageBox denied;
    FileMap lockedMap;
    return !lockedMap.Open(locked) &&
           denied.Texts() == std::vector<std::string>{"OpenFile 失败。5"};
  }));
}

TEST(FileMap, FrameAddressingIsBoundsCheckedAndOverflowSafe) {
  TempDir dir;
  // 44-byte header, 10 whole frames of 4 bytes and 3 stray bytes.
  Bytes bytes(44 + 40 + 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  WriteFileBytes(dir.File("c.wav"), bytes);
  FileMap map;
  EXPECT_EQ(FrameAt(map, 44, 0, 4), nullptr);
  EXPECT_EQ(FramesInMap(map, 44, 4), 0);
  ASSERT_TRUE(map.Open(dir.File("c.wav")));
  EXPECT_EQ(FramesInMap(map, 44, 4), 10);
  EXPECT_EQ(FrameAt(map, 44, 0, 4), map.Base + 44);
  EXPECT_EQ(*FrameAt(map, 44, 9, 4), 44 + 36);
  EXPECT_EQ(FrameAt(map, 44, 9, 4, 1), map.Base + 80);
  EXPECT_EQ(FrameAt(map, 44, 9, 4, 2), nullptr);
  EXPECT_EQ(FrameAt(map, 44, 0, 4, 10), map.Base + 44);
  EXPECT_EQ(FrameAt(map, 44, 0, 4, 11), nullptr);
  EXPECT_EQ(FrameAt(map, 44, 10, 4), nullptr);
  EXPECT_EQ(FrameAt(map, 44, -1, 4), nullptr);
  EXPECT_EQ(FrameAt(map, 44, 0, 0), nullptr);
  EXPECT_EQ(FrameAt(map, 44, 0, -4), nullptr);
  EXPECT_EQ(FrameAt(map, -1, 0, 4), nullptr);
  EXPECT_EQ(FrameAt(map, 44, 0, 4, -1), nullptr);
  EXPECT_EQ(FrameAt(map, 1000, 0, 4), nullptr);
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(FrameAt(map, 44, kMax, 4), nullptr);
  EXPECT_EQ(FrameAt(map, 44, kMax / 4, 4), nullptr);
  EXPECT_EQ(FrameAt(map, kMax, 0, 1), nullptr);
  EXPECT_EQ(FrameAt(map, 44, 5, 4, kMax), nullptr);
  EXPECT_EQ(FramesInMap(map, 87, 4), 0);
  EXPECT_EQ(FramesInMap(map, 80, 4), 1);
  EXPECT_EQ(FramesInMap(map, 44, 0), 0);
}
