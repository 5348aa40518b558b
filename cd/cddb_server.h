// Where CDDB questions go.
#pragma once

#include <cstdint>
#include <string>

namespace cd {

struct CddbServer {
  std::string host;
  std::int32_t port = 80;
  std::string cgiPath = "/~cddb/cddb.cgi";
};

// The default server: gnudb.gnudb.org port 80, or "host[:port]" from the environment
// variable WAVELATHE_CDDB_SERVER (a port outside 1…65535 keeps 80).
CddbServer DefaultCddbServer();

}  // namespace cd
