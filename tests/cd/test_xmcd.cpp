// xmcd records: what a complete record must hold, how values are joined, split and
// unescaped, and the tags a track gets from its disc's record.
#include <gtest/gtest.h>

#include "cd/xmcd.h"
#include "tests/support/xmcd_records.h"

using namespace cd;
using cd_testing::kMinimalRecord;
using cd_testing::kRealisticRecord;

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace

TEST(Xmcd, RecordMissingARequiredPartIsRefused) {
  CddbDiscRecord record;
  ASSERT_TRUE(ParseXmcd(kMinimalRecord, record));
  const std::pair<std::string, std::string> removals[] = {
      {"# xmcd\n", "#\n"},
      {"#\t150\n#\t14270\n", ""},
      {"# Track frame offsets:\n", "#\n"},
      {"# Disc length: 360 seconds\n", ""},
      {"# Submitted via: Tonewright 2005 first edition\n", ""},
      {"# Submitted via: Tonewright 2005 first edition\n", "# Submitted via: Tonewright\n"},
      {"DISCID=0c016602\n", ""},
      {"DISCID=0c016602\n", "DISCID=c016602\n"},
      {"DTITLE=Some Artist / Some Album\n", ""},
      {"EXTT1=\n", ""},
      {"TTITLE1=Closing\n", "TTITLE1=Closing\nTTITLE2=Encore\n"},
  };
  for (const auto& [part, replacement] : removals) {
    EXPECT_FALSE(ParseXmcd(Replace(kMinimalRecord, part, replacement), record)) << part;
  }
  // Optional parts may go.
  for (const char* part :
       {"# Revision: 3\n", "DYEAR=1999\n", "DGENRE=Rock\n", "EXTD=\n", "PLAYORDER=\n"}) {
    EXPECT_TRUE(ParseXmcd(Replace(kMinimalRecord, part, ""), record)) << part;
  }
}

TEST(Xmcd, RealisticRecordIsJoinedSplitAndUnescaped) {
  CddbDiscRecord record;
  ASSERT_TRUE(ParseXmcd(kRealisticRecord, record));
  EXPECT_EQ(record.trackFrameOffsets, (std::vector<std::int32_t>{150, 18690, 40132}));
  EXPECT_EQ(record.discLengthSeconds, 812);
  EXPECT_EQ(record.revision, 12);
  EXPECT_EQ(record.clientName, "ExampleRipper");
  EXPECT_EQ(record.clientVersion, "4.2.1");
  EXPECT_EQ(record.clientComment, "");
  EXPECT_EQ(record.discId, 0x1f032c03u);
  EXPECT_EQ(record.artist, "Orquesta Café Niño");
  EXPECT_EQ(record.title, "Canciones del 海 (Edición especial, remasterizada en 2004)");
  EXPECT_EQ(record.year, 2004);
  EXPECT_EQ(record.genre, "Latin");
  EXPECT_EQ(record.trackTitles,
            (std::vector<std::string>{"Mañana", "海の歌 (part one and part two)",
                                      "Final: \\\"Adiós\\\""}));
  EXPECT_EQ(record.extendedDiscData, "Recorded live.\nMixed in Madrid.\tYEAR: 2004 ID3G: 86");
  EXPECT_EQ(record.extendedTrackData, (std::vector<std::string>{"", "Lyrics: C:\\Songs", ""}));
  EXPECT_EQ(record.playOrder, (std::vector<std::int32_t>{3, 1, 2}));

  // The same record with plain line feeds reads the same.
  CddbDiscRecord unix;
  std::string lf = kRealisticRecord;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  ASSERT_TRUE(ParseXmcd(lf, unix));
  EXPECT_EQ(unix.trackTitles, record.trackTitles);
  EXPECT_EQ(unix.title, record.title);
}

TEST(Xmcd, KeyValuesAndCommentsFollowTheirRules) {
  const struct {
    const char* line;
    const char* key;
    const char* value;
  } pairs[] = {
      {"TTITLE0=Line\\nbreak", "TTITLE0", "Line\nbreak"},
      {"EXTD=a\\\\b", "EXTD", "a\\b"},
      {"EXTD=tab\\there", "EXTD", "tab\there"},
      {"EXTD=a\\\\nb", "EXTD", "a\\\nb"},  // "\n" is undone before "\\"
      {"DTITLE=x=y", "DTITLE", "x=y"},
  };
  for (const auto& p : pairs) {
    std::string key, value;
    ASSERT_TRUE(SplitKeyValue(p.line, key, value)) << p.line;
    EXPECT_EQ(key, p.key);
    EXPECT_EQ(value, p.value) << p.line;
  }
  std::string key, value;
  EXPECT_FALSE(SplitKeyValue("no separator", key, value));

  const std::pair<const char*, const char*> comments[] = {
      {"#  Disc length: 10  ", "Disc length: 10"}, {"#a", ""}, {"#\tab", "ab"}};
  for (const auto& [line, text] : comments) {
    std::string comment = "old";
    ASSERT_TRUE(ExtractComment(line, comment));
    EXPECT_EQ(comment, text) << line;
  }
  std::string comment;
  EXPECT_FALSE(ExtractComment(" # not a comment", comment));
}

TEST(Xmcd, ListsAndNumbersFromTheRecordBody) {
  const struct {
    const char* lines;
    std::vector<std::string> titles;
    std::vector<std::int32_t> playOrder;
    std::uint32_t discId;
  } cases[] = {
      {"TTITLE3=Part one\nTTITLE3= and part two\n",
       {"", "", "", "Part one and part two"},
       {},
       0x0c016602},
      {"TTITLE-1=negative\nTTITLE99999999999=huge\nTTITLE99=beyond a disc\nTTITLE0=kept\n",
       {"kept"},
       {},
       0x0c016602},
      {"PLAYORDER=3,,1,\n", {}, {3, 0, 1}, 0x0c016602},
      {"DISCID=ffffffff0c016602\n", {}, {}, 0x0c016602},
  };
  const std::string head = kMinimalRecord.substr(0, kMinimalRecord.find("DISCID"));
  for (const auto& c : cases) {
    std::string text = head + "DISCID=0c016602\nDTITLE=Some Artist / Some Album\n" + c.lines;
    // Track lists need their extended data to match.
    for (std::size_t i = 0; i < c.titles.size(); ++i) text += "EXTT" + std::to_string(i) + "=\n";
    CddbDiscRecord record;
    ASSERT_TRUE(ParseXmcd(text, record)) << c.lines;
    EXPECT_EQ(record.trackTitles, c.titles) << c.lines;
    EXPECT_EQ(record.playOrder, c.playOrder) << c.lines;
    EXPECT_EQ(record.discId, c.discId) << c.lines;
  }
  CddbDiscRecord record;
  ASSERT_TRUE(ParseXmcd(Replace(kMinimalRecord, "Some Artist / Some Album", "Some Album"), record));
  EXPECT_EQ(record.artist, "Some Album");
  EXPECT_EQ(record.title, "Some Album");
}

TEST(Xmcd, TrackTagsComeFromTheDiscRecordAsValidUtf8) {
  CddbDiscRecord realistic;
  ASSERT_TRUE(ParseXmcd(kRealisticRecord, realistic));
  // A server speaking ISO-8859-1 (protocol levels below 6), and a record without a year.
  CddbDiscRecord latin;
  latin.artist = "Caf\xE9";
  latin.trackTitles = {"Ni\xF1o \xC3"};
  latin.genre = "\xFF";
  const std::string album = "|Canciones del 海 (Edición especial, remasterizada en 2004)|";
  const struct {
    const CddbDiscRecord& record;
    const char* number;
    std::string tag;  // title|artist|album|track|year|genre
  } tracks[] = {
      {realistic, "02",
       "海の歌 (part one and part two)|Orquesta Café Niño" + album + "02|2004|Latin"},
      {realistic, "01", "Mañana|Orquesta Café Niño" + album + "01|2004|Latin"},
      {realistic, "00", "|Orquesta Café Niño" + album + "00|2004|Latin"},
      {realistic, "04", "|Orquesta Café Niño" + album + "04|2004|Latin"},
      {latin, "01", "Niño Ã|Café||01|0|ÿ"},
  };
  for (const auto& t : tracks) {
    MusicTag tags;
    FillTags(t.record, t.number, tags);
    EXPECT_EQ(tags.title + "|" + tags.artist + "|" + tags.album + "|" + tags.track + "|" +
                  tags.year + "|" + tags.genre,
              t.tag);
  }
}
