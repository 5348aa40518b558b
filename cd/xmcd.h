// Parsing of xmcd records (the body of a CDDB read reply) and the tags they give a track.
//
// Records are untrusted server text: lines end with "\n" or "\r\n"; track indexes in keys
// (TTITLEn, EXTTn) outside 0…98 are skipped, so no record can make a list larger than a disc.
#pragma once

#include <string>
#include <string_view>

#include "cd/cddb_disc_record.h"
#include "codecs/music.h"

namespace cd {

constexpr int kMaxTrackIndex = 98;  // TTITLE98 is a disc's 99th track

// Resets `record` and fills it from `text`. False when the record lacks the "# xmcd"
// signature, track frame offsets, the disc length, a submitter of two words, a DISCID of 8
// characters or more or a DTITLE, or when its TTITLE and EXTT lists differ in length;
// `record` is then partly filled.
bool ParseXmcd(std::string_view text, CddbDiscRecord& record);
// True when `line` starts with "#"; `comment` is the rest without surrounding blanks, or
// empty when the rest is a single character or nothing.
bool ExtractComment(std::string_view line, std::string& comment);
// Splits "KEY=value" at the first "="; in the value "\n", then "\t", then "\\" become a line
// feed, a tab and one backslash. False when `line` has no "=".
bool SplitKeyValue(std::string_view line, std::string& key, std::string& value);
// Every occurrence of `search` in `text` (as it was before) replaced by `replacement`.
std::string ReplaceAll(std::string_view text, std::string_view search,
                       std::string_view replacement);
// The six tags of the track whose number text (two characters, "05") is `trackText`: its
// title, the disc's artist, title (as album), year and genre, and the number text itself.
// Texts are valid UTF-8.
void FillTags(const CddbDiscRecord& record, const std::string& trackText, MusicTag& tags);

}  // namespace cd
