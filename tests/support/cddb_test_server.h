// A CDDB server over HTTP on 127.0.0.1 for the tests: it answers "cddb query" and "cddb read"
// from the discs it is given, the way CDDB servers do, and can misbehave on request (reply in
// one-byte parts, stay silent, close early, never stop sending).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace cd_testing {

struct ServerDisc {
  std::string category;
  std::uint32_t id = 0;
  std::string title;  // "Artist / Title"
  std::string xmcd;   // the record, lines ending in "\n"
};

enum class Delivery {
  kWhole,       // the whole reply at once
  kBytewise,    // one byte per send
  kSilent,      // reads the request and sends nothing
  kCloseEarly,  // sends half of the reply, then closes
  kEndless,     // a 210 reply that never ends, as fast as the client reads
  kTrickle,     // a 210 reply that never ends, one byte every 50 ms
};

class CddbTestServer {
 public:
  explicit CddbTestServer(std::vector<ServerDisc> discs) : discs_(std::move(discs)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 8);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CddbTestServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }

  void SetDelivery(Delivery delivery) { delivery_ = delivery; }
  int port() const { return port_; }
  // "127.0.0.1:port", for WAVELATHE_CDDB_SERVER.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  int Connections() const { return connections_; }
  // The request texts received (request line and headers).
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // The CDDB part of the reply to `command` ("cddb query …" with blanks).
  std::string Answer(const std::string& command) const {
    std::istringstream in(command);
    std::string cddb, verb;
    in >> cddb >> verb;
    if (verb == "query") return AnswerQuery(in);
    if (verb == "read") return AnswerRead(in);
    return "500 Command syntax error.\r\n";
  }

 private:
  static std::string Hex(std::uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
  }
  std::string AnswerQuery(std::istream& in) const {
    std::string id;
    in >> id;
    std::vector<const ServerDisc*> found;
    for (const ServerDisc& disc : discs_) {
      if (Hex(disc.id) == id) found.push_back(&disc);
    }
    if (found.empty()) return "202 No match found.\r\n";
    if (found.size() == 1) {
      return "200 " + found[0]->category + " " + id + " " + found[0]->title + "\r\n";
    }
    std::string text = "211 Found inexact matches, list follows (until terminating `.')\r\n";
    for (const ServerDisc* disc : found)
      text += disc->category + " " + id + " " + disc->title + "\r\n";
    return text + ".\r\n";
  }
  std::string AnswerRead(std::istream& in) const {
    std::string category, id;
    in >> category >> id;
    for (const ServerDisc& disc : discs_) {
      if (disc.category == category && Hex(disc.id) == id) {
        std::string text = "210 " + category + " " + id + " CD database entry follows\r\n";
        std::istringstream lines(disc.xmcd);
        for (std::string line; std::getline(lines, line);) text += line + "\r\n";
        return text + ".\r\n";
      }
    }
    return "401 " + category + " " + id + " No such CD entry in database.\r\n";
  }

  static std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '+') {
        out += ' ';
      } else if (text[i] == '%' && i + 2 < text.size()) {
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        out += text[i];
      }
    }
    return out;
  }
  // The "cmd" argument of a request line "GET /~cddb/cddb.cgi?cmd=…&hello=… HTTP/1.0".
  static std::string Command(const std::string& request) {
    const std::size_t start = request.find("?cmd=");
    if (start == std::string::npos) return "";
    const std::size_t end = request.find_first_of("& ", start + 5);
    return Unescape(request.substr(start + 5, end - start - 5));
  }

  bool ClientGone(int fd, int ms) const {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return false;
    char byte;
    return recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
  }
  bool Send(int fd, const std::string& text) const {
    return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
  }
  std::string ReadRequest(int fd) const {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    return request;
  }
  void Deliver(int fd, const std::string& reply) const {
    switch (delivery_.load()) {
      case Delivery::kWhole: Send(fd, reply); break;
      case Delivery::kBytewise:
        // Pauses keep the first bytes (header and status line) in parts of their own.
        for (std::size_t i = 0; i < reply.size(); ++i) {
          if (!Send(fd, reply.substr(i, 1))) break;
          if (i < 512) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        break;
      case Delivery::kSilent:
        while (!stop_ && !ClientGone(fd, 50)) {
        }
        break;
      case Delivery::kCloseEarly: Send(fd, reply.substr(0, reply.size() / 2)); break;
      case Delivery::kEndless:
      case Delivery::kTrickle: {
        const bool fast = delivery_ == Delivery::kEndless;
        Send(fd, "HTTP/1.0 200 OK\r\n\r\n210 rock 0c016602 entry follows\r\n");
        const std::string chunk = fast ? std::string(4096, 'x') : "x";
        while (!stop_ && Send(fd, chunk)) {
          if (!fast) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        break;
      }
    }
  }
  void Serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      const std::string request = ReadRequest(fd);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      Deliver(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + Answer(Command(request)));
      close(fd);
    }
  }

  std::vector<ServerDisc> discs_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<Delivery> delivery_{Delivery::kWhole};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace cd_testing
