// Whether a lock holder can still give its lock back.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/transport/holder_liveness.h"
#include "fork_child.h"

namespace {

using zelor::common::transport::HolderGone;

// A child that sleeps until killed.
pid_t sleeper() {
  return zelor::test::forkChild([] {
    for (;;) pause();
    return 0;
  });
}

}  // namespace

TEST(HolderLiveness, OnlyEndedProcessesAreGone) {
  EXPECT_FALSE(HolderGone(getpid())) << "this process";
  EXPECT_FALSE(HolderGone(0)) << "no holder recorded";
  EXPECT_FALSE(HolderGone(-1)) << "not a pid";
  EXPECT_FALSE(HolderGone(1)) << "a process of another owner may exist without being signalable";

  const pid_t child = sleeper();
  ASSERT_GT(child, 0);
  EXPECT_FALSE(HolderGone(child)) << "running";
  ASSERT_EQ(kill(child, SIGSTOP), 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WSTOPPED | WNOWAIT), 0);
  EXPECT_FALSE(HolderGone(child)) << "stopped";
  ASSERT_EQ(kill(child, SIGKILL), 0);
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
  EXPECT_TRUE(HolderGone(child)) << "ended, waiting to be reaped";
  EXPECT_EQ(zelor::test::waitExit(child), 128 + SIGKILL);
  EXPECT_TRUE(HolderGone(child)) << "ended and reaped";
}
