#include "platform/profile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>

namespace platform {

namespace {

constexpr std::size_t kNone = std::string::npos;

// A stray carriage return counts as a blank, so a line reads alike whatever its line end.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// The name of a section header line ("[name]", the closing bracket optional), else nullopt.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  return line.substr(0, line.find(']'));
}

// The key of a line inside a section: the text before '=' (the whole line without one).
std::string_view KeyOf(std::string_view line) { return Trim(line.substr(0, line.find('='))); }

std::string_view ValueOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == kNone) return {};
  std::string_view value = Trim(line.substr(equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// a + b + c, built by appending (GCC 12 warns falsely about operator+ chains here).
std::string Joined(std::string_view a, std::string_view b, std::string_view c) {
  std::string text;
  text.reserve(a.size() + b.size() + c.size());
  text.append(a).append(b).append(c);
  return text;
}

int SaturatedDecimal(std::string_view text) {
  text = Trim(text);
  std::size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min(kLimit, value * 10 + (text[i] - '0'));
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(std::min<std::int64_t>(value, kLimit - 1));
}

}  // namespace

bool Profile::Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    Parse({});
    return false;
  }
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  Parse(text);
  return !file.bad();
}

void Profile::Parse(std::string_view text) {
  lines_.clear();
  crlf_ = false;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == kNone ? std::string_view() : text.substr(end + 1);
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.remove_suffix(1);
    if (first) crlf_ = crlf;
    first = false;
    lines_.emplace_back(line);
  }
}

std::size_t Profile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = HeaderName(lines_[i]);
    if (name && SameName(*name, section)) return i;
  }
  return kNone;
}

std::size_t Profile::FindKey(std::size_t header, std::string_view key) const {
  for (std::size_t i = header + 1; i < lines_.size() && !HeaderName(lines_[i]); ++i)
    if (SameName(KeyOf(lines_[i]), key)) return i;
  return kNone;
}

std::size_t Profile::SectionEnd(std::size_t header) const {
  std::size_t end = header + 1;
  for (std::size_t i = header + 1; i < lines_.size() && !HeaderName(lines_[i]); ++i)
    if (!Trim(lines_[i]).empty()) end = i + 1;
  return end;
}

std::optional<std::string> Profile::GetString(std::string_view section,
                                              std::string_view key) const {
  const std::size_t header = FindSection(section);
  if (header == kNone) return std::nullopt;
  const std::size_t line = FindKey(header, key);
  if (line == kNone) return std::nullopt;
  return std::string(ValueOf(lines_[line]));
}

int Profile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  const std::optional<std::string> value = GetString(section, key);
  if (!value || value->empty()) return fallback;
  return SaturatedDecimal(*value);
}

void Profile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::size_t header = FindSection(section);
  if (header == kNone) {
    lines_.push_back(Joined("[", Trim(section), "]"));
    header = lines_.size() - 1;
  }
  const std::size_t line = FindKey(header, key);
  if (line != kNone) {
    lines_[line] = Joined(KeyOf(lines_[line]), "=", value);
    return;
  }
  const auto at = lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header));
  lines_.insert(at, Joined(Trim(key), "=", value));
}

std::string Profile::Text() const {
  std::string text;
  for (const std::string& line : lines_) text.append(line).append(crlf_ ? "\r\n" : "\n");
  return text;
}

bool Profile::Save(const std::string& path) const {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  const std::string text = Text();
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  return !file.fail();
}

}  // namespace platform
