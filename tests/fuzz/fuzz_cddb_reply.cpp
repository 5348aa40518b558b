// libFuzzer target for CDDB replies: the input is what a server sends. It is fed to the reply
// collector in parts of a size taken from the first byte (with or without the status check),
// and whatever body results goes through the query and read parsers. Nothing may crash, the
// collector must stay within its limit, and a completed reply must be a prefix of the input.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cd/cddb_disc_record.h"
#include "cd/cddb_reply.h"
#include "cd/cddb_reply_collector.h"

namespace {

constexpr std::size_t kLimit = 1 << 16;

// Returns the collected text, or the input itself when the collector wanted more.
std::string Collect(std::string_view input, std::size_t part, bool statusCheck) {
  cd::CddbReplyCollector collector("\r\n.\r\n", 64, statusCheck, kLimit);
  while (!input.empty()) {
    const std::span<char> space = collector.FreeSpace();
    const std::size_t n = std::min({part, space.size(), input.size()});
    std::memcpy(space.data(), input.data(), n);
    input.remove_prefix(n);
    const auto state = collector.Commit(n);
    if (collector.Text().size() > kLimit) std::abort();
    if (state == cd::CddbReplyCollector::State::kComplete) return std::string(collector.Text());
    if (state == cd::CddbReplyCollector::State::kTooLarge) return "";
  }
  return std::string(collector.Text());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t part = (data[0] & 0x7F) + 1;
  const bool statusCheck = (data[0] & 0x80) != 0;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string reply = Collect(input, part, statusCheck);
  if (input.substr(0, reply.size()) != reply) std::abort();

  const std::size_t header = reply.find("\r\n\r\n");
  const std::string_view body = header == std::string::npos
                                    ? std::string_view(reply)
                                    : std::string_view(reply).substr(header + 4);
  std::vector<cd::CddbMatch> matches;
  std::string lastReply;
  cd::ParseQueryReply(body, matches, lastReply);
  cd::CddbDiscRecord record;
  cd::ParseReadReply(body, record, lastReply);
  cd::CddbMatch match;
  cd::ParseMatchLine(body, match);
  return 0;
}
