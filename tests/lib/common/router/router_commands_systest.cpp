// The control program's router: commands on channel 4, the Lua process on
// channels 6 and 7, with the router in a child process and the Lua program
// played by processes of the test.
#include <signal.h>
#include <sys/wait.h>

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "orphan_reaper.h"
#include "router_rig.h"

namespace {

using namespace zelor::test::router;
using zelor::test::OrphanReaper;

// Generous: the machine running the tests may be loaded.
constexpr auto kStatusWait = 5s;
constexpr auto kEvent = 10s;
constexpr auto kQuiet = 300ms;

std::string pidLine(pid_t pid) { return "****** lua pid : " + std::to_string(pid) + " ******"; }

class RouterCommands : public ::testing::Test {
 protected:
  // The router's process is forked while the test has no other thread.
  RouterChild router_;
  OrphanReaper reaper_;

  // Posts the stand-in's pid and waits until the router reports it running.
  void adopt(const LuaStandIn& lua) {
    ASSERT_TRUE(lua.waitReady(kEvent));
    router_.postPid(static_cast<uint32_t>(lua.pid()));
    ASSERT_EQ(router_.waitStatus(kStatusWait), (Bytes{0x00, 0x01, 0x01}));
  }
};

TEST_F(RouterCommands, RunsACommandLineOnceUntilTheProgramStops) {
  ASSERT_TRUE(router_.send(command(1, "echo one > /tmp/r1 &")));
  EXPECT_TRUE(waitFor([] { return fileExists("/tmp/r1"); }, kEvent));
  EXPECT_TRUE(router_.waitConsole("[MessageRouter::OnMessage] cmd: echo one > /tmp/r1 &\n"));

  // The first line set the running flag: the second runs nothing.
  ASSERT_TRUE(router_.send(command(1, "echo two > /tmp/r2 &")));
  EXPECT_TRUE(router_.waitConsole("lua is ing! not restart!"));
  EXPECT_FALSE(waitFor([] { return fileExists("/tmp/r2"); }, kQuiet));

  // A stop with no process known clears the flag: the next line runs.
  ASSERT_TRUE(router_.send(command(2)));
  ASSERT_TRUE(router_.send(command(1, "echo three > /tmp/r3 &")));
  EXPECT_TRUE(waitFor([] { return fileExists("/tmp/r3"); }, kEvent));
  EXPECT_EQ(countOf(router_.console(), "[OnMessage], len:"), 4u);
}

TEST_F(RouterCommands, PublishesTheLuaProcessRunStatusOnceEachWay) {
  LuaStandIn lua("");
  ASSERT_TRUE(lua.waitReady(kEvent));
  router_.postPid(static_cast<uint32_t>(lua.pid()));
  EXPECT_EQ(router_.waitStatus(kStatusWait), (Bytes{0x00, 0x01, 0x01}));
  EXPECT_TRUE(router_.waitConsole(pidLine(lua.pid())));
  EXPECT_TRUE(router_.waitStatus(kQuiet).empty());

  kill(lua.pid(), SIGKILL);
  ASSERT_TRUE(waitFor([&] { return lua.ended(); }, kEvent));
  EXPECT_EQ(router_.waitStatus(kStatusWait), (Bytes{0x00, 0x01, 0x00}));
  EXPECT_TRUE(router_.waitConsole("[STATUS]:Lua script process[" + std::to_string(lua.pid()) + "] stopped!"));
  EXPECT_TRUE(router_.waitStatus(kQuiet).empty());
  EXPECT_EQ(countOf(router_.console(), "notify runstatus"), 2u);
}

TEST_F(RouterCommands, StopsTheLuaProcessPolitelyThenByForce) {
  struct Row {
    const char* script;
    bool ignoresUsr1;
  };
  const Row rows[] = {
      {"", false},
      {"trap '' USR1", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    LuaStandIn lua(row.script);
    adopt(lua);
    const std::string pid = std::to_string(lua.pid());
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(router_.send(command(2)));
    EXPECT_TRUE(router_.waitConsole("[MessageRouter::OnMessage] kill process[" + pid + "]save\n"));
    EXPECT_TRUE(waitFor([&] { return lua.ended(); }, kEvent));
    const auto gone = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(router_.waitStatus(kStatusWait), (Bytes{0x00, 0x01, 0x00}));
    const bool forced = router_.waitConsole("kill process[" + pid + "]stop\n", row.ignoresUsr1 ? kEvent : kQuiet);
    EXPECT_EQ(forced, row.ignoresUsr1);
    // The forced stop comes only after the grace time.
    if (row.ignoresUsr1) {
      EXPECT_GE(gone, 250ms);
    }
  }
}

TEST_F(RouterCommands, RebootsClearsTheEnabledByteAndRunsNetworkCommands) {
  ASSERT_TRUE(router_.send(command(3)));
  const std::string log = std::getenv("ZELOR_HOST_TOOLS_LOG") ? std::getenv("ZELOR_HOST_TOOLS_LOG") : "";
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(waitFor([&] { return countOf(readFile(log), "reboot") == 1; }, kEvent));

  EXPECT_FALSE(router_.waitConsole("[test] enabled byte", 50ms));
  ASSERT_TRUE(router_.send(command(4)));
  EXPECT_TRUE(router_.waitConsole("[test] enabled byte 0\n"));

  ASSERT_TRUE(router_.send(command(6, "echo net > /tmp/n")));
  EXPECT_TRUE(waitFor([] { return readFile("/tmp/n") == "net\n"; }, kEvent));
  EXPECT_TRUE(router_.waitConsole("do SET_NET cmd: echo net > /tmp/n.\n"));

  // Unknown types are ignored.
  ASSERT_TRUE(router_.send(command(5, "echo five > /tmp/five")));
  EXPECT_FALSE(waitFor([] { return fileExists("/tmp/five"); }, kQuiet));
  EXPECT_EQ(countOf(readFile(log), "reboot"), 1u);
}

TEST_F(RouterCommands, OverlongCommandLinesRunNothing) {
  struct Row {
    uint16_t type;
    size_t size;
    const char* marker;
    const char* refusal;
  };
  const Row rows[] = {
      {1, 1030, "/tmp/big1", "command line of 1030 bytes refused"},
      {6, 600, "/tmp/big6", "network command of 600 bytes refused"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.refusal);
    std::string line = std::string("touch ") + row.marker + " #";
    line.resize(row.size, 'x');
    ASSERT_TRUE(router_.send(command(row.type, line)));
    EXPECT_TRUE(router_.waitConsole(row.refusal));
    EXPECT_FALSE(waitFor([&] { return fileExists(row.marker); }, kQuiet));
    EXPECT_EQ(countOf(router_.console(), row.refusal), 1u);
  }
  EXPECT_EQ(countOf(router_.console(), "cmd: touch"), 0u);
  // The refused start left the running flag clear; the largest line runs.
  std::string largest = "echo ok > /tmp/largest #";
  largest.resize(1024, 'y');
  ASSERT_TRUE(router_.send(command(1, largest)));
  EXPECT_TRUE(waitFor([] { return fileExists("/tmp/largest"); }, kEvent));
}

TEST_F(RouterCommands, PidsThatWouldSignalOthersAreNotTaken) {
  const uint32_t pids[] = {0xFFFFFFFFu, 0x80000000u, static_cast<uint32_t>(router_.pid())};
  for (const uint32_t pid : pids) {
    SCOPED_TRACE(pid);
    router_.postPid(pid);
    EXPECT_TRUE(router_.waitConsole("lua pid " + std::to_string(pid) + " refused"));
    ASSERT_TRUE(router_.send(command(2)));
    EXPECT_FALSE(router_.waitConsole("kill process[", kQuiet));
    EXPECT_TRUE(router_.alive());
    EXPECT_TRUE(router_.takeStatus().empty());
  }
}

}  // namespace
