#pragma once

// Reaps the processes that a test program adopts as PID 1 of its isolation
// namespace (orphans of "... &" command lines run by the programs under
// test): an adopted zombie still answers kill(pid, 0). The test's own
// children (forkChild, ChildProcess, runProcess) are registered and left to
// their owners.

#include <sys/types.h>

#include <atomic>
#include <thread>

namespace zelor::test {

// The registry of children that their owner waits for by pid.
void registerOwnChild(pid_t pid);
void forgetOwnChild(pid_t pid);

class OrphanReaper {
 public:
  OrphanReaper();
  ~OrphanReaper();
  OrphanReaper(const OrphanReaper&) = delete;
  OrphanReaper& operator=(const OrphanReaper&) = delete;

 private:
  void run();

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zelor::test
