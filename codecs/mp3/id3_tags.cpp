#include "codecs/mp3/id3_tags.h"

#include <id3/misc_support.h>
#include <id3/readers.h>
#include <id3/tag.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "codecs/mp3/id3v2_scan.h"
#include "codecs/mp3/text_encoding.h"

namespace mp3codec {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kV1Bytes = 128;
constexpr std::size_t kV1TextWidth = 30;
constexpr std::size_t kV1YearWidth = 4;
constexpr std::uint64_t kLargestTagRead = (std::uint64_t{64} << 20) + 20;

std::string TrimmedRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// A text frame's text as UTF-8. id3lib keeps UTF-16 as big-endian bytes whatever the file
// held.
std::string FrameText(const ID3_Tag& tag, ID3_FrameID id) {
  const ID3_Frame* frame = tag.Find(id);
  ID3_Field* field = frame != nullptr ? frame->GetField(ID3FN_TEXT) : nullptr;
  if (field == nullptr) return "";
  const ID3_TextEnc encoding = field->GetEncoding();
  if (encoding == ID3TE_UTF16 || encoding == ID3TE_UTF16BE) {
    const unicode_t* units = field->GetRawUnicodeText();
    if (units == nullptr) return "";
    std::size_t n = 0;
    while (n < field->Size() / sizeof(unicode_t) && units[n] != 0) ++n;
    return TrimmedRight(
        Utf16BeToUtf8(std::string_view(reinterpret_cast<const char*>(units), n * 2)));
  }
  const char* raw = field->GetRawText();
  return raw != nullptr ? TrimmedRight(LegacyToUtf8(raw)) : "";
}

std::string GenreName(int number) {
  const char* name =
      number >= 0 && number < ID3_NR_OF_V1_GENRES ? ID3_v1_genre_description[number] : nullptr;
  return name != nullptr ? TrimmedRight(name) : "";
}

// "(n)…" or a bare number n names an ID3v1 genre.
std::string GenreText(const std::string& text) {
  std::size_t digits_at = text.size() > 1 && text[0] == '(' ? 1 : 0;
  std::size_t end = digits_at;
  while (end < text.size() && end - digits_at < 4 &&
         std::isdigit(static_cast<unsigned char>(text[end])))
    ++end;
  const bool numbered = end > digits_at && (digits_at == 1 ? end < text.size() && text[end] == ')'
                                                           : end == text.size());
  if (!numbered) return text;
  const std::string name = GenreName(std::stoi(text.substr(digits_at, end - digits_at)));
  return name.empty() ? text : name;
}

MusicTag TagOf(const ID3_Tag& id3) {
  MusicTag tag;
  tag.title = FrameText(id3, ID3FID_TITLE);
  tag.artist = FrameText(id3, ID3FID_LEADARTIST);
  tag.album = FrameText(id3, ID3FID_ALBUM);
  tag.track = FrameText(id3, ID3FID_TRACKNUM);
  tag.year = FrameText(id3, ID3FID_YEAR);
  tag.genre = GenreText(FrameText(id3, ID3FID_CONTENTTYPE));
  return tag;
}

// The tag id3lib reads from `image` (one tag of the given type).
MusicTag TagFromImage(const std::uint8_t* image, std::size_t size, ID3_TagType type) {
  if (size == 0) return MusicTag{};
  try {
    ID3_MemoryReader reader(reinterpret_cast<const char*>(image), size);
    ID3_Tag id3;
    id3.Link(reader, type);
    return TagOf(id3);
  } catch (...) {
    return MusicTag{};
  }
}

// Fields of `primary`, the empty ones from `fallback`.
MusicTag Merged(MusicTag primary, const MusicTag& fallback) {
  for (auto [field, other] : {std::pair{&primary.title, &fallback.title},
                              {&primary.artist, &fallback.artist},
                              {&primary.album, &fallback.album},
                              {&primary.track, &fallback.track},
                              {&primary.year, &fallback.year},
                              {&primary.genre, &fallback.genre}})
    if (field->empty()) *field = *other;
  return primary;
}

// The two tags are read apart: id3lib merging an ID3v1 tag into UTF-16 frames garbles them.
MusicTag ReadTags(const Id3v2Scan& scan, const std::uint8_t* tail, std::size_t tail_size) {
  const bool has_v1 = tail_size == kV1Bytes && std::memcmp(tail, "TAG", 3) == 0;
  return Merged(TagFromImage(scan.clean_tag.data(), scan.clean_tag.size(), ID3TT_ID3V2),
                has_v1 ? TagFromImage(tail, tail_size, ID3TT_ID3V1) : MusicTag{});
}

// Start of an ID3v1 tag that does not overlap the ID3v2 tag, or `size` when there is none.
// A tag claiming more than the file holds does not hide the ID3v1 tag.
std::uint64_t TailStart(const Id3v2Scan& scan, std::uint64_t size) {
  const std::uint64_t head = scan.tag_bytes <= size ? scan.tag_bytes : 0;
  return size >= head + kV1Bytes ? size - kV1Bytes : size;
}

class File {
 public:
  File(const std::string& path, const char* mode) : file_(std::fopen(path.c_str(), mode)) {}
  ~File() {
    if (file_ != nullptr) std::fclose(file_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool open() const { return file_ != nullptr; }
  std::uint64_t Size() {
    return std::fseek(file_, 0, SEEK_END) == 0 ? static_cast<std::uint64_t>(std::ftell(file_)) : 0;
  }
  Bytes Read(std::uint64_t at, std::uint64_t n) {
    Bytes out(static_cast<std::size_t>(n));
    if (std::fseek(file_, static_cast<long>(at), SEEK_SET) != 0) return {};
    out.resize(std::fread(out.data(), 1, out.size(), file_));
    return out;
  }

 private:
  std::FILE* file_;
};

Id3v2Scan ScanFileHead(File& file, std::uint64_t size) {
  Bytes head = file.Read(0, std::min<std::uint64_t>(size, 10));
  const std::uint64_t tag_bytes = Id3v2TagBytes(head.data(), head.size());
  if (tag_bytes > 0 && tag_bytes <= kLargestTagRead) head = file.Read(0, std::min(tag_bytes, size));
  return ScanId3v2(head.data(), head.size(), size);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The leading decimal number of a track text ("3/12" → 3), as the classic integer parse reads
// it: optional blanks and sign, then digits.
std::optional<long> TrackNumber(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return std::nullopt;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  long value = 0;
  const std::size_t digits_at = i;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = std::min(value * 10 + (text[i] - '0'), 1000000000L);
  if (i == digits_at) return std::nullopt;
  return negative ? -value : value;
}

// The genre for ID3v1: a name of the ID3v1 list becomes "(n)" so that ID3v1 carries it.
std::string GenreForV1(const std::string& genre) {
  for (int n = 0; n < ID3_NR_OF_V1_GENRES; ++n) {
    const std::string name = GenreName(n);
    if (name.size() == genre.size() &&
        std::equal(name.begin(), name.end(), genre.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }))
      return std::string("(").append(std::to_string(n)).append(")");
  }
  return genre;
}

// Replaces the frames `id` with one holding `text`; an empty text changes nothing. For ID3v1
// (`v1_width` > 0) the text is GBK cut to the width.
void SetText(ID3_Tag& id3, ID3_FrameID id, const std::string& text, std::size_t v1_width) {
  if (text.empty()) return;
  while (ID3_Frame* old = id3.Find(id)) delete id3.RemoveFrame(old);
  auto frame = std::make_unique<ID3_Frame>(id);
  ID3_Field* encoding = frame->GetField(ID3FN_TEXTENC);
  ID3_Field* field = frame->GetField(ID3FN_TEXT);
  if (encoding == nullptr || field == nullptr) return;
  if (v1_width > 0 || IsAscii(text)) {
    const std::string bytes =
        IsAscii(text) ? text : std::string(GbkPrefix(Utf8ToGbk(text), v1_width));
    encoding->Set(static_cast<uint32>(ID3TE_ISO8859_1));
    field->SetEncoding(ID3TE_ISO8859_1);
    field->Set(bytes.c_str());
  } else {
    // id3lib takes UTF-16 as big-endian bytes and writes them with a byte-order mark.
    const std::string be = Utf8ToUtf16Be(text);
    std::vector<unicode_t> units(be.size() / 2 + 1, 0);
    std::memcpy(units.data(), be.data(), be.size());
    encoding->Set(static_cast<uint32>(ID3TE_UTF16));
    field->SetEncoding(ID3TE_UTF16);
    field->Set(units.data());
  }
  id3.AttachFrame(frame.release());
}

void SetFrames(ID3_Tag& id3, const MusicTag& tag, bool v1) {
  const std::size_t width = v1 ? kV1TextWidth : 0;
  SetText(id3, ID3FID_ALBUM, tag.album, width);
  SetText(id3, ID3FID_LEADARTIST, tag.artist, width);
  SetText(id3, ID3FID_CONTENTTYPE, v1 ? GenreForV1(tag.genre) : tag.genre, width);
  SetText(id3, ID3FID_TITLE, tag.title, width);
  const std::optional<long> track = TrackNumber(tag.track);
  if (track && *track >= 1 && (!v1 || *track <= 255)) {
    SetText(id3, ID3FID_TRACKNUM, std::to_string(*track), width);
  } else {
    ID3_RemoveTracks(&id3);
  }
  SetText(id3, ID3FID_YEAR, tag.year, v1 ? kV1YearWidth : 0);
}

// Writes the tag of `type` into the linked file, or removes it when no frame is left; a tag
// left as it was is not rewritten. True when the file holds the result.
bool Store(ID3_Tag& id3, ID3_TagType type) {
  if (id3.NumFrames() == 0) return !id3.HasTagType(type) || (id3.Strip(type) & type) != 0;
  return !id3.HasChanged() || (id3.Update(type) & type) != 0;
}

}  // namespace

bool ReadId3Tags(const std::string& path, MusicTag* tag) {
  File file(path, "rb");
  if (!file.open() || !IsRegularFile(path)) return false;
  const std::uint64_t size = file.Size();
  const Id3v2Scan scan = ScanFileHead(file, size);
  const std::uint64_t tail_at = TailStart(scan, size);
  const Bytes tail = file.Read(tail_at, size - tail_at);
  *tag = ReadTags(scan, tail.data(), tail.size());
  return true;
}

MusicTag ReadId3Tags(const std::uint8_t* data, std::size_t size) {
  const Id3v2Scan scan = ScanId3v2(data, size, size);
  const std::uint64_t tail_at = TailStart(scan, size);
  return ReadTags(scan, data + tail_at, static_cast<std::size_t>(size - tail_at));
}

bool WriteId3Tags(const std::string& path, const MusicTag& tag) {
  if (!IsRegularFile(path)) return false;
  {
    File file(path, "rb");
    if (!file.open() || ScanFileHead(file, file.Size()).state == Id3v2State::kRefused) return false;
  }
  try {
    ID3_Tag v2;
    v2.Link(path.c_str(), ID3TT_ID3V2);
    v2.SetSpec(ID3V2_3_0);
    SetFrames(v2, tag, false);
    if (!Store(v2, ID3TT_ID3V2)) return false;
    // ID3v1 gets the same fields in its own terms, the ones left empty from ID3v2.
    MusicTag v1_fields = Merged(tag, TagOf(v2));
    v1_fields.track = tag.track;
    ID3_Tag v1;
    v1.Link(path.c_str(), ID3TT_ID3V1);
    SetFrames(v1, v1_fields, true);
    return Store(v1, ID3TT_ID3V1);
  } catch (...) {
    return false;
  }
}

}  // namespace mp3codec
