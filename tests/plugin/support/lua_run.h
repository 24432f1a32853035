#pragma once

// Scripts run by Debian's lua5.3 on the built plug-in, and the report
// datagrams they send.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "built_paths.h"
#include "process.h"

namespace zelor::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return cond();
}

// The interpreter's command line: the sanitizer runtime preloaded when the
// module is sanitized, then lua5.3 and its arguments.
inline std::vector<std::string> luaCommand(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/env"};
  if (*built::kAsanRuntime != '\0') {
    argv.push_back(std::string("LD_PRELOAD=") + built::kAsanRuntime);
    argv.push_back("ASAN_OPTIONS=detect_leaks=1:abort_on_error=0");
  }
  argv.push_back("lua5.3");
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Lines that load the module and copy its functions into the globals.
inline std::string loadPlugin() {
  return "package.cpath = '" + std::string(built::kPluginDir) +
         "/?.so;' .. package.cpath\n"
         "for k, v in pairs(require 'libquillonPlugin') do _G[k] = v end\n";
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Runs body as the file <dir>/src0.lua after the module is loaded.
inline ProcessResult runSrc0(const std::string& body, std::chrono::milliseconds timeout = 20s,
                             const std::string& dir = "/tmp") {
  const std::string path = dir + "/src0.lua";
  writeFile(path, loadPlugin() + body);
  ProcessResult r = runProcess(luaCommand({path}), {}, timeout);
  unlink(path.c_str());
  return r;
}

// A datagram receiver on 127.0.0.1:port.
class UdpListener {
 public:
  explicit UdpListener(int port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~UdpListener() {
    if (fd_ >= 0) close(fd_);
  }
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  bool bound() const { return bound_; }

  // Every datagram that arrives within timeout of the last one.
  std::vector<std::string> drain(std::chrono::milliseconds quiet = 300ms) {
    std::vector<std::string> out;
    while (auto d = next(quiet)) out.push_back(*d);
    return out;
  }

  // The next datagram, or nothing after timeout.
  std::optional<std::string> next(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
    char buffer[65536];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
  }

 private:
  int fd_;
  bool bound_ = false;
};

}  // namespace zelor::test
