// A remote run-script request travels from the data server through the
// message router of segment 12 into brevan, which starts the interpreter.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "install_paths.h"
#include "orphan_reaper.h"
#include "support/brevan_rig.h"
#include "support/data_server_host.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kArgsFile = "/tmp/lua_args.txt";

std::string buildDir() { return fs::path(built::kPlcHost).parent_path().parent_path().string(); }

// brevan's console (the FIFO), read as it comes.
class Console {
 public:
  Console() {
    waitFor([&] { return (fd_ = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK)) >= 0; }, 10s);
  }
  ~Console() {
    if (fd_ >= 0) close(fd_);
  }
  const std::string& text() {
    char buf[65536];
    ssize_t n;
    while (fd_ >= 0 && (n = read(fd_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<std::size_t>(n));
    return text_;
  }
  bool waitForText(const std::string& line, std::chrono::milliseconds timeout) {
    return zelor::test::waitFor([&] { return text().find(line) != std::string::npos; }, timeout);
  }

 private:
  int fd_ = -1;
  std::string text_;
};

// A project whose scripts exist, and the start script that records the
// arguments it was given.
void writeFixtures(const fs::path& project) {
  fs::create_directories(project);
  std::ofstream(project / "prj.json")
      << R"({"cpus": ["src0.lua", "src1.lua"], "global": "global.lua", "teach_point": "point"})";
  for (const char* f : {"src0.lua", "src1.lua", "global.lua", "point.lua"}) std::ofstream(project / f) << "-- fixture\n";
  fs::create_directories(zelor::paths::kLuaDir);
  std::ofstream(std::string(zelor::paths::kLuaDir) + "/zelor.lua")
      << "local f = io.open(\"" << kArgsFile << "\", \"w\")\n"
      << "for i = 1, #arg do f:write(arg[i], \"\\n\") end\n"
      << "f:close()\n";
}

TEST(LuaStart, ARemoteRunRequestStartsTheInterpreterThroughBrevansRouter) {
  OrphanReaper reaper;
  const ProcessResult install = runProcess({std::string(built::kSourceDir) + "/scripts/install-root.sh", buildDir()},
                                           {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  const fs::path project = fs::path(zelor::paths::kProjectDir) / "project" / "luafix";
  writeFixtures(project);

  DataServerHost host;
  ASSERT_TRUE(host.started()) << host.diagnostics();
  Brevan brevan;
  Console console;
  ASSERT_TRUE(brevan.waitForPorts(30s)) << brevan.originalStdout();

  robotMap& map = robotMap::instance();
  const char name[] = "luafix";
  std::memcpy(map.entry() + robot_map::kScriptName, name, sizeof name);
  map.storeWord(robot_map::kRunRequest, 1);

  ASSERT_TRUE(waitFor([] { return readFile(kArgsFile).find("point.lua") != std::string::npos; }, 20s))
      << console.text() << host.diagnostics();
  const std::string dir = project.string() + "/";
  EXPECT_EQ(readFile(kArgsFile), "null\n" + dir + "src0.lua," + dir + "src1.lua\n" + dir + "global.lua\n" + dir +
                                     "point.lua\n");
  EXPECT_TRUE(console.waitForText("[OnMessage], len:", 10s)) << console.text();
  EXPECT_NE(console.text().find("type:1 \n"), std::string::npos) << console.text();
  EXPECT_TRUE(console.waitForText("[MessageRouter::OnMessage] cmd: /zelor/bin/bin/lua /zelor/bin/lua/zelor.lua null \"",
                              10s))
      << console.text();
  EXPECT_EQ(map.loadWord(robot_map::kRunRequest), 0);
  EXPECT_EQ(host.diagnostics().find("Can't find ISubProcess:1"), std::string::npos) << "the Lua kind exists";
  fs::remove_all(project);
  unlink(kArgsFile);
}

}  // namespace
}  // namespace zelor::test
