// Parsing of CDDB replies: the status code, query matches and the read reply's record.
// Bodies are the text after the HTTP header; every byte is untrusted. Each parser sets
// `lastReply` to the body and empties it when the reply was understood, as the lookup's
// failure message shows what the server said last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cd/cddb_disc_record.h"

namespace cd {

struct CddbMatch {
  std::string category;
  std::uint32_t discId = 0;
  std::string artist;
  std::string title;
};

// The status code formed by the first three characters, or −1 when they are not digits.
int CddbReplyCode(std::string_view body);

// 200 (one match, after "200 ") and 210…219 (one match per line after the status line) fill
// `matches`; true when at least one match was found. Other codes (202: none) fail and keep
// `lastReply`.
bool ParseQueryReply(std::string_view body, std::vector<CddbMatch>& matches,
                     std::string& lastReply);
// "category discid artist / title": false without a category, or without a blank after the
// disc id. Without a "/" the artist stays empty and the title is the whole text.
bool ParseMatchLine(std::string_view line, CddbMatch& match);
// A 210…219 reply: the xmcd record after the status line (ParseXmcd). Any other reply fails
// and leaves `record` as it was.
bool ParseReadReply(std::string_view body, CddbDiscRecord& record, std::string& lastReply);

}  // namespace cd
