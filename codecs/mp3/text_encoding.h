// Text conversions of tag strings. Inside the program text is UTF-8; tags carry legacy 8-bit
// text (read as GBK when it is valid GBK, else as ISO-8859-1) or UTF-16.
// Malformed input never fails: what cannot be decoded becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace mp3codec {

// Legacy 8-bit bytes to UTF-8: GBK when the bytes are valid GBK, else ISO-8859-1.
std::string LegacyToUtf8(std::string_view bytes);
// UTF-8 to GBK; characters GBK lacks become '?'.
std::string Utf8ToGbk(std::string_view text);
// UTF-16 big-endian bytes (an odd last byte is dropped) to UTF-8.
std::string Utf16BeToUtf8(std::string_view bytes);
// UTF-16 little-endian bytes to UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-8 to UTF-16 big-endian bytes.
std::string Utf8ToUtf16Be(std::string_view text);
// UTF-8 with every malformed sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);
bool IsAscii(std::string_view text);
// The longest prefix of GBK bytes of at most `limit` bytes that ends on a character boundary.
std::string_view GbkPrefix(std::string_view gbk, std::size_t limit);

}  // namespace mp3codec
