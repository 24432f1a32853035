#pragma once

// A minimal HTTP/1.1 client on 127.0.0.1 for tests of the data server's HTTP
// server: one request per connection ("Connection: close"), the reply read
// until the server closes or the time-out passes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace zelor::test {

struct HttpReply {
  bool answered = false;  // a status line arrived
  int status = 0;
  std::string reason;
  std::string headers;
  std::string body;
};

// A connection to the port on loopback, -1 when refused. A positive
// receive buffer is set before connecting, so that it bounds the window.
inline int connectLoopback(int port, int receiveBuffer = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

inline HttpReply parseReply(const std::string& raw) {
  HttpReply r;
  const std::size_t lineEnd = raw.find("\r\n");
  const std::size_t headEnd = raw.find("\r\n\r\n");
  if (lineEnd == std::string::npos || raw.compare(0, 5, "HTTP/") != 0) return r;
  r.answered = true;
  const std::string line = raw.substr(0, lineEnd);
  const std::size_t sp1 = line.find(' ');
  r.status = std::atoi(line.c_str() + sp1 + 1);
  const std::size_t sp2 = line.find(' ', sp1 + 1);
  if (sp2 != std::string::npos) r.reason = line.substr(sp2 + 1);
  if (headEnd != std::string::npos) {
    r.headers = raw.substr(lineEnd + 2, headEnd - lineEnd - 2);
    r.body = raw.substr(headEnd + 4);
  }
  return r;
}

// Sends one request with the path as it is given and reads the reply.
inline HttpReply httpRequest(int port, const std::string& method, const std::string& path,
                             const std::string& body = "", int timeoutMs = 3000) {
  const int fd = connectLoopback(port);
  if (fd < 0) return {};
  std::string request = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (!body.empty() || method == "POST") {
    request += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  }
  request += "\r\n" + body;
  std::size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string raw;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buf[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    raw.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return parseReply(raw);
}

// Polls GET path until any reply arrives, for at most waitMs.
inline bool waitForHttp(int port, const std::string& path, int waitMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (std::chrono::steady_clock::now() < until) {
    if (httpRequest(port, "GET", path, "", 500).answered) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace zelor::test
