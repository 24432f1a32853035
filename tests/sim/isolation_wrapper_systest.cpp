// The system-test wrapper: private /run and /sys/class, the host-tool stubs,
// and no process of a test outliving it.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "process.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool alive(pid_t pid) { return kill(pid, 0) == 0; }

}  // namespace

TEST(IsolationWrapper, RunAndSysClassArePrivateAndTheInstallationIsLaidOut) {
  // A fresh tmpfs holds only what the wrapper put there.
  EXPECT_EQ(slurp("/sys/class/thermal/thermal_zone0/temp"), "45000\n");
  struct stat st{};
  EXPECT_EQ(stat("/sys/class/net", &st), -1) << "the host's /sys/class shows through";
  EXPECT_EQ(stat("/run/lan_udhcpc.pid", &st), -1);
  EXPECT_EQ(stat("/zelor/bin/MODE", &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(stat("/zelor/bin/zelorW7Semphore", &st), 0);
  EXPECT_EQ(st.st_size, 0);
  char target[256] = {};
  ASSERT_GT(readlink("/project", target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "/zelor/userdata/project");
  EXPECT_EQ(stat("/project/settings", &st), 0);
  EXPECT_EQ(getpid(), 1) << "not in a PID namespace of its own";
}

TEST(IsolationWrapper, DhcpStubLogsItsArgumentsAndLeavesAProcessThatIgnoresUserSignals) {
  const auto r = zelor::test::runProcess({"/bin/sh", "-c", "udhcpc -i eth2 -b -p /var/run/lan_udhcpc.pid"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const char* log = std::getenv("ZELOR_HOST_TOOLS_LOG");
  ASSERT_NE(log, nullptr);
  EXPECT_NE(slurp(log).find("udhcpc -i eth2 -b -p /var/run/lan_udhcpc.pid"), std::string::npos);
  const pid_t pid = std::atoi(slurp("/var/run/lan_udhcpc.pid").c_str());
  ASSERT_GT(pid, 1);
  ASSERT_TRUE(alive(pid));
  kill(pid, SIGUSR1);
  kill(pid, SIGUSR2);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(alive(pid)) << "the stub ended on SIGUSR1/SIGUSR2";
  kill(pid, SIGKILL);
}

TEST(IsolationWrapper, AProcessATestLeavesRunningEndsWithTheTest) {
  // The wrapper inside the wrapper: its test starts a background process and
  // ends; the background process must be gone too.
  const std::string wrapper = std::string(zelor::test::built::kSourceDir) + "/tests/harness/isolate.sh";
  const auto r = zelor::test::runProcess(
      {wrapper, "/bin/sh", "-c", "sleep 1000 >/dev/null 2>&1 & echo $!"}, {}, std::chrono::seconds(20));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto r2 = zelor::test::runProcess({"/bin/sh", "-c", "pgrep -x sleep || true"});
  EXPECT_EQ(r2.out, "") << "left running: " << r2.out;
}
