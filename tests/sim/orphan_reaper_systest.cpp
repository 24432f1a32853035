// The test program is PID 1 of its sandbox: the reaper takes the orphans it
// adopts and leaves its own children to their owners.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fork_child.h"
#include "orphan_reaper.h"
#include "process.h"

namespace {

using namespace std::chrono_literals;

// Zombie children of this process.
int zombies() {
  int n = 0;
  DIR* proc = opendir("/proc");
  while (dirent* e = proc ? readdir(proc) : nullptr) {
    const std::string stat = std::string("/proc/") + e->d_name + "/stat";
    std::FILE* f = std::fopen(stat.c_str(), "r");
    if (f == nullptr) continue;
    char line[512] = {};
    const size_t got = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[got] = '\0';
    const char* close = std::strrchr(line, ')');
    char state = 0;
    long ppid = 0;
    if (close != nullptr && std::sscanf(close + 1, " %c %ld", &state, &ppid) == 2 && state == 'Z' && ppid == getpid())
      ++n;
  }
  if (proc) closedir(proc);
  return n;
}

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return cond();
}

TEST(OrphanReaper, ReapsAdoptedOrphansAndLeavesOwnChildrenToTheirOwners) {
  ASSERT_EQ(getpid(), 1) << "runs as PID 1 of the sandbox";
  zelor::test::OrphanReaper reaper;
  zelor::test::ChildProcess own({"/bin/sh", "-c", "exit 7"});
  const pid_t forked = zelor::test::forkChild([] { return 5; });
  // The shell leaves a background sleep behind: it is adopted by this process.
  ASSERT_EQ(zelor::test::runProcess({"/bin/sh", "-c", "sleep 0.2 &"}).exitCode, 0);
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(waitFor([] { return zombies() <= 2; }, 5s)) << "the orphan is reaped";
  EXPECT_EQ(zombies(), 2) << "the own children wait for their owners";
  EXPECT_EQ(zelor::test::waitExit(forked), 5);
  const int status = own.stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
  EXPECT_EQ(zombies(), 0);
}

}  // namespace
