// The run command's slide-rail option: the simulated drive and the installed
// driver beside the data server, the marker while they run, nothing after.
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/tramlet_rig.h"

using namespace zelor::test;

namespace {

namespace fs = std::filesystem;

std::string buildDir() { return fs::path(built::kPlcHost).parent_path().parent_path().string(); }
std::string script(const char* name) { return std::string(built::kSourceDir) + "/scripts/" + name; }
// Programs of that name in the sandbox's PID namespace. This test program is
// its first process: orphans that ended (a sanitizer's helper task killed
// with its program) are reaped first, so that only live ones count.
std::string running(const char* name) {
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  return runProcess({"/bin/sh", "-c", std::string("pgrep -x ") + name + " || true"}).out;
}

}  // namespace

TEST(TramletRun, SlideOptionStartsDriveAndDriver) {
  const ProcessResult install = runProcess({script("install-root.sh"), buildDir()}, {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

  const std::string terminal = "/tmp/run_terminal.txt";
  {
    setenv("ZELOR_SIM_SLIDE", "1", 1);
    ChildProcess run({script("run-processes.sh"), buildDir()}, ChildOptions{"", terminal});
    unsetenv("ZELOR_SIM_SLIDE");
    // The data server's kernel makes the link objects; the driver then
    // configures the drive from the default project.
    EXPECT_TRUE(waitFor([&] { return readText(terminal).find("[tramlet] paramInit:lead=") != std::string::npos; },
                        30s))
        << readText(terminal);
    EXPECT_TRUE(TramletRig::markerPresent());
    EXPECT_FALSE(running("zelor-slide-dri").empty());
    EXPECT_FALSE(running("tramlet").empty());

    const int status = run.stop(SIGINT, 30s);
    EXPECT_TRUE(WIFEXITED(status)) << status;
  }
  EXPECT_NE(readText(terminal).find("controller stopped"), std::string::npos) << readText(terminal);
  for (const char* name : {"tramlet", "zelor-slide-dri", "zelor-plc-host", "brevan"}) {
    EXPECT_TRUE(waitFor([&] { return running(name).empty(); }, 5s)) << name << " left running";
  }
  EXPECT_FALSE(TramletRig::markerPresent());
  fs::remove(terminal);
}
