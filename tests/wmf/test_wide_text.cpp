// UTF-8 ↔ UTF-16 conversion of the runtime's text, checked against glibc's iconv: the same
// result for well-formed text, a refusal where iconv refuses.
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "platform/wmf/wide_text.h"

using namespace platform::wmf;

namespace {

std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  std::string out(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  char* dst = out.data();
  std::size_t left = in.size(), room = out.size();
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - room);
  return ok ? std::optional(out) : std::nullopt;
}

std::string Bytes(const std::u16string& wide) {
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

}  // namespace

TEST(WideText, AgreesWithIconvBothWays) {
  const std::string utf8[] = {
      "",
      "plain",
      "中文标题 Ⅱ €",
      "\xF0\x9F\x8E\xB5 note",
      std::string("nul\0inside", 10),
      "\xC0\xAF",
      "\xE0\x80\xAF",      // overlong
      "\xED\xA0\x80",      // an encoded surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xE4\xB8",
      "\x80",
      "\xFF",  // truncated, stray
  };
  for (const std::string& text : utf8) {
    SCOPED_TRACE(testing::PrintToString(text));
    std::u16string wide;
    const std::optional<std::string> expected = Iconv("UTF-8", "UTF-16LE", text);
    ASSERT_EQ(Utf8ToUtf16(text, &wide), expected.has_value());
    if (!expected) continue;
    EXPECT_EQ(Bytes(wide), *expected);
    std::string back;
    EXPECT_TRUE(Utf16ToUtf8(wide, &back));
    EXPECT_EQ(back, text);
  }
  const std::u16string utf16[] = {
      std::u16string(1, char16_t(0xD800)),         // a lone high surrogate
      std::u16string(1, char16_t(0xDC00)) + u"x",  // a lone low surrogate
      std::u16string{char16_t(0xD83C), u'x'},      // a high surrogate before a plain unit
  };
  for (const std::u16string& wide : utf16) {
    std::string text;
    EXPECT_FALSE(Utf16ToUtf8(wide, &text));
    EXPECT_FALSE(Iconv("UTF-16LE", "UTF-8", Bytes(wide)).has_value());
  }
}
