#include "codecs/mp3/text_encoding.h"

#include <iconv.h>

#include <cstdint>
#include <optional>

namespace mp3codec {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// A strict conversion through iconv; nullopt when the input is not valid in `from`.
std::optional<std::string> Iconv(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* dst = out.data();
  std::size_t room = out.size();
  const std::size_t result = iconv(cd, &src, &left, &dst, &room);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1) || left != 0) return std::nullopt;
  out.resize(out.size() - room);
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the UTF-8 character at text[*i] and moves past it; malformed bytes give U+FFFD.
char32_t NextUtf8(std::string_view text, std::size_t* i) {
  const auto lead = static_cast<unsigned char>(text[(*i)++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
  if (extra < 0 || lead >= 0xF5) return kReplacement;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (*i >= text.size() || (static_cast<unsigned char>(text[*i]) & 0xC0) != 0x80)
      return kReplacement;
    c = c << 6 | (static_cast<unsigned char>(text[(*i)++]) & 0x3F);
  }
  const bool overlong = (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
  return overlong || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000) ? kReplacement : c;
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  const auto unit = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  std::string out;
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

std::string LegacyToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  if (std::optional<std::string> gbk = Iconv("UTF-8", "GBK", bytes)) return *gbk;
  std::string out;
  for (const char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string Utf8ToGbk(std::string_view text) {
  if (std::optional<std::string> whole = Iconv("GBK", "UTF-8", text)) return *whole;
  // Character by character, so one that GBK lacks costs only itself.
  std::string gbk;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const char32_t c = NextUtf8(text, &i);
    std::optional<std::string> converted =
        c == kReplacement ? std::nullopt : Iconv("GBK", "UTF-8", text.substr(start, i - start));
    gbk += converted ? *converted : "?";
  }
  return gbk;
}

std::string Utf16BeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, true); }

std::string Utf16LeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, false); }

std::string Utf8ToUtf16Be(std::string_view text) {
  std::string out;
  const auto put = [&out](char32_t unit) {
    out += static_cast<char>(unit >> 8);
    out += static_cast<char>(unit & 0xFF);
  };
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextUtf8(text, &i);
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) AppendUtf8(out, NextUtf8(text, &i));
  return out;
}

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string_view GbkPrefix(std::string_view gbk, std::size_t limit) {
  std::size_t end = 0;
  while (end < gbk.size()) {
    const std::size_t width = static_cast<unsigned char>(gbk[end]) >= 0x81 ? 2 : 1;
    if (end + width > limit || end + width > gbk.size()) break;
    end += width;
  }
  return gbk.substr(0, end);
}

}  // namespace mp3codec
