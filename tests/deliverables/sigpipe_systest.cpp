// A peer that closes its connection while a reply is being written must not
// end the processes that serve sockets: the control program and the PLC
// runtime's process once it has loaded the data server ignore SIGPIPE.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "fork_child.h"
#include "process.h"

namespace {

using namespace std::chrono_literals;

// The process's ignored-signal mask from /proc, 0 when unreadable.
unsigned long long ignoredSignals(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigIgn:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  }
  return 0;
}

bool ignoresSigpipe(pid_t pid) { return (ignoredSignals(pid) >> (SIGPIPE - 1)) & 1u; }

// Writes into a pipe whose reader is gone: 0 when the write failed with EPIPE
// and the process lives on (a default SIGPIPE ends it before it can tell).
int writeToClosedPipe() {
  int fds[2];
  if (pipe(fds) != 0) return 2;
  close(fds[0]);
  const char byte = 'x';
  const ssize_t n = write(fds[1], &byte, 1);
  const int error = errno;
  close(fds[1]);
  return n == -1 && error == EPIPE ? 0 : 3;
}

}  // namespace

TEST(Sigpipe, ControlProgramIgnoresItFromStartUp) {
  // Started with the default action, as a service manager would start it.
  std::signal(SIGPIPE, SIG_DFL);
  zelor::test::ChildProcess brevan({zelor::test::built::kBrevan});
  ASSERT_GT(brevan.pid(), 0);
  const auto end = std::chrono::steady_clock::now() + 10s;
  bool ignored = false;
  while (!(ignored = ignoresSigpipe(brevan.pid())) && brevan.running() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(ignored) << "brevan still has SIGPIPE's default action";
  EXPECT_TRUE(brevan.running()) << "brevan ended";
}

// The host process loads the data server, starts it (as the PLC runtime does
// with its parameter-creation call) and then writes to a connection whose
// peer has gone. Loading alone changes nothing, and without the data server
// the same write ends the process, which shows the check can fail.
TEST(Sigpipe, HostThatStartedTheDataServerSurvivesAWriteToAClosedPeer) {
  enum class Host { kNothingLoaded, kLoaded, kStarted };
  struct Row {
    const char* name;
    Host host;
    int expected;  // the child's exit code, 128 + signal when one ended it
  };
  const Row rows[] = {
      {"data server started", Host::kStarted, 0},
      {"data server loaded, not started", Host::kLoaded, 128 + SIGPIPE},
      {"nothing loaded", Host::kNothingLoaded, 128 + SIGPIPE},
  };
  for (const Row& row : rows) {
    const pid_t child = zelor::test::forkChild([&] {
      std::signal(SIGPIPE, SIG_DFL);
      if (row.host != Host::kNothingLoaded) {
        if (dlopen(zelor::test::built::kUtils, RTLD_NOW | RTLD_GLOBAL) == nullptr) return 10;
        if (dlopen(zelor::test::built::kQuillon, RTLD_NOW | RTLD_GLOBAL) == nullptr) return 11;
      }
      if (row.host == Host::kStarted) {
        using CreateFn = int (*)(void*);
        auto create = reinterpret_cast<CreateFn>(dlsym(RTLD_DEFAULT, "RTSCreateParameter"));
        if (create == nullptr) return 12;
        // The child's standard output goes into the data server's FIFO from here on.
        alignas(8) static unsigned char record[4096];
        create(record);
      }
      return writeToClosedPipe();
    });
    ASSERT_GT(child, 0) << row.name;
    EXPECT_EQ(zelor::test::waitExit(child), row.expected) << row.name;
  }
}
