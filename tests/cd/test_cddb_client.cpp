// The CDDB client against a CDDB server on 127.0.0.1 (checked once with libcddb, a real
// client): queries, reads, replies that arrive in pieces or never end, and the reply parsers
// on hostile text.
#include <cddb/cddb.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "cd/cddb_client.h"
#include "cd/xmcd.h"
#include "tests/support/cddb_test_server.h"
#include "tests/support/test_files.h"
#include "tests/support/xmcd_records.h"

using namespace cd;
using namespace cd_testing;

namespace {

const DiscToc kToc = {{0, 2, 0}, {3, 10, 20}, {6, 0, 0}};  // disc 0c016602
const std::string kLongExtd(20000, 'e');

std::vector<ServerDisc> Discs() {
  std::string longRecord = kMinimalRecord;
  longRecord.replace(longRecord.find("EXTD="), 5, "EXTD=" + kLongExtd);
  return {{"rock", 0x0c016602, "Some Artist / Some Album", kMinimalRecord},
          {"misc", 0x1f032c03, "Orquesta / Canciones", kRealisticRecord},
          {"jazz", 0x1f032c03, "Second Take", longRecord},
          {"blues", 0x1f032c03, "Third", kMinimalRecord}};
}

CddbServer Local(const CddbTestServer& server) {
  CddbServer s;
  s.host = "127.0.0.1";
  s.port = server.port();
  return s;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// Each match as "category id artist|title".
std::vector<std::string> MatchTexts(const std::vector<CddbMatch>& matches) {
  std::vector<std::string> texts;
  for (const CddbMatch& m : matches)
    texts.push_back(m.category + " " + Hex8(m.discId) + " " + m.artist + "|" + m.title);
  return texts;
}

// libcddb's query and read of disc 0c016602 on `server`.
std::unique_ptr<cddb_disc_t, decltype(&cddb_disc_destroy)> LibcddbRead(
    const CddbTestServer& server) {
  std::unique_ptr<cddb_conn_t, decltype(&cddb_destroy)> conn(cddb_new(), cddb_destroy);
  cddb_cache_disable(conn.get());
  cddb_http_enable(conn.get());
  cddb_set_server_name(conn.get(), "127.0.0.1");
  cddb_set_server_port(conn.get(), server.port());
  cddb_set_http_path_query(conn.get(), "/~cddb/cddb.cgi");
  std::unique_ptr<cddb_disc_t, decltype(&cddb_disc_destroy)> disc(cddb_disc_new(),
                                                                  cddb_disc_destroy);
  for (int offset : {150, 14270}) {
    cddb_track_t* track = cddb_track_new();
    cddb_track_set_frame_offset(track, offset);
    cddb_disc_add_track(disc.get(), track);
  }
  cddb_disc_set_length(disc.get(), 360);
  EXPECT_EQ(cddb_query(conn.get(), disc.get()), 1) << cddb_error_str(cddb_errno(conn.get()));
  EXPECT_EQ(cddb_read(conn.get(), disc.get()), 1) << cddb_error_str(cddb_errno(conn.get()));
  return disc;
}

}  // namespace

TEST(CddbClient, QueriesAndReadsAgreeWithLibcddbWholeOrInOneByteParts) {
  CddbTestServer server(Discs());
  const auto disc = LibcddbRead(server);
  std::vector<std::string> libcddbTitles;
  for (int i = 0; i < cddb_disc_get_track_count(disc.get()); ++i)
    libcddbTitles.push_back(cddb_track_get_title(cddb_disc_get_track(disc.get(), i)));
  ASSERT_EQ(libcddbTitles.size(), 2u);
  for (Delivery delivery : {Delivery::kWhole, Delivery::kBytewise}) {
    SCOPED_TRACE(static_cast<int>(delivery));
    server.SetDelivery(delivery);
    CddbClient client;
    std::vector<CddbMatch> matches;
    ASSERT_TRUE(client.Query(Local(server), 0x0c016602, kToc, matches));
    EXPECT_EQ(MatchTexts(matches),
              std::vector<std::string>{std::string(cddb_disc_get_category_str(disc.get())) + " " +
                                       Hex8(cddb_disc_get_discid(disc.get())) +
                                       " Some Artist|Some Album"});
    CddbDiscRecord record;
    ASSERT_TRUE(client.Read(Local(server), 0x0c016602, "rock", record));
    EXPECT_EQ(record.artist, cddb_disc_get_artist(disc.get()));
    EXPECT_EQ(record.title, cddb_disc_get_title(disc.get()));
    EXPECT_EQ(record.genre, cddb_disc_get_genre(disc.get()));
    EXPECT_EQ(record.year, static_cast<int>(cddb_disc_get_year(disc.get())));
    EXPECT_EQ(record.trackTitles, libcddbTitles);

    ASSERT_TRUE(client.Query(Local(server), 0x1f032c03, kToc, matches));
    EXPECT_EQ(MatchTexts(matches),
              (std::vector<std::string>{"misc 1f032c03 Orquesta|Canciones",
                                        "jazz 1f032c03 |Second Take", "blues 1f032c03 |Third"}));
    EXPECT_FALSE(client.Query(Local(server), 0x12345678, kToc, matches));
    EXPECT_EQ(client.lastReply, "202 No match found.\r\n");

    // A reply many times the 4096-byte step, and one from a category the server lacks.
    ASSERT_TRUE(client.Read(Local(server), 0x1f032c03, "jazz", record));
    EXPECT_EQ(record.extendedDiscData, kLongExtd);
    EXPECT_FALSE(client.Read(Local(server), 0x1f032c03, "folk", record));
    EXPECT_EQ(record.discId, 0x1f032c03u);
  }
}

TEST(CddbClient, MisbehavingServersFailWithinTheirLimits) {
  CddbTestServer server(Discs());
  const struct {
    Delivery delivery;
    double minSeconds, maxSeconds;
    std::string lastReplyStart;
    bool atLimit;
  } cases[] = {
      {Delivery::kSilent, 1.9, 3.5, "", false},
      {Delivery::kCloseEarly, 0, 1.0, "HTTP/1.0 200 OK", false},
      {Delivery::kEndless, 0, 0.9, "HTTP/1.0 200 OK\r\n\r\n210 rock", true},
      {Delivery::kTrickle, 0.9, 2.5, "HTTP/1.0 200 OK\r\n\r\n210 rock", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.delivery));
    server.SetDelivery(c.delivery);
    CddbClient client;
    client.replyDeadlineMs = 1000;
    if (c.delivery == Delivery::kSilent) client.replyDeadlineMs = 30000;
    const auto start = std::chrono::steady_clock::now();
    std::vector<CddbMatch> matches;
    EXPECT_FALSE(client.Query(Local(server), 0x1f032c03, kToc, matches));
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, c.minSeconds);
    EXPECT_LE(seconds, c.maxSeconds);
    EXPECT_EQ(client.lastReply.substr(0, c.lastReplyStart.size()), c.lastReplyStart);
    EXPECT_EQ(client.lastReply.size() == client.replyLimit, c.atLimit);
    EXPECT_TRUE(matches.empty());
  }
}

TEST(CddbClient, HelloNamesTheUserAndHostInUrlSafeBytes) {
  const std::pair<std::string, std::string> names[] = {{"operator", "operator"},
                                                       {"op erator", "op_erator"},
                                                       {"张三", "______"},
                                                       {"a.b-c~", "a_b_c_"},
                                                       {"", ""}};
  for (const auto& [raw, safe] : names) EXPECT_EQ(SanitizeHelloName(raw), safe) << raw;

  const auto sanitized = [](const std::string& command) {
    std::string out = testing_support::RunCommand(command + " | LC_ALL=C sed 's/[^A-Za-z0-9]/_/g'");
    return out.substr(0, out.find('\n'));
  };
  const std::string expected =
      "hello=" + sanitized("id -un") + "+" + sanitized("hostname") + "+Tonewright+2005&proto=5";
  CddbClient client;
  EXPECT_EQ(client.BuildHello(), expected);

  CddbTestServer server(Discs());
  std::vector<CddbMatch> matches;
  ASSERT_TRUE(client.Query(Local(server), 0x0c016602, kToc, matches));
  ASSERT_TRUE(client.Read(Local(server), 0x0c016602, "rock", *std::make_unique<CddbDiscRecord>()));
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n\r\n";
  EXPECT_EQ(requests[0], "GET /~cddb/cddb.cgi?cmd=cddb+query+0c016602+2+150+14270+360&" + expected +
                             " HTTP/1.0\r\n" + host);
  EXPECT_EQ(requests[1],
            "GET /~cddb/cddb.cgi?cmd=cddb+read+rock+0c016602&" + expected + " HTTP/1.0\r\n" + host);
}

TEST(CddbReplies, QueryBodiesGiveTheirMatchesWithArtistAndTitleSplit) {
  const struct {
    std::string body;
    bool ok;
    std::vector<std::string> matches;
    std::string lastReply;
  } cases[] = {
      {"200 rock 0c016602 Some Artist / Some Album",
       true,
       {"rock 0c016602 Some Artist|Some Album"},
       ""},
      {"200 rock 0c016602 Untitled\r\n", true, {"rock 0c016602 |Untitled"}, ""},
      {"200 rock 0c016602", false, {}, ""},
      {"200 rock   ", false, {}, ""},
      {"200 x", false, {}, "200 x"},
      {"211 close\r\nrock 0c016602 A / B\r\njunk\r\nclassical 0c016602 C\r\n",
       true,
       {"rock 0c016602 A|B", "classical 0c016602 |C"},
       ""},
      {"210 close\r\nmisc   1f032c03   AC/DC  \r\ndata ffffffff Title only\r\n"
       "soundtrack zz /\r\nrock 0c016602\r\n",
       true,
       {"misc 1f032c03 AC|DC", "data ffffffff |Title only", "soundtrack 00000000 |"},
       ""},
      {"211 none follow\r\n", false, {}, ""},
      {"202 No match found.\r\n", false, {}, "202 No match found.\r\n"},
      {"403 Database entry is corrupt.", false, {}, "403 Database entry is corrupt."},
      {"2a0 rock 0c016602 A", false, {}, "2a0 rock 0c016602 A"},
      {"", false, {}, ""},
  };
  for (const auto& c : cases) {
    std::vector<CddbMatch> matches{{"old", 1, "", ""}};
    std::string lastReply = "earlier";
    EXPECT_EQ(ParseQueryReply(c.body, matches, lastReply), c.ok) << c.body;
    EXPECT_EQ(MatchTexts(matches), c.matches) << c.body;
    EXPECT_EQ(lastReply, c.lastReply) << c.body;
  }
}

TEST(CddbReplies, ReadBodiesMustCarryACompleteRecord) {
  // A record is reset only when a record follows the status line.
  const struct {
    std::string body;
    bool ok;
    const char* genre;
  } cases[] = {
      {"210 rock 0c016602 CD database entry follows\r\n" + kMinimalRecord, true, "Rock"},
      {"210 rock 0c016602\n" + kMinimalRecord, true, "Rock"},
      {"210 no line end", false, "kept"},
      {"210 rock 0c016602\r\n# xmcd\r\nDTITLE=half a record\r\n", false, ""},
      {"401 rock 0c016602 No such CD entry in database.", false, "kept"},
      {"", false, "kept"},
  };
  for (const auto& c : cases) {
    CddbDiscRecord record;
    record.genre = "kept";
    std::string lastReply;
    EXPECT_EQ(ParseReadReply(c.body, record, lastReply), c.ok) << c.body;
    EXPECT_EQ(lastReply, c.ok ? "" : c.body);
    EXPECT_EQ(record.genre, c.genre);
  }
}
