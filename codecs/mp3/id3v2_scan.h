// The ID3v2 tag at the head of an MP3 file, checked before the tag library sees any of it.
//
// The scan keeps the first title, artist, album, track, year and genre frames of any version
// (2.2, 2.3, 2.4; unsynchronised, compressed and grouped frames included; a 2.4 date gives its
// year) as a plain ID3v2.3 tag whose texts are the original ISO-8859-1 bytes or UTF-16 with a
// byte-order mark: the only ID3v2 bytes the tag library ever reads. A tag is refused (may not
// be rewritten) when its header is malformed, when it is larger than 64 MiB or does not fit
// the file, when its extended header or a frame runs past it, or when a compressed frame
// claims more than 16 MiB or more than zlib can inflate its bytes to; frames before such a
// fault, and intact ones around an oversized claim, are still kept. Pure function of its
// input; never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mp3codec {

enum class Id3v2State { kAbsent, kSound, kRefused };

struct Id3v2Scan {
  Id3v2State state = Id3v2State::kAbsent;
  // Bytes the tag takes at the head of the file (header, frames, padding, footer).
  std::uint64_t tag_bytes = 0;
  // The kept frames as an ID3v2.3 tag; empty when there are none.
  std::vector<std::uint8_t> clean_tag;
};

// Size of the whole tag whose header starts `head` (at least 10 bytes), or 0 when `head` does
// not start with an ID3v2 header.
std::uint64_t Id3v2TagBytes(const std::uint8_t* head, std::size_t size);

// Scans the tag at the start of `data`: the first `size` bytes of a file of `file_size` bytes,
// covering the whole tag when the tag fits the file.
Id3v2Scan ScanId3v2(const std::uint8_t* data, std::size_t size, std::uint64_t file_size);

}  // namespace mp3codec
