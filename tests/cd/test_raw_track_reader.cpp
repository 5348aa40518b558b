// Reading a track's raw sectors from a disc image: exactly the samples the image holds, in
// reads of at most 16 sectors, and clean failures for sectors the disc does not have.
#include <gtest/gtest.h>

#include <span>

#include "cd/raw_track_reader.h"
#include "cd/track_file.h"
#include "tests/support/disc_image.h"
#include "tests/support/recording_message_box.h"

using namespace cd;
using namespace cd_testing;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;

namespace {

struct ReadResult {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> chunkSectors;
  bool opened = false;
  bool failed = false;
};

ReadResult ReadTrack(const std::string& path, const TrackExtent& extent) {
  ReadResult result;
  RawTrackReader reader;
  result.opened = reader.Open(path, extent);
  std::span<const std::uint8_t> chunk;
  while (result.opened && reader.ReadNext(chunk)) {
    result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.end());
    result.chunkSectors.push_back(chunk.size() / kSectorBytes);
  }
  result.failed = reader.Failed();
  return result;
}

}  // namespace

TEST(RawTrackReader, ReadsEachTrackExactlyAsTheImageHoldsIt) {
  TempDir dir;
  // Lengths around the 16-sector read size, and a data track in between.
  const std::string image =
      WriteDiscImage(dir, "disc", {{true, 16}, {true, 33}, {false, 20}, {true, 1}, {true, 47}});
  const struct {
    int position;
    std::uint32_t first, count;
    std::vector<std::size_t> chunks;
  } tracks[] = {
      {1, 0, 16, {16}}, {2, 16, 33, {16, 16, 1}}, {4, 69, 1, {1}}, {5, 70, 47, {16, 16, 15}}};
  RecordingMessageBox boxes;
  for (const auto& t : tracks) {
    SCOPED_TRACE(t.position);
    const std::string path = TrackPath(image, t.position);
    TrackExtent extent;
    ASSERT_TRUE(ReadTrackFile(path, extent));
    EXPECT_EQ(extent.firstSector, t.first);
    EXPECT_EQ(extent.sectorCount, t.count);
    const ReadResult read = ReadTrack(path, extent);
    EXPECT_FALSE(read.failed);
    EXPECT_EQ(read.chunkSectors, t.chunks);
    EXPECT_TRUE(read.bytes == ImageBytes(t.first, t.count));
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(RawTrackReader, SectorsBeyondTheDiscEndTheReadWithItsMessageEmptyTracksReadNothing) {
  TempDir dir;
  const std::string image = WriteDiscImage(dir, "disc", {{true, 40}});
  const std::string path = TrackPath(image, 1);
  const std::vector<std::string> message = {"DeviceIoControl 调用失败， LastError = 27. - " + path};
  const struct {
    TrackExtent extent;
    std::size_t goodSectors;
    bool failed;
  } cases[] = {
      {{0, 41}, 32, true},                    // the last read reaches one sector too far
      {{40, 1}, 0, true},                     // starts at the lead-out
      {{0xFFFFFFF0u, 0xFFFFFFFFu}, 0, true},  // a copied file naming sectors of another world
      {{2, 0}, 0, false},                     // an empty track reads nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extent.firstSector);
    RecordingMessageBox boxes;
    const ReadResult read = ReadTrack(path, c.extent);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.failed, c.failed);
    EXPECT_TRUE(read.bytes == ImageBytes(c.extent.firstSector, c.goodSectors));
    EXPECT_EQ(boxes.Texts(), c.failed ? message : std::vector<std::string>{});
  }
}
