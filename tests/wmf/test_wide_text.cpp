// UTF-8 ↔ UTF-16 conversion of the runtime's text, checked against glibc's iconv.
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "platform/wmf/wide_text.h"

using namespace platform::wmf;

namespace {

// iconv's conversion between UTF-8 and UTF-16LE; nothing when it refuses the input.
std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  char* dst = out.data();
  std::size_t left = in.size(), room = out.size();
  const std::size_t result = iconv(cd, &src, &left, &dst, &room);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - room);
  return out;
}

std::string Bytes(const std::u16string& wide) {
  std::string bytes;
  for (const char16_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace

TEST(WideText, Utf8ToUtf16AgreesWithIconv) {
  const std::string cases[] = {
      "",
      "plain",
      "中文标题",
      "Ⅱ € ß",
      "\xF0\x9F\x8E\xB5 note",
      std::string("nul\0inside", 10),
      "\xC0\xAF",          // overlong '/'
      "\xE0\x80\xAF",      // overlong
      "\xED\xA0\x80",      // encoded surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xE4\xB8",          // truncated
      "\x80",
      "\xFF",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(testing::PrintToString(text));
    std::u16string wide;
    const bool ok = Utf8ToUtf16(text, &wide);
    const std::optional<std::string> expected = Iconv("UTF-8", "UTF-16LE", text);
    EXPECT_EQ(ok, expected.has_value());
    if (ok && expected) {
      EXPECT_EQ(Bytes(wide), *expected);
    }
  }
}

TEST(WideText, Utf16ToUtf8AgreesWithIconv) {
  const std::u16string cases[] = {
      u"",
      u"plain",
      u"中文标题",
      u"\U0001F3B5 note",
      std::u16string(u"a\0b", 3),
      std::u16string(1, char16_t(0xD800)),         // lone high surrogate
      std::u16string(1, char16_t(0xDC00)) + u"x",  // lone low surrogate
      std::u16string{char16_t(0xD83C), u'x'},      // high surrogate not followed by a low one
  };
  for (const std::u16string& wide : cases) {
    SCOPED_TRACE(testing::PrintToString(Bytes(wide)));
    std::string text;
    const bool ok = Utf16ToUtf8(wide, &text);
    const std::optional<std::string> expected = Iconv("UTF-16LE", "UTF-8", Bytes(wide));
    EXPECT_EQ(ok, expected.has_value());
    if (ok && expected) {
      EXPECT_EQ(text, *expected);
    }
    if (ok) {
      std::u16string back;
      EXPECT_TRUE(Utf8ToUtf16(text, &back));
      EXPECT_EQ(back, wide);
    }
  }
}
