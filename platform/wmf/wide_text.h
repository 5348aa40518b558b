// UTF-8 ↔ UTF-16 for the runtime's text (this platform's multibyte code page is UTF-8).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/wmf/wmf_types.h"

namespace platform::wmf {

// Both fail (false, output unspecified) on input that is not well-formed: overlong or
// truncated UTF-8 sequences, encoded surrogates, code points above U+10FFFF, unpaired
// UTF-16 surrogates.
bool Utf8ToUtf16(std::string_view text, std::u16string* wide);
bool Utf16ToUtf8(std::u16string_view wide, std::string* text);

// Length of a zero-terminated UTF-16 string of at most `limit` characters; `limit` + 1
// when no terminator comes within the limit.
std::size_t WideLength(const WCHAR* text, std::size_t limit);

// A path given to the runtime as UTF-16, as UTF-8: E_POINTER for null, E_INVALIDARG for an
// empty path, one longer than 32767 characters or one that is not well-formed.
HRESULT PathFromWide(const WCHAR* path, std::string* utf8);

}  // namespace platform::wmf
