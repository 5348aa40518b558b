#include "platform/wmf/wide_text.h"

#include <cstdint>

namespace platform::wmf {

namespace {

// Decodes one code point starting at text[*pos]; false on a malformed sequence.
bool DecodeUtf8(std::string_view text, std::size_t* pos, char32_t* cp) {
  const auto lead = static_cast<unsigned char>(text[*pos]);
  int extra = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (text.size() - *pos <= static_cast<std::size_t>(extra)) return false;
  for (int i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(text[*pos + i]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *pos += extra + 1;
  *cp = value;
  return true;
}

void EncodeUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
    return;
  }
  const int extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out->push_back(static_cast<char>(kLead[extra] | (cp >> (6 * extra))));
  for (int i = extra - 1; i >= 0; --i) {
    out->push_back(static_cast<char>(0x80 | ((cp >> (6 * i)) & 0x3F)));
  }
}

}  // namespace

bool Utf8ToUtf16(std::string_view text, std::u16string* wide) {
  wide->clear();
  wide->reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    if (!DecodeUtf8(text, &pos, &cp)) return false;
    if (cp < 0x10000) {
      wide->push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      wide->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      wide->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
  return true;
}

bool Utf16ToUtf8(std::u16string_view wide, std::string* text) {
  text->clear();
  text->reserve(wide.size() * 3);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = wide[i];
    if (cp >= 0xDC00 && cp <= 0xDFFF) return false;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 == wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[++i] - 0xDC00);
    }
    EncodeUtf8(cp, text);
  }
  return true;
}

std::size_t WideLength(const WCHAR* text, std::size_t limit) {
  std::size_t n = 0;
  while (n <= limit && text[n] != 0) ++n;
  return n;
}

HRESULT PathFromWide(const WCHAR* path, std::string* utf8) {
  constexpr std::size_t kMaxPath = 32767;
  if (path == nullptr) return E_POINTER;
  const std::size_t length = WideLength(path, kMaxPath);
  if (length == 0 || length > kMaxPath) return E_INVALIDARG;
  return Utf16ToUtf8(std::u16string_view(path, length), utf8) ? S_OK : E_INVALIDARG;
}

}  // namespace platform::wmf
