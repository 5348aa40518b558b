#include "cd/cddb_reply.h"

#include <algorithm>

#include "cd/text_scan.h"
#include "cd/xmcd.h"

namespace cd {
namespace {

bool IsMultiLineCode(int code) { return code >= 210 && code <= 219; }

// Skips the blanks at `pos`; npos when only blanks (or nothing) follow.
std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  return text.find_first_not_of(' ', pos);
}

}  // namespace

int CddbReplyCode(std::string_view body) {
  if (body.size() < 3) return -1;
  int code = 0;
  for (char c : body.substr(0, 3)) {
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}

bool ParseQueryReply(std::string_view body, std::vector<CddbMatch>& matches,
                     std::string& lastReply) {
  lastReply.assign(body);
  const int code = CddbReplyCode(body);
  matches.clear();
  if (IsMultiLineCode(code)) {
    std::string_view rest = body, line;
    NextLine(rest, line);
    while (NextLine(rest, line)) {
      CddbMatch match;
      if (ParseMatchLine(line, match)) matches.push_back(std::move(match));
    }
    lastReply.clear();
    return !matches.empty();
  }
  if (code != 200 || body.size() <= 5) return false;
  CddbMatch match;
  const bool parsed = ParseMatchLine(body.substr(4), match);
  if (parsed) matches.push_back(std::move(match));
  lastReply.clear();
  return parsed;
}

bool ParseMatchLine(std::string_view line, CddbMatch& match) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return false;
  const std::size_t idStart = SkipBlanks(line, blank);
  if (idStart == std::string_view::npos) return false;
  const std::size_t idEnd = line.find(' ', idStart);
  if (idEnd == std::string_view::npos) return false;
  match.category.assign(line.substr(0, blank));
  match.discId = ParseHexPrefix(line.substr(idStart, idEnd - idStart));
  std::string_view rest = line.substr(std::min(SkipBlanks(line, idEnd), line.size()));
  std::string_view text;
  NextLine(rest, text);
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) {
    match.artist.clear();
    match.title.assign(text);
  } else {
    match.artist.assign(TrimBlanks(text.substr(0, slash)));
    match.title.assign(TrimBlanks(text.substr(slash + 1)));
  }
  return true;
}

bool ParseReadReply(std::string_view body, CddbDiscRecord& record, std::string& lastReply) {
  lastReply.assign(body);
  if (!IsMultiLineCode(CddbReplyCode(body))) return false;
  const std::size_t lineEnd = body.find('\n');
  if (lineEnd == std::string_view::npos) return false;
  if (!ParseXmcd(body.substr(lineEnd + 1), record)) return false;
  lastReply.clear();
  return true;
}

}  // namespace cd
