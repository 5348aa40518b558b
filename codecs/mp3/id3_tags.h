// ID3 tags of MP3 files through id3lib: the six strings of a MusicTag (UTF-8) read from the
// ID3v1 and ID3v2 tags, and written as both.
//
// Reading: an ID3v2 frame wins over the ID3v1 field. 8-bit texts are GBK when valid GBK,
// else ISO-8859-1; UTF-16 and UTF-8 frames are decoded as such. A genre "(n)…" or a bare
// number n below 148 is the ID3v1 genre name; anything else is the text itself. Trailing
// blanks are dropped. The ID3v2 tag passes the checks of id3v2_scan.h first; a refused one
// is ignored (the ID3v1 tag is still read), so no tag can crash, hang or exhaust the reader.
//
// Writing (the caller writes only a tag that has some text): album, artist, genre, title and
// year replace their frames when not empty (an empty one leaves the file's frame alone);
// ASCII texts are ISO-8859-1 frames, all others UTF-16 with a byte-order mark, in an ID3v2.3
// tag. The track is its leading decimal number ("3/12" → "3", also above 255); a text
// without one, or a number below 1, removes every track frame. The ID3v1 tag gets the same
// fields in GBK, cut at character boundaries to its field widths; a genre named in the ID3v1
// list gets its number; a track above 255 is left out of ID3v1 instead of wrapping.
// Nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/music.h"

namespace mp3codec {

// Fills `tag` from the file at `path` (fields without a value become empty). False only when
// the file cannot be read.
bool ReadId3Tags(const std::string& path, MusicTag* tag);
// The same for a whole file held in memory.
MusicTag ReadId3Tags(const std::uint8_t* data, std::size_t size);
// Writes `tag` into the file at `path` as described above. False, with the file unchanged,
// when it is not a regular file or its ID3v2 tag is refused; false also when writing fails.
bool WriteId3Tags(const std::string& path, const MusicTag& tag);

}  // namespace mp3codec
