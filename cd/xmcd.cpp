#include "cd/xmcd.h"

#include <algorithm>
#include <cstdint>

#include "cd/text_scan.h"

namespace cd {
namespace {

struct ParseState {
  bool signature = false;
  bool inOffsets = false;
  bool discLength = false;
  bool submitter = false;
  bool discId = false;
  bool discTitle = false;
  std::string discTitleText;
  std::string playOrderText;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The text after the first `count` characters (empty when there are fewer).
std::string_view After(std::string_view text, std::size_t count) {
  return count < text.size() ? text.substr(count) : std::string_view{};
}

// "Submitted via: name version [comment]"; false when fewer than two words follow.
bool ParseSubmitter(std::string_view text, CddbDiscRecord& record) {
  std::string* words[] = {&record.clientName, &record.clientVersion, &record.clientComment};
  std::size_t count = 0;
  std::size_t pos = 0;
  while (count < 3) {
    pos = text.find_first_not_of(" \t", pos);
    if (pos == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" \t", pos), text.size());
    words[count++]->assign(text.substr(pos, end - pos));
    pos = end;
  }
  return count >= 2;
}

// False when the record is broken beyond use (a submitter of fewer than two words).
bool ApplyComment(std::string_view comment, ParseState& state, CddbDiscRecord& record) {
  if (StartsWith(comment, "xmcd")) {
    state.signature = true;
  } else if (comment.find("Track frame offsets:") != std::string_view::npos) {
    state.inOffsets = true;
  } else if (StartsWith(comment, "Disc length:")) {
    state.inOffsets = false;
    state.discLength = true;
    record.discLengthSeconds = ParseIntPrefix(After(comment, 13));
  } else if (StartsWith(comment, "Revision:")) {
    record.revision = ParseIntPrefix(After(comment, 9));
  } else if (StartsWith(comment, "Submitted via:")) {
    state.submitter = true;
    return ParseSubmitter(After(comment, 14), record);
  } else if (state.inOffsets && !comment.empty()) {
    record.trackFrameOffsets.push_back(ParseIntPrefix(comment));
  }
  return true;
}

// Appends `value` to entry n of `list`, n being the number after `prefixLength` characters of
// the key; the list is sized to n + 1 first. Indexes outside 0…98 are skipped.
void AppendIndexed(std::vector<std::string>& list, std::string_view key, std::size_t prefixLength,
                   const std::string& value) {
  const std::int32_t n = ParseIntPrefix(After(key, prefixLength));
  if (n < 0 || n > kMaxTrackIndex) return;
  list.resize(static_cast<std::size_t>(n) + 1);
  list[static_cast<std::size_t>(n)] += value;
}

void ApplyKey(const std::string& key, const std::string& value, ParseState& state,
              CddbDiscRecord& record) {
  if (key == "DISCID") {
    if (value.size() > 7) {
      state.discId = true;
      record.discId = ParseHexPrefix(value);
    }
  } else if (key == "DTITLE") {
    state.discTitle = true;
    state.discTitleText += value;
  } else if (key == "DYEAR") {
    record.year = ParseIntPrefix(value);
  } else if (key == "DGENRE") {
    record.genre += value;
  } else if (StartsWith(key, "TTITLE")) {
    AppendIndexed(record.trackTitles, key, 6, value);
  } else if (key == "EXTD") {
    record.extendedDiscData += value;
  } else if (StartsWith(key, "EXTT")) {
    AppendIndexed(record.extendedTrackData, key, 4, value);
  } else if (key == "PLAYORDER") {
    state.playOrderText += value;
  }
}

// "3,1,2" → 3, 1, 2; an empty part counts as 0 except after the last ",".
void ParsePlayOrder(std::string_view text, std::vector<std::int32_t>& order) {
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    order.push_back(ParseIntPrefix(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
}

bool Finish(const ParseState& state, CddbDiscRecord& record) {
  if (!state.signature || record.trackFrameOffsets.empty()) return false;
  if (!state.discLength || !state.submitter || !state.discId || !state.discTitle ||
      record.trackTitles.size() != record.extendedTrackData.size()) {
    return false;
  }
  const std::size_t split = state.discTitleText.find(" / ");
  if (split == std::string::npos) {
    record.artist = record.title = state.discTitleText;
  } else {
    record.artist = state.discTitleText.substr(0, split);
    record.title = state.discTitleText.substr(split + 3);
  }
  ParsePlayOrder(state.playOrderText, record.playOrder);
  return true;
}

}  // namespace

bool ParseXmcd(std::string_view text, CddbDiscRecord& record) {
  record = CddbDiscRecord{};
  ParseState state;
  std::string_view line;
  std::string comment, key, value;
  while (NextLine(text, line)) {
    if (ExtractComment(line, comment)) {
      if (!ApplyComment(comment, state, record)) return false;
    } else if (SplitKeyValue(line, key, value)) {
      ApplyKey(key, value, state, record);
    }
  }
  return Finish(state, record);
}

bool ExtractComment(std::string_view line, std::string& comment) {
  if (line.empty() || line.front() != '#') return false;
  const std::string_view rest = line.substr(1);
  comment.assign(rest.size() > 1 ? TrimBlanks(rest) : std::string_view{});
  return true;
}

bool SplitKeyValue(std::string_view line, std::string& key, std::string& value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  key.assign(line.substr(0, equals));
  value = ReplaceAll(ReplaceAll(ReplaceAll(line.substr(equals + 1), "\\n", "\n"), "\\t", "\t"),
                     "\\\\", "\\");
  return true;
}

std::string ReplaceAll(std::string_view text, std::string_view search,
                       std::string_view replacement) {
  if (search.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(search, pos)) != std::string_view::npos;
       pos = hit + search.size()) {
    result.append(text.substr(pos, hit - pos)).append(replacement);
  }
  result.append(text.substr(pos));
  return result;
}

void FillTags(const CddbDiscRecord& record, const std::string& trackText, MusicTag& tags) {
  const std::int32_t track = ParseIntPrefix(trackText);
  const bool known = track >= 1 && static_cast<std::size_t>(track) <= record.trackTitles.size();
  tags.title = known ? ToUtf8(record.trackTitles[static_cast<std::size_t>(track) - 1]) : "";
  tags.artist = ToUtf8(record.artist);
  tags.album = ToUtf8(record.title);
  tags.track = ToUtf8(trackText);
  tags.year = std::to_string(record.year);
  tags.genre = ToUtf8(record.genre);
}

}  // namespace cd
