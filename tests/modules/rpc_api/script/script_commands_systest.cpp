// RunScript, StopScript, PauseScript and ContinueScript through port 29999,
// with a stand-in interpreter installed in the sandbox.
#include <csignal>

#include "rpc_api/control/control_rig.h"

namespace zelor::test {
namespace {

using namespace ids;
using Ids = std::vector<std::uint16_t>;

const std::string kStubLog = "/tmp/lua_stub.log";

class ScriptCommands : public ControlRig {
 protected:
  void SetUp() override {
    const std::filesystem::path interpreter = zelor::paths::kLuaInterpreter;
    std::filesystem::create_directories(interpreter.parent_path());
    std::filesystem::copy_file(std::string(built::kSourceDir) + "/sim/lua_stub/lua", interpreter,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(interpreter, std::filesystem::perms::owner_all);
    ControlRig::SetUp();
  }

  static std::string stubLog() { return readFile(kStubLog); }
  static bool stubStarted() { return std::filesystem::exists(kStubLog); }
};

TEST_F(ScriptCommands, RunScriptStartsTheInterpreterAndStopScriptEndsIt) {
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("RunScript(demo)", "0,{},RunScript(demo);", sent), "0,{},RunScript(demo);");
  ASSERT_EQ(idsOf(sent), (Ids{kControlType, kStopClear, kStartQueue}));
  EXPECT_EQ(sent[0].params, Bytes{1});
  EXPECT_EQ(word(robot_map::kControlType), 1);
  EXPECT_EQ(word(robot_map::kScriptStatus), 1);
  const std::string dir = std::string(zelor::paths::kProjectDir) + "/project/demo/";
  const std::string arguments = std::string(zelor::paths::kLuaDir) + "/zelor.lua\nnull\n" + dir + "src0.lua," + dir +
                                "src1.lua\n" + dir + "global.lua\n" + dir + "point.json.lua\n";
  ASSERT_TRUE(waitFor([&] { return stubLog() == arguments; }, 5s)) << stubLog();

  EXPECT_EQ(call("RunScript(demo)", "-1,{},RunScript(demo);", sent), "-1,{},RunScript(demo);");
  EXPECT_TRUE(sent.empty()) << describe(sent);

  setWord(robot_map::kIsErr, 1);
  EXPECT_EQ(call("StopScript()", "-1,{},StopScript();"), "-1,{},StopScript();");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(stubLog().find("SIGTERM"), std::string::npos) << "the script still runs";
  setWord(robot_map::kIsErr, 0);

  const auto start = Clock::now();
  EXPECT_EQ(call("StopScript()", "0,{},StopScript();", sent), "0,{},StopScript();");
  EXPECT_GE(Clock::now() - start, 160ms);
  EXPECT_EQ(idsOf(sent), (Ids{kStopClear, kStartQueue}));
  EXPECT_TRUE(waitFor([] { return stubLog().find("SIGTERM\n") != std::string::npos; }, 3s)) << stubLog();
  EXPECT_EQ(word(robot_map::kScriptStatus), 0);
}

TEST_F(ScriptCommands, DisableRobotEndsTheRunningScript) {
  ASSERT_EQ(call("RunScript(demo)", "0,{},RunScript(demo);"), "0,{},RunScript(demo);");
  ASSERT_TRUE(waitFor([] { return stubStarted(); }, 5s));
  peer_.setReadSequence(kEnableStatus, {{0}, {0}, {1}});
  EXPECT_EQ(call("DisableRobot()", "0,{},DisableRobot();", 8s), "0,{},DisableRobot();");
  EXPECT_TRUE(waitFor([] { return stubLog().find("SIGTERM\n") != std::string::npos; }, 3s)) << stubLog();
  EXPECT_EQ(word(robot_map::kScriptStatus), 0);
  EXPECT_EQ(word(robot_map::kControlType), 2);
}

TEST_F(ScriptCommands, RunScriptRefusesAndStartsNothing) {
  const std::filesystem::path demo = projectPath("project/demo");
  struct Row {
    std::string name;
    std::string command;
    std::string reply;
    std::function<void()> setUp;
    std::function<void()> undo;
  };
  const std::vector<Row> rows = {
      {"no argument", "RunScript()", "-20000", [] {}, [] {}},
      {"two arguments", "RunScript(a,b)", "-20000", [] {}, [] {}},
      {"running", "RunScript(demo)", "-1", [] { setWord(robot_map::kScriptStatus, 1); },
       [] { setWord(robot_map::kScriptStatus, 0); }},
      {"paused", "RunScript(demo)", "-1", [] { setWord(robot_map::kScriptStatus, 2); },
       [] { setWord(robot_map::kScriptStatus, 0); }},
      {"missing script", "RunScript(demo)", "-1", [demo] { std::filesystem::remove(demo / "src1.lua"); },
       [demo] { writeText(demo / "src1.lua", "--\n"); }},
      {"no scripts", "RunScript(demo)", "-1",
       [demo] { writeText(demo / "prj.json", R"({"cpus": [], "global": "global.lua", "teach_point": "point.json"})"); },
       [] { writeLuaProject("demo"); }},
      {"no teach point", "RunScript(demo)", "-1",
       [demo] { writeText(demo / "prj.json", R"({"cpus": ["src0.lua"], "global": "global.lua"})"); },
       [] { writeLuaProject("demo"); }},
      {"missing global", "RunScript(demo)", "-1", [demo] { std::filesystem::remove(demo / "global.lua"); },
       [] { writeLuaProject("demo"); }},
      {"unknown project", "RunScript(nothing)", "-1", [] {}, [] {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.setUp();
    const std::string expected = row.reply + ",{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    EXPECT_TRUE(sent.empty()) << describe(sent);
    row.undo();
  }
  // A folder name that would break out of the command line's quotes.
  const std::string hostile = "q\";touch$IFS'pwned';\"";
  writeLuaProject(hostile);
  const std::string command = "RunScript(" + hostile + ")";
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call(command, "-1,{}," + command + ";", sent), "-1,{}," + command + ";");
  EXPECT_TRUE(sent.empty()) << describe(sent);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(stubStarted());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(brevan_.workingDir()) / "pwned"));
  EXPECT_EQ(word(robot_map::kScriptStatus), 0);
}

TEST_F(ScriptCommands, PauseAndContinue) {
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("PauseScript()", "-1,{},PauseScript();", sent), "-1,{},PauseScript();");
  EXPECT_TRUE(sent.empty()) << describe(sent);

  setWord(robot_map::kScriptStatus, 1);
  EXPECT_EQ(call("PauseScript()", "0,{},PauseScript();", sent), "0,{},PauseScript();");
  ASSERT_EQ(idsOf(sent), (Ids{kStopQueue, kExterAxis}));
  EXPECT_EQ(sent[1].ctrl, kWriteNow);
  EXPECT_EQ(sent[1].params, concat(bytesOf(std::uint32_t{19}), Bytes(8, 0)));
  EXPECT_EQ(word(robot_map::kScriptStatus), 2);

  EXPECT_EQ(call("ContinueScript()", "0,{},ContinueScript();", sent), "0,{},ContinueScript();");
  ASSERT_EQ(idsOf(sent), (Ids{kControlType, kStartQueue, kExterAxis}));
  EXPECT_EQ(sent[2].params, concat(bytesOf(std::uint32_t{20}), Bytes(8, 0)));
  EXPECT_EQ(word(robot_map::kScriptStatus), 1);
  EXPECT_EQ(word(robot_map::kControlType), 1);

  // Running, not paused: refused, the control type already set.
  setWord(robot_map::kControlType, 2);
  EXPECT_EQ(call("ContinueScript()", "-1,{},ContinueScript();", sent), "-1,{},ContinueScript();");
  EXPECT_EQ(idsOf(sent), Ids{kControlType});
  EXPECT_EQ(word(robot_map::kControlType), 1);
  EXPECT_EQ(call("ContinueScript()", "-1,{},ContinueScript();", sent), "-1,{},ContinueScript();");
  EXPECT_TRUE(sent.empty()) << describe(sent);

  // Lost effect packets.
  peer_.setUnansweredNext(kStopQueue, kWriteNow, 1);
  EXPECT_EQ(call("PauseScript()", "-1,{},PauseScript();", sent), "-1,{},PauseScript();");
  EXPECT_EQ(idsOf(sent), (Ids{kStopQueue, kExterAxis}));
  peer_.setUnansweredNext(kStartQueue, kWriteNow, 1);
  EXPECT_EQ(call("ContinueScript()", "-1,{},ContinueScript();", sent), "-1,{},ContinueScript();");
  EXPECT_EQ(idsOf(sent), (Ids{kStartQueue, kExterAxis}));
  peer_.setUnansweredNext(kStopClear, kWriteNow, 1);
  EXPECT_EQ(call("StopScript()", "-1,{},StopScript();", sent), "-1,{},StopScript();");
  EXPECT_EQ(idsOf(sent), (Ids{kStopClear, kStartQueue}));
}

}  // namespace
}  // namespace zelor::test
