// The HTTP side of CDDB: "cddb query" and "cddb read" as HTTP/1.0 GET requests, one short
// connection per command, replies read until the CDDB end-of-data line.
//
// Every wait for the next part of a reply lasts at most receiveTimeoutMs; a whole reply may
// take at most replyDeadlineMs and hold at most replyLimit bytes, so no server can hold the
// caller or its memory. Not for use by two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cd/cddb_disc_record.h"
#include "cd/cddb_reply.h"
#include "cd/cddb_server.h"
#include "cd/disc_toc.h"

namespace cd {

class CddbConnection;

class CddbClient {
 public:
  static constexpr char kClientName[] = "Tonewright";
  static constexpr char kClientVersion[] = "2005";
  static constexpr int kProtocolLevel = 5;

  // "hello=user+host+Tonewright+2005&proto=5".
  std::string BuildHello() const;
  // The login and host names with every byte that is not an ASCII letter or digit turned
  // into "_" ("未知" the same way when the name cannot be found).
  std::string GetClientUserName() const;
  std::string GetClientHostName() const;

  // Reads a reply into `reply` (see CddbReplyCollector). False when the server falls silent,
  // closes early, fails, or sends too much; lastReply then holds what had arrived.
  bool ReceiveReply(CddbConnection& connection, std::string_view terminator, std::string& reply,
                    std::size_t block, bool statusCheck);

  // "cddb query" for the disc `id` with table `toc` (at least 2 entries).
  bool Query(const CddbServer& server, std::uint32_t id, const DiscToc& toc,
             std::vector<CddbMatch>& matches);
  // "cddb read" of `category`/`id`; record.discId is `id` afterwards when a reply came.
  bool Read(const CddbServer& server, std::uint32_t id, const std::string& category,
            CddbDiscRecord& record);

  // The last reply (or part of one) that did not lead to success.
  std::string lastReply;
  int receiveTimeoutMs = 2000;
  int replyDeadlineMs = 30000;
  std::size_t replyLimit = std::size_t{1} << 20;

 private:
  // Connects, sends the request for `command`, and returns the reply's body after the HTTP
  // header in `body`.
  bool RunCommand(const CddbServer& server, const std::string& command, bool statusCheck,
                  std::string& reply, std::string_view& body);
};

// `name` with every byte that is not an ASCII letter or digit replaced by "_".
std::string SanitizeHelloName(std::string_view name);

}  // namespace cd
