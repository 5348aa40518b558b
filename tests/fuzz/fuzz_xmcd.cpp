// libFuzzer target for xmcd records: the input is a record as a server sends it. Parsing it
// and filling a track's tags from it must neither crash nor grow a list beyond a disc, and
// every tag must come out as valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cd/cddb_disc_record.h"
#include "cd/text_scan.h"
#include "cd/xmcd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  cd::CddbDiscRecord record;
  cd::ParseXmcd(text, record);
  if (record.trackTitles.size() > cd::kMaxTrackIndex + 1 ||
      record.extendedTrackData.size() > cd::kMaxTrackIndex + 1) {
    std::abort();
  }
  const std::string trackText(text.substr(0, 2));
  MusicTag tags;
  cd::FillTags(record, trackText, tags);
  for (const std::string* tag :
       {&tags.title, &tags.artist, &tags.album, &tags.track, &tags.year, &tags.genre}) {
    if (cd::ToUtf8(*tag) != *tag) std::abort();  // only valid UTF-8 is left unchanged
  }
  return 0;
}
