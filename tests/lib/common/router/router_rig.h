#pragma once

// The control program's side of segment 12 in a child process of the test
// (its console in a file), and the test's own view of the channels.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/router/message_router.h"
#include "fork_child.h"

namespace zelor::test::router {

using namespace std::chrono_literals;
using zelor::modules::router::MessageRouter;
using Bytes = std::vector<uint8_t>;

inline bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return cond();
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool fileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

inline size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Router command [type BE][payload], framed by the router.
inline Bytes command(uint16_t type, const std::string& payload = {}) {
  Bytes b{static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type & 0xFF)};
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

// The router of the control program, started in a child process whose
// standard output goes (unbuffered) to a file. The child also reports
// changes of the enabled byte, which nothing else shows.
class RouterChild {
 public:
  static constexpr const char* kConsole = "/tmp/router_console.txt";

  RouterChild() {
    view_ = MessageRouter::Instance();
    pid_ = forkChild([] {
      const int fd = open(kConsole, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) return 3;
      close(fd);
      setvbuf(stdout, nullptr, _IONBF, 0);
      MessageRouter* router = MessageRouter::Instance();
      router->Start();
      unsigned enabled = router->enabled();
      for (;;) {
        if (router->enabled() != enabled) {
          enabled = router->enabled();
          std::printf("[test] enabled byte %u\n", enabled);
        }
        std::this_thread::sleep_for(5ms);
      }
    });
  }
  ~RouterChild() {
    if (::testing::Test::HasFailure()) std::fprintf(stderr, "router console:\n%s\n", console().c_str());
    kill(pid_, SIGKILL);
    waitExit(pid_);
  }
  RouterChild(const RouterChild&) = delete;
  RouterChild& operator=(const RouterChild&) = delete;

  pid_t pid() const { return pid_; }
  bool alive() const { return kill(pid_, 0) == 0; }
  std::string console() const { return readFile(kConsole); }
  bool waitConsole(const std::string& text, std::chrono::milliseconds timeout = 10s) const {
    return waitFor([&] { return console().find(text) != std::string::npos; }, timeout);
  }

  // Writes a command on channel 4 and waits until the listener has taken it.
  bool send(const Bytes& cmd) {
    const size_t before = countOf(console(), "[OnMessage], len:");
    if (view_->Write(MessageRouter::kCommandChannel, cmd.data(), static_cast<unsigned short>(cmd.size())) !=
        static_cast<int>(cmd.size() + 2))
      return false;
    return waitFor([&] { return countOf(console(), "[OnMessage], len:") > before; }, 10s);
  }

  void postPid(uint32_t pid) {
    const uint8_t le[4] = {static_cast<uint8_t>(pid), static_cast<uint8_t>(pid >> 8), static_cast<uint8_t>(pid >> 16),
                           static_cast<uint8_t>(pid >> 24)};
    view_->Write(MessageRouter::kLuaPidChannel, le, sizeof le);
  }

  // The run-status frame waiting on channel 7, or empty.
  Bytes takeStatus() {
    uint8_t buf[64] = {};
    const int n = view_->ReadNoBlock(MessageRouter::kLuaStatusChannel, buf, sizeof buf);
    return n > 0 ? Bytes(buf, buf + n) : Bytes{};
  }
  Bytes waitStatus(std::chrono::milliseconds timeout) {
    Bytes got;
    waitFor([&] { return !(got = takeStatus()).empty(); }, timeout);
    return got;
  }

 private:
  MessageRouter* view_ = nullptr;
  pid_t pid_ = -1;
};

// The Lua interpreter's stand-in: a shell line run as the test's own child,
// reaped by a waiter thread as soon as it ends. It creates /tmp/lua_ready
// (first removed) before it runs the line's last command.
class LuaStandIn {
 public:
  explicit LuaStandIn(const std::string& setup, const std::string& run = "exec sleep 60") {
    unlink(kReady);
    const std::string script = setup + (setup.empty() ? "" : "; ") + ": > " + kReady + "; " + run;
    pid_ = forkChild([script] {
      execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
      return 127;
    });
    waiter_ = std::thread([this] {
      waitExit(pid_);
      ended_ = true;
    });
  }
  ~LuaStandIn() {
    if (!ended_) kill(pid_, SIGKILL);
    waiter_.join();
  }
  LuaStandIn(const LuaStandIn&) = delete;
  LuaStandIn& operator=(const LuaStandIn&) = delete;

  static constexpr const char* kReady = "/tmp/lua_ready";

  pid_t pid() const { return pid_; }
  bool ended() const { return ended_; }
  bool waitReady(std::chrono::milliseconds timeout) const { return waitFor([] { return fileExists(kReady); }, timeout); }

 private:
  pid_t pid_ = -1;
  std::atomic<bool> ended_{false};
  std::thread waiter_;
};

}  // namespace zelor::test::router
