// The run command's installation and start, in the sandbox's own
// installation root: the data server in the PLC-runtime stand-in, brevan
// beside it, brevan's console on the terminal, and a stop that ends them all.
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "install_paths.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;

// The build tree the programs were built in (the stand-in host lies in its sim/).
std::string buildDir() { return fs::path(built::kPlcHost).parent_path().parent_path().string(); }

std::string script(const char* name) { return std::string(built::kSourceDir) + "/scripts/" + name; }

// Programs of that name running in the sandbox's PID namespace.
std::string running(const char* name) {
  return runProcess({"/bin/sh", "-c", std::string("pgrep -x ") + name + " || true"}).out;
}

TEST(RunCommand, InstallsAndStartsBrevanBesideTheDataServer) {
  allowRoomyQueues();
  const ProcessResult install = runProcess({script("install-root.sh"), buildDir()}, {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  for (const char* file : {"brevan", "ombrel", "tramlet", "libquillon.so", "libvantrel.so", "libutils.so",
                           "libquillonPlugin.so"}) {
    EXPECT_TRUE(fs::exists(fs::path(zelor::paths::kBin) / file)) << file;
  }
  EXPECT_TRUE(fs::exists(std::string(zelor::paths::kProjectDir) + "/.installed"));
  EXPECT_NE(readFile(std::string(zelor::paths::kProjectDir) + "/settings/function/remoteControl.json").find("\"tcp\""),
            std::string::npos);

  const std::string terminal = "/tmp/run_terminal.txt";
  {
    ChildProcess run({script("run-processes.sh"), buildDir()}, ChildOptions{"", terminal});
    ASSERT_TRUE(waitFor([] { return listening(29999) && listening(30003); }, 30s))
        << "brevan never listened\n" << readFile(terminal) << readFile("/tmp/zelor_quillon.log");

    // Every command is refused until the data server has copied the
    // project's control mode "tcp"; from then on an unknown name is looked up.
    Client client(29999);
    ASSERT_TRUE(client.connected());
    std::string reply;
    ASSERT_TRUE(waitFor(
        [&] {
          reply = client.exchange("Foo()", "-10000,{},Foo();");
          return reply == "-10000,{},Foo();";
        },
        30s))
        << "last reply: " << reply << "\n" << readFile("/tmp/zelor_quillon.log");
    // The data server's console is a FIFO, so its lines arrive in blocks.
    EXPECT_TRUE(waitFor([] { return readFile("/tmp/zelor_quillon.log").find("Quillon started") != std::string::npos; },
                        10s));

    // brevan's console lines reach the terminal, marked as its own.
    const std::string acceptLine =
        "port:29999 accepted connection from ip:127.0.0.1 port:" + std::to_string(client.localPort());
    std::string line;
    EXPECT_TRUE(waitFor(
        [&] {
          std::istringstream lines(readFile(terminal));
          while (std::getline(lines, line))
            if (line.find(acceptLine) != std::string::npos) return true;
          return false;
        },
        5s))
        << readFile(terminal);
    EXPECT_EQ(line.rfind("[brevan] ", 0), 0u) << line;
    // brevan runs in the installation: its temp.txt lies there.
    EXPECT_TRUE(fs::exists(std::string(zelor::paths::kBin) + "/temp.txt"));

    const int status = run.stop(SIGTERM, 15s);
    EXPECT_TRUE(WIFEXITED(status)) << status;
  }
  EXPECT_NE(readFile(terminal).find("controller stopped"), std::string::npos) << readFile(terminal);
  for (const char* name : {"brevan", "zelor-plc-host", "zelor-logview"}) {
    EXPECT_TRUE(waitFor([&] { return running(name).empty(); }, 5s)) << name << " left running";
  }
  EXPECT_FALSE(listening(29999));
  fs::remove(terminal);
  fs::remove("/tmp/zelor_quillon.log");
  fs::remove("/tmp/zelor_quillon.log.1");
}

}  // namespace
}  // namespace zelor::test
