// A settings file in the INI format, read and written the way the classic profile functions
// do it: section and key names match without regard to ASCII case or the blanks around them,
// the first section and the first key of a name win, and whatever the program does not change
// (other sections and keys, comments, blank lines, the file's line ends) is written back as it
// was. Any bytes parse; nothing is rejected.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Profile {
 public:
  // Reads `path`. A missing or unreadable file gives an empty profile and false.
  bool Load(const std::string& path);
  void Parse(std::string_view text);

  // The value of `key` in `section` with the blanks around it and one pair of enclosing
  // quotes removed; nullopt when there is no such key.
  std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
  // The value read as an integer: `fallback` when the key is missing or its value empty;
  // otherwise an optional sign and the leading decimal digits (0 when there are none),
  // saturated to the 32-bit range.
  int GetInt(std::string_view section, std::string_view key, int fallback) const;

  // Gives `key` in `section` the value: the first such key is replaced in place, a missing
  // key is added after the last line of its section, a missing section at the end.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The whole file, with "\r\n" line ends when its first line had them, else "\n".
  std::string Text() const;
  // Replaces the file at `path` with Text(); false when it could not be written completely.
  bool Save(const std::string& path) const;

 private:
  // Index of the header line of the first section named `section`, or npos.
  std::size_t FindSection(std::string_view section) const;
  // Index of the first line holding `key` in the section whose header is at `header`, or npos.
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  // Index just past the section's last non-blank line.
  std::size_t SectionEnd(std::size_t header) const;

  std::vector<std::string> lines_;
  bool crlf_ = false;  // the first line ended in "\r\n"
};

}  // namespace platform
