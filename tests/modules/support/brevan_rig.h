#pragma once

// Starts the real brevan in the test's sandbox and talks to its command ports
// as a client would.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <algorithm>
#include <memory>
#include <mutex>
#include <atomic>
#include <vector>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "built_paths.h"
#include "log/log_line.h"
#include "process.h"
#include "wait_for.h"

namespace zelor::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A port is listening in this network namespace.
inline bool listening(int port) {
  char hex[8];
  std::snprintf(hex, sizeof hex, ":%04X", port);
  std::ifstream in("/proc/net/tcp");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (local.size() > 5 && local.substr(local.size() - 5) == hex && state == "0A") return true;
  }
  return false;
}

// Queues of this sandbox's IPC namespace may hold 4 MiB, as on the
// controller, where brevan may raise its command queues to 2 MiB: log
// channels then keep a start-up's burst of lines instead of dropping all past
// the eighth. Log queues that exist already are enlarged too.
inline bool allowRoomyQueues() {
  constexpr unsigned kRoom = 4 * 1024 * 1024;
  std::ofstream limit("/proc/sys/kernel/msgmnb");
  limit << kRoom << '\n';
  if (!limit.flush()) return false;
  for (int channel = 0; channel < 16; ++channel) {
    const int msq = msgget(ftok("/root/", channel), 0);
    msqid_ds info{};
    if (msq < 0 || msgctl(msq, IPC_STAT, &info) != 0) continue;
    info.msg_qbytes = kRoom;
    msgctl(msq, IPC_SET, &info);
  }
  return true;
}

// Collects one log channel's lines from before the programs start. A channel
// queue holds five lines and drops what does not fit, and a program's
// start-up logs more at once than a reader on a loaded machine takes in time;
// so the recorder makes the queue itself, keeps its byte limit raised (each
// program's sink lowers it when it starts) and waits on it.
class ChannelRecorder {
 public:
  explicit ChannelRecorder(int channel)
      : roomy_(allowRoomyQueues()),
        msq_(msgget(ftok("/root/", channel), IPC_CREAT | 0666)),
        keeper_([this] {
          while (!stopping_) {
            msqid_ds info{};
            if (msgctl(msq_, IPC_STAT, &info) == 0 && info.msg_qbytes < kRoom) {
              info.msg_qbytes = kRoom;
              msgctl(msq_, IPC_SET, &info);
            }
            std::this_thread::sleep_for(50us);
          }
        }),
        thread_([this] {
          spdlog::LogLine line{};
          while (msq_ >= 0) {
            std::memset(line.text, 0, sizeof line.text);
            if (msgrcv(msq_, &line, sizeof line.text, 0, MSG_NOERROR) < 0) {
              if (errno == EINTR) continue;
              break;
            }
            if (line.type == kStopType) break;
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line.text, strnlen(line.text, sizeof line.text));
          }
        }) {}
  ~ChannelRecorder() {
    stopping_ = true;
    keeper_.join();
    spdlog::LogLine stop{kStopType, {}};
    if (msq_ >= 0) msgsnd(msq_, &stop, 1, 0);
    thread_.join();
  }
  std::vector<std::string> lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // Waits until a line holding text has come.
  bool waitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor([&] {
      for (const std::string& line : lines())
        if (line.find(text) != std::string::npos) return true;
      return false;
    }, timeout);
  }

 private:
  static constexpr long kStopType = 0x5707;
  static constexpr unsigned long kRoom = 4 * 1024 * 1024;
  bool roomy_;
  int msq_;
  std::atomic<bool> stopping_{false};
  std::thread keeper_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread thread_;
};

// "signal Broken pipe" or "exit 1" for a program that ended; a running one
// is killed first.
inline std::string howItEnded(ChildProcess& process) {
  const int status = process.stop(SIGKILL);
  if (WIFSIGNALED(status)) return std::string("signal ") + strsignal(WTERMSIG(status));
  return "exit " + std::to_string(WEXITSTATUS(status));
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/brevan_XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// brevan running in its own working directory, its original standard output
// captured in a file there; killed by pid when the object goes.
class Brevan {
 public:
  Brevan() : roomy_(allowRoomyQueues()), process_({built::kBrevan}, ChildOptions{dir_.path(), dir_.path() + "/stdout.txt"}) {}
  ~Brevan() { process_.stop(SIGKILL); }

  bool waitForPorts(std::chrono::milliseconds timeout = 10s) {
    return waitFor([] { return listening(29999) && listening(30003); }, timeout);
  }
  std::string originalStdout() const { return readFile(dir_.path() + "/stdout.txt"); }
  const std::string& workingDir() const { return dir_.path(); }
  ChildProcess& process() { return process_; }

 private:
  bool roomy_;
  TempDir dir_;
  ChildProcess process_;
};

// One TCP client of 127.0.0.1.
class Client {
 public:
  explicit Client(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) close();
  }
  ~Client() { close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return fd_ >= 0; }
  int localPort() const {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
  }

  // Bytes written (a peer that has gone gives fewer, never SIGPIPE).
  std::size_t send(const std::string& text) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < text.size()) {
      const ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    return sent;
  }

  // Reads until size bytes came, the peer closed, or the time is up.
  std::string read(std::size_t size, std::chrono::milliseconds timeout = 2s) {
    std::string got;
    const auto deadline = Clock::now() + timeout;
    while (fd_ >= 0 && got.size() < size) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) != 1) break;
      char buf[4096];
      const ssize_t n = recv(fd_, buf, std::min(sizeof buf, size - got.size()), 0);
      if (n <= 0) {
        closedByPeer_ = true;
        break;
      }
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

  // Everything that comes within the time.
  std::string readFor(std::chrono::milliseconds time) { return read(1 << 20, time); }

  // The exact reply, or what came instead.
  std::string exchange(const std::string& command, const std::string& expected) {
    send(command);
    return read(expected.size());
  }

  // The server ended the connection within the time.
  bool closedWithin(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!closedByPeer_ && Clock::now() < deadline) readFor(50ms);
    return closedByPeer_;
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  bool closedByPeer_ = false;
};

// Connects again and again until a client of the port is served: its
// ServoJ() answered "-1,{},ServoJ();". The time it took, or nothing.
inline std::optional<std::chrono::milliseconds> timeToBeServed(int port, std::chrono::milliseconds timeout) {
  const auto start = Clock::now();
  while (Clock::now() - start < timeout) {
    Client client(port);
    if (client.connected() && client.exchange("ServoJ()", "-1,{},ServoJ();") == "-1,{},ServoJ();") {
      return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
    std::this_thread::sleep_for(20ms);
  }
  return std::nullopt;
}

// A client that holds the port's slot: connections refused while the slot is
// taken are closed at once, so one that stays open was accepted.
inline std::unique_ptr<Client> acceptedClient(int port, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    auto client = std::make_unique<Client>(port);
    if (client->connected() && !client->closedWithin(300ms)) return client;
    std::this_thread::sleep_for(20ms);
  }
  return nullptr;
}

}  // namespace zelor::test
