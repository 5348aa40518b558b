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
    MusicTag tag;
    const char* ffprobe;  // its compact listing of the format tags
    const char* v1;       // TagLib's ID3v1: ASCII title|track|genre
    const char* back;     // our reader: title|artist|album|track|year|genre
  };
  const std::vector<Case> cases = {
      {{"中文标题", "歌手", "专辑", "3/12", "2024", "Rock"},
       "tag:album=专辑|tag:artist=歌手|tag:genre=Rock|tag:title=中文标题|tag:track=3|tag:date=2024",
       "|3|Rock",
       "中文标题|歌手|专辑|3|2024|Rock"},
      {{"Café Noir", "Plain", "", "12", "", "Trance"},
       "tag:artist=Plain|tag:genre=Trance|tag:title=Café Noir|tag:track=12",
       "|12|Trance",
       "Café Noir|Plain||12||Trance"},
      {{"Long", "", "", "300", "", ""}, "tag:title=Long|tag:track=300", "Long|0|", "Long|||300||"},
      {{"", "", "", "A1", "1999", ""}, "tag:date=1999", "|0|", "||||1999|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ffprobe);
    const std::string path = dir.File("tagged.mp3");
    std::filesystem::copy_file(plain, path, std::filesystem::copy_options::overwrite_existing);
    TagWithTagLib(path, 3, {{"TRCK", TagLib::String::Latin1, "5"}});
    ASSERT_TRUE(mp3codec::WriteId3Tags(path, c.tag));
    EXPECT_EQ(RunCommand("ffprobe -v error -show_entries format_tags -of compact=p=0 " +
                         ShellQuote(path)),
              std::string(c.ffprobe) + "\n");
    TagLib::MPEG::File file(path.c_str());
    ASSERT_TRUE(file.hasID3v2Tag() && file.hasID3v1Tag());
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), c.tag.title);
    EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 3u);
    const TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
    const bool ascii = std::all_of(c.tag.title.begin(), c.tag.title.end(),
                                   [](char ch) { return (ch & 0x80) == 0; });
    EXPECT_EQ((ascii ? v1->title().to8Bit() : "") + "|" + std::to_string(v1->track()) + "|" +
                  v1->genre().to8Bit(),
              c.v1);
    EXPECT_EQ(Mpg123Samples(path).size(), samples);  // the audio is untouched
    EXPECT_EQ(Show(Read(path)), c.back);
  }
  // A tag without any text leaves the file as it was.
  const std::vector<std::uint8_t> untagged = ReadFileBytes(plain);
  EXPECT_TRUE(mp3codec::WriteId3Tags(plain, MusicTag{}));
  EXPECT_EQ(ReadFileBytes(plain), untagged);
}

TEST(Id3Tags, HostileTagsAreReadAsFarAsTheyGoAndNeverRewritten) {
  TempDir dir;
  const std::vector<std::uint8_t> audio =
      ReadFileBytes(MakeMp3(dir, "a.mp3", "-b 64", 22050, 1, 0.3));
  // An ID3v2.3 header claiming `size` bytes, then `frames`.
  const auto v23 = [](std::uint32_t size, const std::string& frames, char flags = 0) {
    std::string tag = {'I', 'D', '3', 3, 0, flags};
    for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>(size >> shift & 0x7F);
    return tag + frames;
  };
  const std::string title("TIT2\0\0\0\x04\0\0\0abc", 14);
  const std::string claims_2gib("TPE1\0\0\0\x09\0\x80\x7f\xff\xff\xff\x78\x9c\x03\0\0", 19);
  const std::string runs_past("TALB\x10\0\0\0\0\0\0x", 12);
  const std::string v1 = "TAGsurvivor" + std::string(117, '\0');
  struct Case {
    std::string head;
    const char* title;  // what is still read
  };
  const std::vector<Case> cases = {
      {v23(200 << 20, title), "survivor"},    // more than any tag may hold
      {v23(33, title + claims_2gib), "abc"},  // a compressed frame claiming 2 GiB
      {v23(26, title + runs_past), "abc"},    // a frame running past the tag
      {v23(20, std::string("\x7f\xff\xff\xff", 4) + std::string(6, '\0'), 0x40),
       "survivor"},  // an extended header past the tag
      {std::string("ID3\x03\0\0\x80\x80\x80\x80", 10), "survivor"},  // not syncsafe
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    std::vector<std::uint8_t> bytes(c.head.begin(), c.head.end());
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    bytes.insert(bytes.end(), v1.begin(), v1.end());
    const std::string path = dir.File("hostile.mp3");
    WriteFileBytes(path, bytes);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(path).title, c.title);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(mp3codec::WriteId3Tags(path, {"new", "", "", "", "", ""}));
    EXPECT_EQ(ReadFileBytes(path), bytes);
  }
  if (!std::filesystem::exists(RealTestFile("excessive_alloc.mp3")))
    GTEST_SKIP() << "shared test data not found: " << RealTestFile("");
  // Unusual tags from the wild read as TagLib reads them.
  for (const char* name : {"excessive_alloc.mp3", "compressed_id3_frame.mp3", "extended-header.mp3",
                           "id3v22-tda.mp3"}) {
    SCOPED_TRACE(name);
    const MusicTag tag = Read(RealTestFile(name));
    TagLib::MPEG::File file(RealTestFile(name).c_str());
    ASSERT_TRUE(file.hasID3v2Tag());
    const TagLib::Tag* reference = file.ID3v2Tag();
    EXPECT_EQ(tag.title, reference->title().to8Bit(true));
    EXPECT_EQ(tag.artist, reference->artist().to8Bit(true));
    EXPECT_EQ(tag.year, reference->year() == 0 ? "" : std::to_string(reference->year()));
  }
}
