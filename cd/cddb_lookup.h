// Names a CD track from a CDDB server: the disc id of the track's disc, "cddb query", "cddb
// read" of the first match, and the track's six tags from the record.
//
// The lookup remembers the last disc it saw, so the tracks of one disc cost one query and
// one read; a disc whose lookup failed is not asked again until another disc was looked up.
// Failures are reported with the track path (ReportCdError).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cd/cddb_client.h"
#include "cd/cddb_disc_record.h"
#include "cd/cddb_server.h"
#include "cd/disc_toc.h"
#include "codecs/music.h"

namespace cd {

class CddbLookup {
 public:
  // Empties `tags`, then fills them for the track at `trackPath`. True also when the disc's
  // earlier lookup failed (tags stay empty); false after reporting a failure.
  bool TrackLookup(const std::string& trackPath, MusicTag& tags);

  CddbClient& Client() { return client_; }

 private:
  bool LookUpDisc(const std::string& trackPath);

  std::uint32_t rememberedId_ = 0;
  bool haveRecord_ = false;
  CddbServer server_;
  CddbClient client_;
  DiscToc toc_;
  std::vector<CddbMatch> matches_;
  CddbDiscRecord record_;
};

// The process-wide lookup (the ReadTags of a CD track). Lookups block their thread while
// the network answers and must not run on two threads at once; a lookup's failure message
// is shown before it returns.
bool TrackLookup(const std::string& trackPath, MusicTag& tags);

}  // namespace cd
