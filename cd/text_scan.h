// Small readers of untrusted text: numbers at the start of a text, line splitting, trimming,
// and turning server text into valid UTF-8. None reads outside the given text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cd {

// The decimal integer at the start of `text` after leading blanks, with an optional sign;
// 0 when there is none. Values beyond the 32-bit range are clamped to it.
std::int32_t ParseIntPrefix(std::string_view text);
// The hexadecimal number at the start of `text` (no blanks, no sign); 0 when there is none.
// Only the low 32 bits of a longer number are kept.
std::uint32_t ParseHexPrefix(std::string_view text);
// `text` without blanks and tabs at both ends.
std::string_view TrimBlanks(std::string_view text);

// Takes the next line off the front of `rest`: a line ends at "\n", and a "\r" right before
// it belongs to the line end; the last line ends with the text. False when `rest` is empty.
bool NextLine(std::string_view& rest, std::string_view& line);

// `text` when it is valid UTF-8, else its bytes read as ISO-8859-1 (the character set of
// CDDB protocol levels below 6).
std::string ToUtf8(std::string_view text);

}  // namespace cd
