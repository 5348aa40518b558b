// The table of contents of a disc and its CDDB disc id: images written here, read back
// against cd-info's view of the same image and libcddb's disc id.
#include <cddb/cddb.h>
#include <gtest/gtest.h>

#include <memory>

#include "cd/disc_toc.h"
#include "tests/support/disc_image.h"

using namespace cd;
using namespace cd_testing;
using testing_support::TempDir;

namespace {

// libcddb's disc id for the table cd-info reports.
std::uint32_t LibcddbDiscId(const std::vector<InfoTrack>& info) {
  std::unique_ptr<cddb_disc_t, decltype(&cddb_disc_destroy)> disc(cddb_disc_new(),
                                                                  cddb_disc_destroy);
  for (std::size_t i = 0; i + 1 < info.size(); ++i) {
    cddb_track_t* track = cddb_track_new();
    cddb_track_set_frame_offset(track, static_cast<int>(MsfFrames(info[i].msf)));
    cddb_disc_add_track(disc.get(), track);
  }
  cddb_disc_set_length(disc.get(), MsfFrames(info.back().msf) / 75);
  cddb_disc_calc_discid(disc.get());
  return cddb_disc_get_discid(disc.get());
}

}  // namespace

TEST(DiscToc, TablesAndIdsAgreeWithCdInfoAndLibcddb) {
  const struct {
    const char* name;
    std::vector<ImageTrack> tracks;
    bool sparse = false;
    std::uint32_t id = 0;  // when known beforehand
  } discs[] = {
      {"one_track", {{true, 1234}}},
      {"two_audio", {{true, 300}, {true, 451}}},
      {"audio_then_data", {{true, 400}, {true, 377}, {false, 300}}},
      {"data_then_audio", {{false, 300}, {true, 526}}},
      {"twelve_tracks",
       {{true, 75},
        {true, 76},
        {true, 149},
        {true, 150},
        {true, 1},
        {true, 4500},
        {true, 4499},
        {true, 2},
        {true, 300},
        {true, 10},
        {true, 88},
        {true, 1000}}},
      // Tracks at 00:02:00 and 03:10:20 with a lead-out at 06:00:00.
      {"known", {{true, 14120}, {true, 12730}}, true, 0x0c016602},
  };
  for (const auto& disc : discs) {
    SCOPED_TRACE(disc.name);
    TempDir dir;
    const std::string image = WriteDiscImage(dir, disc.name, disc.tracks, disc.sparse);
    const std::vector<InfoTrack> info = CdInfoTracks(image);
    ASSERT_EQ(info.size(), disc.tracks.size() + 1);
    DiscToc toc;
    ASSERT_TRUE(ReadDiscToc(toc, TrackPath(image, 1)));
    ASSERT_EQ(toc.size(), info.size());
    for (std::size_t i = 0; i < toc.size(); ++i) {
      EXPECT_EQ(Msf(FrameOffset(toc[i])), info[i].msf) << "entry " << i;
    }
    EXPECT_EQ(DiscLengthSeconds(toc), MsfFrames(info.back().msf) / 75);
    EXPECT_EQ(ComputeDiscId(toc), LibcddbDiscId(info));
    std::uint32_t id = 0;
    ASSERT_TRUE(ComputeDiscIdForPath(TrackPath(image, 2), id));
    EXPECT_EQ(id, LibcddbDiscId(info));
    if (disc.id != 0) {
      EXPECT_EQ(id, disc.id);
    }
  }
}

TEST(DiscToc, DrivesWithoutAUsableAudioTableGiveNoTable) {
  TempDir dir;
  const std::string data = WriteDiscImage(dir, "data", {{false, 300}, {false, 200}});
  const std::string audio = WriteDiscImage(dir, "audio", {{true, 300}});
  // A cue sheet whose second track starts after the end of its bin.
  std::ofstream(dir.File("beyond.cue")) << "FILE \"beyond.bin\" BINARY\n"
                                        << "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        << "  TRACK 02 AUDIO\n    INDEX 01 50:00:00\n";
  testing_support::WriteFileBytes(dir.File("beyond.bin"),
                                  testing_support::ReadFileBytes(dir.File("audio.bin")));
  const std::string paths[] = {
      TrackPath(data, 1),
      TrackPath(dir.File("beyond.cue"), 1),
      TrackPath(dir.File("missing.cue"), 1),
      TrackPath(dir.path(), 1),
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    DiscToc toc{{1, 2, 3}};
    EXPECT_FALSE(ReadDiscToc(toc, path));
    EXPECT_TRUE(toc.empty());
    std::uint32_t id = 7;
    EXPECT_FALSE(ComputeDiscIdForPath(path, id));
  }
}
