// Track files: the ones a drive shows for its audio tracks (checked against cd-info's table),
// copied ones read as they are, the failures of reading them, and the drive folders made for
// the open dialog.
#include <gtest/gtest.h>

#include <filesystem>

#include "cd/disc_toc.h"
#include "cd/track_file.h"
#include "platform/byte_order.h"
#include "platform/cdrom/audio_drives.h"
#include "platform/cdrom/track_path.h"
#include "tests/support/disc_image.h"
#include "tests/support/recording_message_box.h"

using namespace cd;
using namespace cd_testing;
using platform::LoadLe16;
using testing_support::ReadFileBytes;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

const std::vector<ImageTrack> kMixedDisc = {{true, 300}, {true, 451}, {false, 200}, {true, 99}};

std::vector<std::uint8_t> TrackFileOf(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(platform::cdrom::ReadTrackFileBytes(path, bytes), 0) << path;
  return bytes;
}

}  // namespace

TEST(TrackFile, DriveShowsOneRiffFilePerAudioTrackMatchingCdInfo) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "mixed", kMixedDisc);
  const std::vector<InfoTrack> info = CdInfoTracks(image);
  ASSERT_EQ(info.size(), kMixedDisc.size() + 1);
  for (std::size_t i = 0; i < kMixedDisc.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string path = TrackPath(image, static_cast<int>(i + 1));
    if (info[i].type != "audio") {
      RecordingMessageBox boxes;
      TrackExtent extent;
      EXPECT_FALSE(ReadTrackFile(path, extent));
      EXPECT_EQ(boxes.Texts(),
                (std::vector<std::string>{"无法打开文件，因为 文件不存在。 - " + path}));
      continue;
    }
    const std::vector<std::uint8_t> file = TrackFileOf(path);
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(LoadLe16(&file[22]), info[i].number);
    const std::uint32_t count = info[i + 1].lsn - info[i].lsn;
    EXPECT_EQ(Msf(MsfFrames(info[i].msf)), Msf(file[38] * 4500u + file[37] * 75u + file[36]));
    EXPECT_EQ(Msf(count), Msf(file[42] * 4500u + file[41] * 75u + file[40]));
    TrackExtent extent;
    ASSERT_TRUE(ReadTrackFile(path, extent));
    EXPECT_EQ(extent.firstSector, info[i].lsn);
    EXPECT_EQ(extent.sectorCount, count);
  }
}

TEST(TrackFile, CopiedFilesAreReadAsTheyAreFromTheirTwoValues) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "disc", kMixedDisc);
  const std::vector<std::uint8_t> shown = TrackFileOf(TrackPath(image, 2));
  std::vector<std::uint8_t> foreign(36, 0xEE);  // no RIFF header at all
  platform::StoreLe32(&foreign[28], 123456);
  platform::StoreLe32(&foreign[32], 0xFFFFFFFF);
  const struct {
    std::vector<std::uint8_t> bytes;
    std::uint32_t first, count;
    std::int64_t durationMs;
  } cases[] = {{shown, 300, 451, 6013}, {foreign, 123456, 0xFFFFFFFF, 57266230600}};
  for (const auto& c : cases) {
    const std::string path = dir.File("copy/Track07.cda");
    std::filesystem::create_directories(dir.File("copy"));
    WriteFileBytes(path, c.bytes);
    TrackExtent extent;
    ASSERT_TRUE(ReadTrackFile(path, extent));
    EXPECT_EQ(extent.firstSector, c.first);
    EXPECT_EQ(extent.sectorCount, c.count);
    EXPECT_EQ(TrackDurationMs(extent), c.durationMs);
    EXPECT_EQ(ReadFileBytes(path), c.bytes);
  }
}

TEST(TrackFile, FailuresNameTheirCause) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "disc", {{true, 300}, {true, 200}});
  std::ofstream(dir.File("bad.cue")) << "FILE \"bad.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                     << "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                                     << "    INDEX 01 40:00:00\n";
  WriteFileBytes(dir.File("bad.bin"), std::vector<std::uint8_t>(2352 * 10));
  WriteFileBytes(dir.File("noimage.cue"), {'x'});
  WriteFileBytes(dir.File("short.cda"), std::vector<std::uint8_t>(35, 1));
  std::filesystem::create_directories(dir.File("folder.cda"));
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {dir.File("missing.cda"), "无法打开文件，因为 文件不存在。"},
      {dir.File("folder.cda"), "无法打开文件，因为 它是一个文件夹。"},
      {dir.File("short.cda"), "无法搜索/读取文件，因为 文件太短。"},
      {TrackPath(image, 3), "无法打开文件，因为 文件不存在。"},
      {TrackPath(dir.File("bad.cue"), 1), "无法打开文件，因为 光盘的目录无效。"},
      {TrackPath(dir.File("noimage.cue"), 1), "无法打开文件，因为 驱动器中没有可读的光盘。"},
  };
  for (const auto& c : cases) {
    RecordingMessageBox boxes;
    TrackExtent extent;
    EXPECT_FALSE(ReadTrackFile(c.path, extent)) << c.path;
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{c.message + " - " + c.path}));
    EXPECT_EQ(boxes.Flashes(), 1);
  }
}

TEST(AudioDrives, SideBarFolderHoldsTheAudioTracksAndLeadsBackToItsDrive) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "mixed", kMixedDisc);
  const std::string dataOnly = WriteDiscImage(dir, "data", {{false, 100}});
  EXPECT_FALSE(platform::cdrom::DescribeAudioDrive(dataOnly).has_value());
  EXPECT_FALSE(platform::cdrom::DescribeAudioDrive(dir.File("none.cue")).has_value());
  const auto drive = platform::cdrom::DescribeAudioDrive(image);
  ASSERT_TRUE(drive.has_value());
  EXPECT_EQ(drive->name, "mixed.cue");
  EXPECT_EQ(drive->trackFiles,
            (std::vector<std::string>{"Track01.cda", "Track02.cda", "Track04.cda"}));

  // An earlier disc's track that this disc lacks disappears from the folder.
  std::filesystem::create_directories(dir.File("side/mixed.cue"));
  WriteFileBytes(dir.File("side/mixed.cue/Track03.cda"), std::vector<std::uint8_t>(44));
  const std::string folder = platform::cdrom::MaterializeDriveFolder(*drive, dir.File("side"));
  ASSERT_EQ(folder, dir.File("side/mixed.cue"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/Track03.cda"));
  for (int position : {1, 2, 4}) {
    const std::string copy = TrackPath(folder, position);
    EXPECT_EQ(ReadFileBytes(copy), TrackFileOf(TrackPath(image, position)));
    EXPECT_EQ(platform::cdrom::DriveOfTrackPath(copy), image);
  }
  DiscToc fromFolder, fromImage;
  ASSERT_TRUE(ReadDiscToc(fromFolder, TrackPath(folder, 4)));
  ASSERT_TRUE(ReadDiscToc(fromImage, TrackPath(image, 1)));
  EXPECT_EQ(fromFolder, fromImage);
}
