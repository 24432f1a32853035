#pragma once

// Runs a test body in a forked child process; its result is the exit code.

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "orphan_reaper.h"

namespace zelor::test {

// body() returns the child's exit code; the child never returns into the test.
template <typename Body>
pid_t forkChild(Body body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  registerOwnChild(pid);
  return pid;
}

// Exit code of the child, 128 + signal when a signal ended it, -1 when it
// cannot be waited for.
inline int waitExit(pid_t pid) {
  int status = 0;
  const pid_t reaped = waitpid(pid, &status, 0);
  forgetOwnChild(pid);
  if (reaped != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace zelor::test
