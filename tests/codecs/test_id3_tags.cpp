// ID3 tags: read from files tagged by TagLib and ffmpeg, written tags read back by ffprobe and
// TagLib, and hostile tags.
#include <gtest/gtest.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/mp3/id3_tags.h"
#include "tests/support/mp3_media.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

struct Frame {
  const char* id;
  TagLib::String::Type encoding;
  std::string text;  // UTF-8, or the raw bytes for Latin1
};

// Tags `path` with TagLib: ID3v2 frames in version `version` (0: none), and an ID3v1 tag
// from `v1` when its title is set (genre by name).
void TagWithTagLib(const std::string& path, int version, const std::vector<Frame>& frames,
                   const MusicTag& v1 = {}) {
  TagLib::MPEG::File file(path.c_str());
  int kinds = 0;
  if (version != 0) {
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    for (const Frame& f : frames) {
      auto* frame = new TagLib::ID3v2::TextIdentificationFrame(f.id, f.encoding);
      const bool raw = f.encoding == TagLib::String::Latin1;
      frame->setText(TagLib::String(f.text, raw ? TagLib::String::Latin1 : TagLib::String::UTF8));
      tag->addFrame(frame);
    }
    kinds |= TagLib::MPEG::File::ID3v2;
  }
  if (!v1.title.empty()) {
    TagLib::ID3v1::Tag* tag = file.ID3v1Tag(true);
    tag->setTitle(TagLib::String(v1.title, TagLib::String::Latin1));
    tag->setGenre(v1.genre);
    tag->setTrack(std::stoi(v1.track));
    tag->setYear(std::stoi(v1.year));
    kinds |= TagLib::MPEG::File::ID3v1;
  }
  file.save(kinds, TagLib::File::StripNone, version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3);
}

MusicTag Read(const std::string& path) {
  MusicTag tag;
  EXPECT_TRUE(mp3codec::ReadId3Tags(path, &tag)) << path;
  return tag;
}

std::string Show(const MusicTag& t) {
  return t.title + "|" + t.artist + "|" + t.album + "|" + t.track + "|" + t.year + "|" + t.genre;
}

bool IsAsciiText(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

std::string Gbk(const std::string& utf8) {
  return RunCommand("printf '%s' " + ShellQuote(utf8) + " | iconv -f UTF-8 -t GBK");
}

}  // namespace

TEST(Id3Tags, ReadsWhatOtherTaggersWrote) {
  TempDir dir;
  const std::string plain = MakeMp3(dir, "plain.mp3", "-b 96", 44100, 2, 0.5);
  using S = TagLib::String;
  struct Case {
    const char* name;
    int version;
    std::vector<Frame> frames;
    MusicTag v1;
    const char* expected;  // title|artist|album|track|year|genre
  };
  const std::vector<Case> cases = {
      {"utf16_v23",
       3,
       {{"TIT2", S::UTF16, "中文标题"},
        {"TPE1", S::UTF16, "歌手"},
        {"TRCK", S::Latin1, "3/12"},
        {"TCON", S::Latin1, "(17)"}},
       {},
       "中文标题|歌手||3/12||Rock"},
      {"utf8_v24",
       4,
       {{"TIT2", S::UTF8, "日本語のタイトル"},
        {"TDRC", S::UTF8, "2013-05-01"},
        {"TCON", S::UTF8, "Folk/Power Metal"}},
       {},
       "日本語のタイトル||||2013|Folk/Power Metal"},
      {"utf16be_v24",
       4,
       {{"TALB", S::UTF16BE, "专辑"}, {"TCON", S::UTF16BE, "31"}},
       {},
       "||专辑|||Trance"},
      {"gbk_in_latin1",
       3,
       {{"TIT2", S::Latin1, Gbk("老歌")}, {"TPE1", S::Latin1, "Caf\xE9"}},
       {},
       "老歌|Café||||"},
      {"v1_only", 0, {}, {Gbk("一首歌"), "", "", "7", "1999", "Rock"}, "一首歌|||7|1999|Rock"},
      {"v2_over_v1",
       3,
       {{"TIT2", S::Latin1, "From v2"}, {"TCON", S::Latin1, "(255)"}},
       {"From v1", "", "", "2", "1988", "Jazz"},
       "From v2|||2|1988|(255)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".mp3");
    std::filesystem::copy_file(plain, path);
    TagWithTagLib(path, c.version, c.frames, c.v1);
    EXPECT_EQ(Show(Read(path)), c.expected);
  }
  EXPECT_EQ(Show(Read(plain)), "|||||");
}

TEST(Id3Tags, WrittenTagsReadBackInFfprobeAndTagLib) {
  TempDir dir;
  const std::string plain = MakeMp3(dir, "plain.mp3", "-b 128", 44100, 2, 0.5);
  const std::size_t samples = Mpg123Samples(plain).size();
  struct Case {
    const char* name;
    MusicTag tag;
    const char* ffprobe;  // title, artist, album, track, date, genre as ffprobe lists them
    const char* v1;       // TagLib's ID3v1: title|track|genre
  };
  const std::vector<Case> cases = {
      {"chinese",
       {"中文标题", "歌手", "专辑", "3/12", "2024", "Rock"},
       "album=专辑|artist=歌手|genre=Rock|title=中文标题|track=3|date=2024",
       "|3|Rock"},
      {"latin",
       {"Café Noir", "Plain", "", "12", "", "Trance"},
       "artist=Plain|genre=Trance|title=Café Noir|track=12",
       "|12|Trance"},
      {"track_above_255", {"Long", "", "", "300", "", ""}, "title=Long|track=300", "Long|0|"},
      {"track_text_removes", {"", "", "", "A1", "1999", ""}, "date=1999", "|0|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".mp3");
    std::filesystem::copy_file(plain, path);
    TagWithTagLib(path, 3, {{"TRCK", TagLib::String::Latin1, "5"}});
    ASSERT_TRUE(mp3codec::WriteId3Tags(path, c.tag));
    std::string listed = RunCommand("ffprobe -v error -show_entries format_tags -of compact=p=0 " +
                                    ShellQuote(path));
    while (!listed.empty() && listed.back() == '\n') listed.pop_back();
    std::string expected = c.ffprobe;
    for (std::size_t at = 0; (at = expected.find('|', at)) != std::string::npos; ++at)
      expected.replace(at, 1, "|tag:");
    EXPECT_EQ(listed, "tag:" + expected);
    TagLib::MPEG::File file(path.c_str());
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    ASSERT_NE(v2, nullptr);
    EXPECT_EQ(v2->title().to8Bit(true), c.tag.title);
    EXPECT_EQ(v2->header()->majorVersion(), 3u);
    TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
    ASSERT_NE(v1, nullptr);
    const std::string v1_title = IsAsciiText(c.tag.title) ? v1->title().to8Bit(true) : "";
    EXPECT_EQ(v1_title + "|" + std::to_string(v1->track()) + "|" + v1->genre().to8Bit(true), c.v1);
    // The audio is untouched and our own reader gives the tag back.
    EXPECT_EQ(Mpg123Samples(path).size(), samples);
    MusicTag normal = c.tag;
    normal.track = normal.track == "3/12" ? "3" : normal.track == "A1" ? "" : normal.track;
    EXPECT_EQ(Show(Read(path)), Show(normal));
  }
  // A tag without any text leaves the file as it was.
  const std::string untouched = dir.File("untouched.mp3");
  std::filesystem::copy_file(plain, untouched);
  EXPECT_TRUE(mp3codec::WriteId3Tags(untouched, MusicTag{}));
  EXPECT_EQ(ReadFileBytes(untouched), ReadFileBytes(plain));
}

TEST(Id3Tags, HostileTagsAreReadAsFarAsTheyGoAndNeverRewritten) {
  TempDir dir;
  const std::vector<std::uint8_t> audio =
      ReadFileBytes(MakeMp3(dir, "a.mp3", "-b 64", 22050, 1, 0.3));
  std::vector<std::uint8_t> v1(128, 0);
  std::memcpy(v1.data(), "TAGsurvivor", 11);
  const auto with_head = [&](std::vector<std::uint8_t> head) {
    head.insert(head.end(), audio.begin(), audio.end());
    head.insert(head.end(), v1.begin(), v1.end());
    return head;
  };
  // ID3v2.3 header claiming `size` bytes (syncsafe), then `frames`.
  const auto v23 = [](std::uint32_t size, std::vector<std::uint8_t> frames,
                      std::uint8_t flags = 0) {
    std::vector<std::uint8_t> tag = {'I', 'D', '3', 3, 0, flags};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(size >> shift & 0x7F);
    frames.insert(frames.begin(), tag.begin(), tag.end());
    return frames;
  };
  const std::vector<std::uint8_t> title = {'T', 'I', 'T', '2', 0, 0, 0, 4, 0, 0, 0, 'a', 'b', 'c'};
  std::vector<std::uint8_t> huge_claim = title;  // a compressed frame claiming 2 GiB
  huge_claim.insert(huge_claim.end(), {'T', 'P', 'E', '1', 0, 0, 0, 9, 0, 0x80, 0x7F, 0xFF, 0xFF,
                                       0xFF, 0x78, 0x9C, 3, 0, 0});
  std::vector<std::uint8_t> overrun = title;  // a frame running past the tag
  overrun.insert(overrun.end(), {'T', 'A', 'L', 'B', 0x10, 0, 0, 0, 0, 0, 0, 'x'});
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* title;  // what is still read
  };
  const std::vector<Case> cases = {
      {"beyond_file", with_head(v23(200 << 20, title)), "survivor"},
      {"compressed_2gib", with_head(v23(static_cast<std::uint32_t>(huge_claim.size()), huge_claim)),
       "abc"},
      {"frame_overrun", with_head(v23(static_cast<std::uint32_t>(overrun.size()), overrun)), "abc"},
      {"extended_header_overrun",
       with_head(v23(20, {0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, 0x40)), "survivor"},
      {"bad_size_bytes", with_head({'I', 'D', '3', 3, 0, 0, 0x80, 0x80, 0x80, 0x80}), "survivor"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".mp3");
    WriteFileBytes(path, c.bytes);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(path).title, c.title);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(mp3codec::WriteId3Tags(path, {"new", "", "", "", "", ""}));
    EXPECT_EQ(ReadFileBytes(path), c.bytes);
  }
  if (!std::filesystem::exists(RealTestFile("excessive_alloc.mp3")))
    GTEST_SKIP() << "shared test data not found: " << RealTestFile("");
  // Unusual tags from the wild read as TagLib reads them.
  for (const char* name : {"excessive_alloc.mp3", "compressed_id3_frame.mp3", "extended-header.mp3",
                           "id3v22-tda.mp3"}) {
    SCOPED_TRACE(name);
    const MusicTag tag = Read(RealTestFile(name));
    TagLib::MPEG::File file(RealTestFile(name).c_str());
    const TagLib::Tag* reference = file.ID3v2Tag();
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(tag.title, reference->title().to8Bit(true));
    EXPECT_EQ(tag.artist, reference->artist().to8Bit(true));
    EXPECT_EQ(tag.year, reference->year() == 0 ? "" : std::to_string(reference->year()));
  }
}
