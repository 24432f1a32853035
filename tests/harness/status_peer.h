#pragma once

// A second process on the status memory: forked while the test is still
// single-threaded, it attaches through robotMap::instance() only when asked,
// then reads and writes words on the test's behalf. Link with zelor_common.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/ipc/robot_map.h"
#include "fork_child.h"

namespace zelor::test {

class StatusPeer {
 public:
  enum Op : std::int32_t { kAttach, kRead8, kWrite8, kRead16, kWrite16, kRead32, kWrite32, kExit };

  // stdoutPath: where the peer's standard output goes (empty: inherited).
  explicit StatusPeer(const std::string& stdoutPath = {}) {
    int toPeer[2];
    int fromPeer[2];
    if (pipe(toPeer) != 0 || pipe(fromPeer) != 0) return;
    pid_ = forkChild([&] {
      close(toPeer[1]);
      close(fromPeer[0]);
      if (!stdoutPath.empty()) {
        const int fd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, STDOUT_FILENO);
      }
      serve(toPeer[0], fromPeer[1]);
      return 0;
    });
    close(toPeer[0]);
    close(fromPeer[1]);
    out_ = toPeer[1];
    in_ = fromPeer[0];
  }
  ~StatusPeer() {
    if (pid_ > 0) {
      call(kExit, 0, 0);
      kill(pid_, SIGKILL);
      waitExit(pid_);
    }
    if (out_ >= 0) close(out_);
    if (in_ >= 0) close(in_);
  }
  StatusPeer(const StatusPeer&) = delete;
  StatusPeer& operator=(const StatusPeer&) = delete;

  // Attaches (blocking like the system's programs); 0 once attached.
  std::int64_t attach() { return call(kAttach, 0, 0); }
  std::int64_t read8(std::size_t offset) { return call(kRead8, offset, 0); }
  std::int64_t read16(std::size_t offset) { return call(kRead16, offset, 0); }
  std::int64_t read32(std::size_t offset) { return call(kRead32, offset, 0); }
  void write8(std::size_t offset, std::uint8_t v) { call(kWrite8, offset, v); }
  void write16(std::size_t offset, std::uint16_t v) { call(kWrite16, offset, v); }
  void write32(std::size_t offset, std::int32_t v) { call(kWrite32, offset, v); }

  // Sends an op without waiting for its answer; answer() collects it.
  bool post(Op op, std::size_t offset, std::int64_t value) {
    const Request r{op, 0, offset, value};
    return write(out_, &r, sizeof r) == static_cast<ssize_t>(sizeof r);
  }
  std::int64_t answer() {
    std::int64_t result = -1;
    if (read(in_, &result, sizeof result) != static_cast<ssize_t>(sizeof result)) return -1;
    return result;
  }
  pid_t pid() const { return pid_; }

 private:
  struct Request {
    std::int32_t op;
    std::int32_t pad;
    std::uint64_t offset;
    std::int64_t value;
  };

  std::int64_t call(Op op, std::size_t offset, std::int64_t value) { return post(op, offset, value) ? answer() : -1; }

  static void serve(int in, int out) {
    Request r{};
    while (read(in, &r, sizeof r) == static_cast<ssize_t>(sizeof r)) {
      std::int64_t result = 0;
      if (r.op == kExit) break;
      char* base = robotMap::instance().entry();
      switch (r.op) {
        case kRead8: result = static_cast<std::uint8_t>(base[r.offset]); break;
        case kWrite8: base[r.offset] = static_cast<char>(r.value); break;
        case kRead16: {
          std::uint16_t v;
          std::memcpy(&v, base + r.offset, sizeof v);
          result = v;
          break;
        }
        case kWrite16: {
          const auto v = static_cast<std::uint16_t>(r.value);
          std::memcpy(base + r.offset, &v, sizeof v);
          break;
        }
        case kRead32: result = robotMap::instance().loadWord(r.offset); break;
        case kWrite32: robotMap::instance().storeWord(r.offset, static_cast<std::int32_t>(r.value)); break;
        default: break;
      }
      std::fflush(stdout);
      if (write(out, &result, sizeof result) != static_cast<ssize_t>(sizeof result)) break;
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
};

}  // namespace zelor::test
