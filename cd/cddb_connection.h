// One TCP connection to a CDDB server: connect, send, wait until readable, receive, close.
// The socket is closed by Close and by the destructor; closing a closed connection does
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct addrinfo;

namespace cd {

class CddbConnection {
 public:
  CddbConnection() = default;
  ~CddbConnection();
  CddbConnection(const CddbConnection&) = delete;
  CddbConnection& operator=(const CddbConnection&) = delete;

  // Resolves `host` (a name or a numeric address) and connects to the first of its addresses
  // that answers within `timeoutMs` each. False when none does.
  bool Connect(const std::string& host, std::int32_t port, int timeoutMs);
  // Sends all of `data` (partial sends are continued). False on an error.
  bool SendAll(std::string_view data);
  // `ready` tells whether data (or the end of the stream) can be read within `ms`
  // milliseconds. False on a wait error.
  bool WaitReadable(bool& ready, int ms);
  // Receives up to `size` bytes; returns the count, 0 when the server closed, −1 on an error.
  std::int64_t Receive(char* buffer, std::size_t size);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool ConnectTo(const addrinfo& address, int timeoutMs);

  int fd_ = -1;
};

}  // namespace cd
