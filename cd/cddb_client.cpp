#include "cd/cddb_client.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include "cd/cddb_connection.h"
#include "cd/cddb_reply_collector.h"
#include "res/cd_texts.h"

namespace cd {
namespace {

constexpr char kEndOfData[] = "\r\n.\r\n";
constexpr std::size_t kBlock = 4096;
constexpr int kConnectTimeoutMs = 5000;

std::string Hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// Bytes other than letters, digits and "-._~" as %XX, for a server-given word in a URL.
std::string UrlWord(std::string_view word) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

std::string HostHeader(const CddbServer& server) {
  std::string header = "Host: ";
  const bool numericV6 = server.host.find(':') != std::string::npos;
  header.append(numericV6 ? "[" : "").append(server.host).append(numericV6 ? "]" : "");
  if (server.port != 80) header.append(":").append(std::to_string(server.port));
  return header.append("\r\n");
}

}  // namespace

std::string SanitizeHelloName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return out;
}

std::string CddbClient::GetClientUserName() const {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr || *found->pw_name == '\0') {
    return SanitizeHelloName(texts::kCddbUnknownName);
  }
  return SanitizeHelloName(found->pw_name);
}

std::string CddbClient::GetClientHostName() const {
  char name[260] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
    return SanitizeHelloName(texts::kCddbUnknownName);
  }
  return SanitizeHelloName(name);
}

std::string CddbClient::BuildHello() const {
  return "hello=" + GetClientUserName() + "+" + GetClientHostName() + "+" + kClientName + "+" +
         kClientVersion + "&proto=" + std::to_string(kProtocolLevel);
}

bool CddbClient::ReceiveReply(CddbConnection& connection, std::string_view terminator,
                              std::string& reply, std::size_t block, bool statusCheck) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(replyDeadlineMs);
  CddbReplyCollector collector(terminator, block, statusCheck, replyLimit);
  bool closed = false;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    bool ready = false;
    if (left <= 0 ||
        !connection.WaitReadable(
            ready, static_cast<int>(std::min<std::int64_t>(left, receiveTimeoutMs))) ||
        !ready) {
      break;  // silent for too long, or the wait failed
    }
    const std::span<char> space = collector.FreeSpace();
    const std::int64_t got = connection.Receive(space.data(), space.size());
    closed = got <= 0;
    if (closed) break;
    const auto state = collector.Commit(static_cast<std::size_t>(got));
    if (state == CddbReplyCollector::State::kComplete) {
      reply.assign(collector.Text());
      return true;
    }
    if (state == CddbReplyCollector::State::kTooLarge) break;
  }
  if (closed || !collector.Text().empty()) lastReply.assign(collector.Text());
  return false;
}

bool CddbClient::RunCommand(const CddbServer& server, const std::string& command, bool statusCheck,
                            std::string& reply, std::string_view& body) {
  CddbConnection connection;
  if (!connection.Connect(server.host, server.port, kConnectTimeoutMs)) return false;
  const std::string request = "GET " + server.cgiPath + "?cmd=" + command + "&" + BuildHello() +
                              " HTTP/1.0\r\n" + HostHeader(server) + "\r\n";
  if (!connection.SendAll(request)) return false;
  if (!ReceiveReply(connection, kEndOfData, reply, kBlock, statusCheck)) return false;
  const std::size_t header = reply.find("\r\n\r\n");
  if (header == std::string::npos) {
    lastReply = reply;
    return false;
  }
  body = std::string_view(reply).substr(header + 4);
  return true;
}

bool CddbClient::Query(const CddbServer& server, std::uint32_t id, const DiscToc& toc,
                       std::vector<CddbMatch>& matches) {
  matches.clear();
  if (toc.size() < 2) return false;
  std::string command = "cddb+query+";
  command.append(Hex8(id)).append("+").append(std::to_string(toc.size() - 1));
  for (std::size_t i = 0; i + 1 < toc.size(); ++i) {
    command.append("+").append(std::to_string(FrameOffset(toc[i])));
  }
  command.append("+").append(std::to_string(DiscLengthSeconds(toc)));
  std::string reply;
  std::string_view body;
  if (!RunCommand(server, command, true, reply, body)) return false;
  return ParseQueryReply(body, matches, lastReply);
}

bool CddbClient::Read(const CddbServer& server, std::uint32_t id, const std::string& category,
                      CddbDiscRecord& record) {
  const std::string command = "cddb+read+" + UrlWord(category) + "+" + Hex8(id);
  std::string reply;
  std::string_view body;
  if (!RunCommand(server, command, false, reply, body)) return false;
  const bool parsed = ParseReadReply(body, record, lastReply);
  record.discId = id;
  return parsed;
}

}  // namespace cd
