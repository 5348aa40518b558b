#include "codecs/mp3/id3v2_scan.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "codecs/mp3/text_encoding.h"

namespace mp3codec {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeaderBytes = 10;
constexpr std::uint64_t kMaxTagBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t kMaxInflatedBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t kZlibMaxRatio = 1032;  // deflate cannot shrink data more than this

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
bool IsSyncsafe(const std::uint8_t* p) { return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0; }
std::uint32_t Syncsafe(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 21 | std::uint32_t{p[1]} << 14 | std::uint32_t{p[2]} << 7 | p[3];
}

// Undoes unsynchronisation: every 0xFF 0x00 pair loses its 0x00.
Bytes Resync(const std::uint8_t* p, std::size_t n) {
  Bytes out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(p[i]);
    if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0x00) ++i;
  }
  return out;
}

struct Frame {
  std::string id;
  std::uint8_t format_flags = 0;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

enum class Step { kFrame, kEnd, kOverrun };

Step NextFrame(const Bytes& body, std::size_t* pos, int major, Frame* frame) {
  const std::size_t id_bytes = major == 2 ? 3 : 4;
  const std::size_t header_bytes = major == 2 ? 6 : 10;
  if (body.size() - *pos < header_bytes) return Step::kEnd;
  const std::uint8_t* p = body.data() + *pos;
  for (std::size_t i = 0; i < id_bytes; ++i) {
    // Padding, or bytes no tagger writes as a frame: the frames end here.
    if (!((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9'))) return Step::kEnd;
  }
  std::size_t size = 0;
  if (major == 2) {
    size = std::size_t{p[3]} << 16 | std::size_t{p[4]} << 8 | p[5];
  } else if (major == 3 || !IsSyncsafe(p + 4)) {
    size = Be32(p + 4);  // 2.4 tags of some writers carry plain sizes
  } else {
    size = Syncsafe(p + 4);
  }
  if (size > body.size() - *pos - header_bytes) return Step::kOverrun;
  frame->id.assign(reinterpret_cast<const char*>(p), id_bytes);
  frame->format_flags = major == 2 ? 0 : p[9];
  frame->data = p + header_bytes;
  frame->size = size;
  *pos += header_bytes + size;
  return Step::kFrame;
}

// Where a frame's content starts and how it is stored.
struct Layout {
  std::size_t skip = 0;
  bool compressed = false;
  bool encrypted = false;
  bool unsync = false;
  std::uint64_t inflated = 0;
  bool readable = true;
};

Layout LayoutOf(const Frame& f, int major, bool tag_unsync) {
  Layout l;
  const std::uint8_t flags = f.format_flags;
  std::size_t length_at = 0;
  if (major == 3) {
    l.compressed = (flags & 0x80) != 0;
    l.encrypted = (flags & 0x40) != 0;
    l.skip = (l.compressed ? 4 : 0) + (l.encrypted ? 1 : 0) + ((flags & 0x20) ? 1 : 0);
  } else if (major == 4) {
    l.compressed = (flags & 0x08) != 0;
    l.encrypted = (flags & 0x04) != 0;
    l.unsync = (flags & 0x02) != 0 || tag_unsync;
    length_at = ((flags & 0x40) ? 1 : 0) + (l.encrypted ? 1 : 0);
    l.skip = length_at + ((flags & 0x01) ? 4 : 0);
    // Compression needs the data length that 2.4 puts in front of the content.
    l.readable = !l.compressed || (flags & 0x01) != 0;
  }
  if (l.skip > f.size) {
    l.readable = false;
    l.compressed = false;
  } else if (l.compressed && l.readable) {
    l.inflated = major == 3 ? Be32(f.data) : Syncsafe(f.data + length_at);
  }
  return l;
}

bool ClaimsTooMuch(const Layout& l, const Frame& f) {
  return l.compressed &&
         (l.inflated > kMaxInflatedBytes || l.inflated > (f.size - l.skip) * kZlibMaxRatio + 64);
}

std::optional<Bytes> Content(const Frame& f, const Layout& l) {
  if (!l.readable || l.encrypted) return std::nullopt;
  Bytes raw =
      l.unsync ? Resync(f.data + l.skip, f.size - l.skip) : Bytes(f.data + l.skip, f.data + f.size);
  if (!l.compressed) return raw;
  Bytes out(static_cast<std::size_t>(l.inflated));
  uLongf n = static_cast<uLongf>(out.size());
  if (uncompress(out.data(), &n, raw.data(), static_cast<uLong>(raw.size())) != Z_OK)
    return std::nullopt;
  out.resize(n);
  return out;
}

// The v2.3 frame a frame of this version is kept as, or null.
const char* KeptIdOf(int major, std::string_view id) {
  static constexpr std::pair<const char*, const char*> kV22[] = {{"TT2", "TIT2"}, {"TP1", "TPE1"},
                                                                 {"TAL", "TALB"}, {"TRK", "TRCK"},
                                                                 {"TYE", "TYER"}, {"TCO", "TCON"}};
  static constexpr const char* kV23[] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON"};
  if (major == 2) {
    for (const auto& [old_id, kept] : kV22)
      if (id == old_id) return kept;
    return nullptr;
  }
  if (major == 4 && id == "TDRC") return "TYER";
  for (const char* kept : kV23)
    if (id == kept) return kept;
  return nullptr;
}

// The first string of a text frame as UTF-8 (encodings 1–3) or as its 8-bit bytes (0).
std::optional<std::pair<bool, std::string>> FirstString(const Bytes& content) {
  if (content.empty() || content[0] > 3) return std::nullopt;
  const std::string_view text(reinterpret_cast<const char*>(content.data()) + 1,
                              content.size() - 1);
  const int encoding = content[0];
  if (encoding == 0 || encoding == 3) {
    const std::string_view first = text.substr(0, text.find('\0'));
    return std::pair{encoding == 0, encoding == 0 ? std::string(first) : ValidUtf8(first)};
  }
  std::size_t end = 0;
  while (end + 1 < text.size() && (text[end] != '\0' || text[end + 1] != '\0')) end += 2;
  std::string_view units = text.substr(0, end);
  bool big_endian = true;
  if (encoding == 1 && units.size() >= 2) {
    const auto a = static_cast<unsigned char>(units[0]);
    const auto b = static_cast<unsigned char>(units[1]);
    if ((a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF)) {
      big_endian = a == 0xFE;
      units.remove_prefix(2);
    }
  }
  return std::pair{false, big_endian ? Utf16BeToUtf8(units) : Utf16LeToUtf8(units)};
}

// The kept frame's content: the 8-bit bytes as found, or the text as UTF-16 with a BOM. A date
// keeps its year.
std::optional<Bytes> KeptContent(const Bytes& content, bool year_only) {
  std::optional<std::pair<bool, std::string>> text = FirstString(content);
  if (!text) return std::nullopt;
  auto& [eight_bit, value] = *text;
  if (year_only && value.size() > 4 && value.find_first_not_of("0123456789") == 4) value.resize(4);
  if (eight_bit) {
    Bytes out{0};
    out.insert(out.end(), value.begin(), value.end());
    return out;
  }
  // Little-endian behind its mark: the form the tag library reads back faithfully.
  const std::string utf16 = Utf8ToUtf16Be(value);
  Bytes out{1, 0xFF, 0xFE};
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2)
    out.insert(out.end(),
               {static_cast<std::uint8_t>(utf16[i + 1]), static_cast<std::uint8_t>(utf16[i])});
  return out;
}

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes Assemble(const std::vector<std::pair<std::string, Bytes>>& frames) {
  Bytes body;
  for (const auto& [id, content] : frames) {
    body.insert(body.end(), id.begin(), id.end());
    PutBe32(body, static_cast<std::uint32_t>(content.size()));
    body.insert(body.end(), {0, 0});
    body.insert(body.end(), content.begin(), content.end());
  }
  const auto n = static_cast<std::uint32_t>(body.size());
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back((n >> shift) & 0x7F);
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

// Skips the extended header; false when it runs past the tag.
bool SkipExtendedHeader(const Bytes& body, int major, std::size_t* pos) {
  if (body.size() < 4) return false;
  const std::uint64_t size =
      major == 3 ? std::uint64_t{Be32(body.data())} + 4 : std::uint64_t{Syncsafe(body.data())};
  if (size < 6 || size > body.size()) return false;
  *pos = static_cast<std::size_t>(size);
  return true;
}

}  // namespace

std::uint64_t Id3v2TagBytes(const std::uint8_t* head, std::size_t size) {
  if (size < kHeaderBytes || std::memcmp(head, "ID3", 3) != 0 || head[3] < 2 || head[3] > 4 ||
      head[4] == 0xFF || !IsSyncsafe(head + 6))
    return 0;
  const bool footer = head[3] == 4 && (head[5] & 0x10) != 0;
  return kHeaderBytes + Syncsafe(head + 6) + (footer ? kHeaderBytes : 0);
}

Id3v2Scan ScanId3v2(const std::uint8_t* data, std::size_t size, std::uint64_t file_size) {
  Id3v2Scan scan;
  if (size < 3 || std::memcmp(data, "ID3", 3) != 0) return scan;
  scan.state = Id3v2State::kRefused;
  const std::uint64_t bytes = Id3v2TagBytes(data, size);
  if (bytes == 0 || bytes > kMaxTagBytes) return scan;
  scan.tag_bytes = bytes;
  const int major = data[3];
  const std::uint8_t flags = data[5];
  if (major == 2 && (flags & 0x40) != 0) return scan;  // a compressed 2.2 tag has no format
  // A tag cut short by the end of the file is read as far as it goes, and never rewritten.
  bool sound = bytes <= file_size && bytes <= size;
  const bool tag_unsync = (flags & 0x80) != 0;
  const std::size_t body_bytes = std::min<std::size_t>(Syncsafe(data + 6), size - kHeaderBytes);
  const std::uint8_t* body_at = data + kHeaderBytes;
  Bytes body =
      tag_unsync && major <= 3 ? Resync(body_at, body_bytes) : Bytes(body_at, body_at + body_bytes);
  std::size_t pos = 0;
  if (major >= 3 && (flags & 0x40) != 0 && !SkipExtendedHeader(body, major, &pos)) return scan;
  std::vector<std::pair<std::string, Bytes>> kept;
  Frame frame;
  for (Step step; (step = NextFrame(body, &pos, major, &frame)) != Step::kEnd;) {
    if (step == Step::kOverrun) {
      sound = false;
      break;
    }
    const Layout layout = LayoutOf(frame, major, tag_unsync);
    if (ClaimsTooMuch(layout, frame)) {
      sound = false;
      continue;
    }
    const char* id = KeptIdOf(major, frame.id);
    if (id == nullptr ||
        std::any_of(kept.begin(), kept.end(), [id](const auto& k) { return k.first == id; }))
      continue;
    const std::optional<Bytes> content = Content(frame, layout);
    if (std::optional<Bytes> text =
            content ? KeptContent(*content, frame.id == "TDRC") : std::nullopt)
      kept.emplace_back(id, std::move(*text));
  }
  if (sound) scan.state = Id3v2State::kSound;
  if (!kept.empty()) scan.clean_tag = Assemble(kept);
  return scan;
}

}  // namespace mp3codec
