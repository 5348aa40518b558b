#include "cd/cddb_server.h"

#include <cstdlib>

#include "cd/text_scan.h"

namespace cd {

CddbServer DefaultCddbServer() {
  CddbServer server;
  server.host = "gnudb.gnudb.org";
  const char* setting = std::getenv("WAVELATHE_CDDB_SERVER");
  if (setting == nullptr || *setting == '\0') return server;
  const std::string text = setting;
  const std::size_t colon = text.rfind(':');
  server.host = text.substr(0, colon);
  if (colon != std::string::npos) {
    const std::int32_t port = ParseIntPrefix(std::string_view(text).substr(colon + 1));
    if (port >= 1 && port <= 65535) server.port = port;
  }
  return server;
}

}  // namespace cd
