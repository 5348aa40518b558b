#include "cd/cddb_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace cd {
namespace {

// Waits for `events` on `fd`; 1 ready, 0 timed out, −1 error.
int PollOne(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int rc = poll(&p, 1, ms);
    if (rc < 0 && errno == EINTR) continue;
    return rc < 0 ? -1 : rc > 0 ? 1 : 0;
  }
}

bool SetBlocking(int fd, bool blocking) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

}  // namespace

CddbConnection::~CddbConnection() { Close(); }

bool CddbConnection::Connect(const std::string& host, std::int32_t port, int timeoutMs) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (host.empty() || getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
    return false;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (ConnectTo(*a, timeoutMs)) return true;
  }
  return false;
}

// A non-blocking connect, so that an unreachable server costs `timeoutMs` and not the
// system's minutes-long connect time-out.
bool CddbConnection::ConnectTo(const addrinfo& address, int timeoutMs) {
  fd_ = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
  if (fd_ < 0) return false;
  bool connected = false;
  if (SetBlocking(fd_, false)) {
    if (connect(fd_, address.ai_addr, address.ai_addrlen) == 0) {
      connected = true;
    } else if (errno == EINPROGRESS && PollOne(fd_, POLLOUT, timeoutMs) == 1) {
      int error = 0;
      socklen_t length = sizeof error;
      connected = getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
  }
  if (connected && SetBlocking(fd_, true)) return true;
  Close();
  return false;
}

bool CddbConnection::SendAll(std::string_view data) {
  while (!data.empty()) {
    const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool CddbConnection::WaitReadable(bool& ready, int ms) {
  const int rc = PollOne(fd_, POLLIN, ms);
  ready = rc == 1;
  return rc >= 0;
}

std::int64_t CddbConnection::Receive(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = recv(fd_, buffer, size, 0);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

void CddbConnection::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace cd
