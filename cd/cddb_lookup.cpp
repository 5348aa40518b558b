#include "cd/cddb_lookup.h"

#include "cd/cd_report.h"
#include "cd/text_scan.h"
#include "cd/track_file.h"
#include "cd/xmcd.h"
#include "res/cd_texts.h"

namespace cd {
namespace {

// A server's reply shown in a message box: valid UTF-8 and short enough to read.
std::string ReplyForMessage(const std::string& reply) {
  constexpr std::size_t kShown = 4096;
  if (reply.size() <= kShown) return ToUtf8(reply);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(reply[cut]) & 0xC0) == 0x80) --cut;
  return ToUtf8(std::string_view(reply).substr(0, cut)) + "…";
}

}  // namespace

bool CddbLookup::TrackLookup(const std::string& trackPath, MusicTag& tags) {
  tags = MusicTag{};
  std::uint32_t id = 0;
  if (!ComputeDiscIdForPath(trackPath, id)) {
    ReportCdError(texts::kCddbDiscIdFailed, trackPath);
    return false;
  }
  if (id != rememberedId_) {
    haveRecord_ = false;
    rememberedId_ = id;
    if (!LookUpDisc(trackPath)) return false;
    haveRecord_ = true;
  }
  if (haveRecord_) FillTags(record_, TrackNumberText(trackPath), tags);
  return true;
}

// Asks the server about the disc just remembered; the first match is taken.
bool CddbLookup::LookUpDisc(const std::string& trackPath) {
  server_ = DefaultCddbServer();
  if (!ReadDiscToc(toc_, trackPath)) {
    ReportCdError(texts::kCddbTocFailed, trackPath);
    return false;
  }
  if (!client_.Query(server_, rememberedId_, toc_, matches_)) {
    ReportCdError(FillIn(texts::kCddbQueryFailed, ReplyForMessage(client_.lastReply)), trackPath);
    return false;
  }
  if (matches_.empty()) {
    ReportCdError(texts::kCddbNoResult, trackPath);
    return false;
  }
  if (!client_.Read(server_, matches_.front().discId, matches_.front().category, record_)) {
    ReportCdError(texts::kCddbReadFailed, trackPath);
    return false;
  }
  return true;
}

bool TrackLookup(const std::string& trackPath, MusicTag& tags) {
  static CddbLookup lookup;
  return lookup.TrackLookup(trackPath, tags);
}

}  // namespace cd
