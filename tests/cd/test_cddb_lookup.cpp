// Naming CD tracks: a disc image, a CDDB server on 127.0.0.1, and the lookup between them
// with its per-disc memory and its messages.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "cd/cddb_lookup.h"
#include "cd/disc_toc.h"
#include "cd/xmcd.h"
#include "tests/support/cddb_test_server.h"
#include "tests/support/disc_image.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/xmcd_records.h"

using namespace cd;
using namespace cd_testing;
using testing_support::RecordingMessageBox;
using testing_support::TempDir;

namespace {

// Points the lookup at `address` for the life of the object.
class ServerSetting {
 public:
  explicit ServerSetting(const std::string& address) {
    setenv("WAVELATHE_CDDB_SERVER", address.c_str(), 1);
  }
  ~ServerSetting() { unsetenv("WAVELATHE_CDDB_SERVER"); }
};

std::uint32_t DiscIdOf(const std::string& image) {
  std::uint32_t id = 0;
  EXPECT_TRUE(ComputeDiscIdForPath(TrackPath(image, 1), id));
  return id;
}

std::string RecordWithTitles(const std::string& album, const std::string& first,
                             const std::string& second) {
  std::string record = kMinimalRecord;
  record.replace(record.find("Some Album"), 10, album);
  record.replace(record.find("Opening"), 7, first);
  record.replace(record.find("Closing"), 7, second);
  return record;
}

}  // namespace

TEST(CddbLookup, TracksOfOneDiscCostOneQueryAndOneRead) {
  TempDir dir;
  const std::string discA = WriteDiscImage(dir, "a", {{true, 300}, {true, 200}});
  const std::string discB = WriteDiscImage(dir, "b", {{true, 600}, {true, 200}});
  ASSERT_NE(DiscIdOf(discA), DiscIdOf(discB));
  // Three matches for disc A: the first is read.
  CddbTestServer server(
      {{"rock", DiscIdOf(discA), "Band / First", RecordWithTitles("First", "Uno", "Dos")},
       {"jazz", DiscIdOf(discA), "Band / Second", RecordWithTitles("Second", "x", "y")},
       {"misc", DiscIdOf(discA), "Band / Third", kMinimalRecord},
       {"folk", DiscIdOf(discB), "Band / Other", RecordWithTitles("Other", "Eins", "Zwei")}});
  ServerSetting setting(server.Address());
  RecordingMessageBox boxes;
  CddbLookup lookup;
  const struct {
    std::string path;
    const char* tag;  // title|artist|album|track|year|genre
    int connections;
  } steps[] = {
      {TrackPath(discA, 2), "Dos|Some Artist|First|02|1999|Rock", 2},
      {TrackPath(discA, 1), "Uno|Some Artist|First|01|1999|Rock", 2},
      {TrackPath(discB, 1), "Eins|Some Artist|Other|01|1999|Rock", 4},
      {TrackPath(discA, 1), "Uno|Some Artist|First|01|1999|Rock", 6},  // only the last disc is kept
  };
  for (const auto& step : steps) {
    MusicTag t{"stale", "stale", "stale", "stale", "stale", "stale"};
    ASSERT_TRUE(lookup.TrackLookup(step.path, t)) << step.path;
    EXPECT_EQ(
        t.title + "|" + t.artist + "|" + t.album + "|" + t.track + "|" + t.year + "|" + t.genre,
        step.tag);
    EXPECT_EQ(server.Connections(), step.connections);
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST(CddbLookup, FailuresAreReportedOnceAndRememberedForTheDisc) {
  TempDir dir;
  const std::string disc = WriteDiscImage(dir, "disc", {{true, 300}, {true, 200}});
  std::string broken = kMinimalRecord;
  broken.erase(broken.find("DISCID"));
  CddbTestServer unknown({});
  CddbTestServer corrupt({{"rock", DiscIdOf(disc), "A / B", broken}});
  const std::string track = TrackPath(disc, 1);
  const struct {
    std::string server;
    std::string path;
    std::string message;
  } cases[] = {
      {unknown.Address(), TrackPath(dir.File("none.cue"), 1), "计算磁盘 ID 失败。"},
      {unknown.Address(), track,
       "联网向 CDDB 询问信息失败(需要网络连接)！ - 202 No match found.\r\n"},
      {"127.0.0.1:1", track, "联网向 CDDB 询问信息失败(需要网络连接)！ - "},
      {corrupt.Address(), track, "CDDB 读取失败。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    ServerSetting setting(c.server);
    RecordingMessageBox boxes;
    CddbLookup lookup;
    MusicTag tags{"stale", "", "", "", "", ""};
    EXPECT_FALSE(lookup.TrackLookup(c.path, tags));
    EXPECT_EQ(tags.title, "");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{c.message + " - " + c.path}));
    // The disc's second track is not asked about again.
    const int connections = unknown.Connections() + corrupt.Connections();
    const bool known = c.path == track;
    EXPECT_EQ(lookup.TrackLookup(TrackPath(disc, 2), tags), known);
    EXPECT_EQ(tags.title, "");
    EXPECT_EQ(boxes.Texts().size(), known ? 1u : 2u);
    EXPECT_EQ(unknown.Connections() + corrupt.Connections(), connections + (known ? 0 : 1));
  }
}
