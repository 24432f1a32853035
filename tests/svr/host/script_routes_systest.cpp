// debugger/start, stop, state, globalVar, getSuspend and stepIn, and the move
// to the stop pose, against the real data server with the recording kernel;
// the Lua side is watched on the message router's channels 4 and 7.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "support/recording_host.h"

namespace {

using namespace std::chrono_literals;
using namespace zelor::test;
using Trail = std::vector<std::string>;

std::string peerRead(int channel) {
  const ProcessResult r = runProcess({built::kRouterPeer, "read", std::to_string(channel)});
  return r.out;
}

// Every frame waiting on the channel, as text (non-printing bytes as '.').
std::string channelText(int channel) {
  std::string all;
  for (int i = 0; i < 8; ++i) {
    const std::string hexLine = peerRead(channel);
    if (hexLine.empty() || hexLine == "empty\n") break;
    std::string bytes;
    for (std::size_t p = 0; p + 1 < hexLine.size(); p += 3) {
      const char c = static_cast<char>(std::stoi(hexLine.substr(p, 2), nullptr, 16));
      bytes.push_back(c >= 0x20 && c < 0x7f ? c : '.');
    }
    all += bytes + "\n";
  }
  return all;
}

std::string projectDir() { return std::string(zelor::paths::kProjectDir) + "/project"; }

class ScriptRoutes : public RecordingHost {
 protected:
  void SetUp() override {
    RecordingHost::SetUp();
    mkdir((projectDir() + "/demo").c_str(), 0755);
    files_.write("project/demo/prj.json",
                 "{\"cpus\": [\"src0.lua\",\"src1.lua\"], \"global\": \"global.lua\", \"teach_point\": \"point\"}");
    for (const char* f : {"src0.lua", "src1.lua", "global.lua", "point.lua"}) {
      files_.write(std::string("project/demo/") + f, "-- demo\n");
    }
    unlink("/tmp/p");
  }
  void TearDown() override {
    RecordingHost::TearDown();
    unlink((projectDir() + "/globalVar.json").c_str());
  }
  std::size_t mark() { return rec::loggedPackets().size(); }
  // The packets since `from`, without the duties' reads.
  Trail sentSince(std::size_t from) {
    Trail trail;
    for (const std::string& id : packetTrail(from)) {
      if (id != "41" && id != "42" && id != "26" && id != "27") trail.push_back(id);
    }
    return trail;
  }
  bool waitForTrail(std::size_t from, const Trail& expected, std::chrono::milliseconds timeout = 5s) {
    return pollUntil([&] { return sentSince(from) == expected; }, timeout);
  }
  // Whether the data server's own alarms (the exchange's first alarm list)
  // hold `id`.
  bool hasAlarm(int id) {
    const Json::Value reply = parseJson(get("/protocol/exchange").body);
    const Json::Value& own = reply["alarms"][0];
    if (!own.isArray()) return false;
    for (const Json::Value& a : own) {
      if (a.isInt() && a.asInt() == id) return true;
    }
    return false;
  }
  void expectNoStart(std::size_t from) {
    const Trail trail = sentSince(from);
    ASSERT_FALSE(trail.empty());
    EXPECT_EQ(trail.front(), "47");
    for (const char* id : {"240", "52", "80", "81"}) EXPECT_EQ(std::count(trail.begin(), trail.end(), id), 0) << id;
    EXPECT_EQ(channelText(4).find("lua"), std::string::npos);
  }
  // Start-up fills the log queue; drained, the lines that follow are kept.
  void startDrained() {
    start();
    countLines("");
  }

  // Removes the demo folder after files_ has removed its files.
  struct DemoFolder {
    ~DemoFolder() { rmdir((projectDir() + "/demo").c_str()); }
  } demoFolder_;
  ProjectFiles files_;
};

TEST_F(ScriptRoutes, StartPreparesTheKernelAndStartsTheInterpreter) {
  startDrained();
  robotMap& map = robotMap::instance();
  EXPECT_EQ(get("/debugger/state").body, "{\n\"value\":\"stop\",\n\"prjname\":\"\"\n}");
  channelText(4);
  const std::size_t from = mark();
  const HttpReply r = post("/debugger/start", "{\"project\":\"demo\"}");
  EXPECT_EQ(r.body, "{\"status\":true}");
  ASSERT_TRUE(waitForTrail(from, {"47", "248", "240", "52", "80", "81"})) << testing::PrintToString(sentSince(from));
  EXPECT_EQ(rec::loggedPackets(47).back().params, std::vector<std::uint8_t>{1});
  EXPECT_EQ(map.loadWord(robot_map::kControlType), 1);
  ASSERT_TRUE(pollUntil([&] { return get("/debugger/state").body.find("start") != std::string::npos; }, 3s));
  EXPECT_EQ(get("/debugger/state").body, "{\n\"value\":\"start\",\n\"prjname\":\"demo\"\n}");
  const std::string lua = channelText(4);
  const std::string dir = projectDir() + "/demo/";
  EXPECT_NE(lua.find(" 127.0.0.1 \"" + dir + "src0.lua," + dir + "src1.lua\" \"" + dir + "global.lua\" \"" + dir +
                     "point.lua\""),
            std::string::npos)
      << lua;

  // The pendant stop.
  const std::size_t stopFrom = mark();
  EXPECT_EQ(post("/debugger/stop", "{}").body, "{\"status\":true}");
  ASSERT_TRUE(waitForTrail(stopFrom, {"248", "225", "47"})) << testing::PrintToString(sentSince(stopFrom));
  EXPECT_EQ(paramAt<std::uint32_t>(rec::loggedPackets(225).back(), 0), 18u);
  EXPECT_EQ(rec::loggedPackets(47).back().params, std::vector<std::uint8_t>{2});
  EXPECT_EQ(map.loadWord(robot_map::kControlType), 2);
  EXPECT_EQ(map.loadWord(robot_map::kScriptStatus), 0);
  EXPECT_NE(channelText(4).find("...."), std::string::npos);
  stop();
}

TEST_F(ScriptRoutes, AMissingScriptRaisesItsAlarmAndSendsNothing) {
  unlink((projectDir() + "/demo/global.lua").c_str());
  startDrained();
  channelText(4);
  const std::size_t from = mark();
  EXPECT_EQ(post("/debugger/start", "{\"project\":\"demo\"}").body, "{\"status\":true}");
  ASSERT_TRUE(pollUntil([&] { return hasAlarm(8194); }, 5s));
  // In auto the alarm stops the program (248, 225 and the stop on channel
  // 4); the start itself sent nothing after 47.
  expectNoStart(from);
  stop();
}

TEST_F(ScriptRoutes, NamesThatCouldReachTheShellAreRefused) {
  startDrained();
  channelText(4);
  const std::string names[] = {"../x", "a\\\"b", "a$(touch /tmp/p)", "a`id`"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::size_t from = mark();
    EXPECT_EQ(post("/debugger/start", "{\"project\":\"" + name + "\"}").body, "{\"status\":true}");
    // The name is kept (and reported as valid JSON) before it is checked.
    const std::string expected = name == "a\\\"b" ? std::string("a\"b") : name;
    ASSERT_TRUE(pollUntil([&] { return parseJson(get("/debugger/state").body)["prjname"].asString() == expected; }, 3s));
    ASSERT_TRUE(pollUntil([&] { return hasAlarm(8192); }, 5s));
    expectNoStart(from);
  }
  EXPECT_EQ(parseJson(get("/debugger/state").body)["prjname"].asString(), "a`id`");

  // The same name from remote control.
  robotMap& map = robotMap::instance();
  const std::string bad = "a$(touch /tmp/p)";
  std::memcpy(map.entry() + robot_map::kScriptName, bad.c_str(), bad.size() + 1);
  const std::size_t from = mark();
  map.storeWord(robot_map::kRunRequest, 1);
  // Handled once the request word is cleared (the refusal's log line can be
  // lost when the channel's queue is full).
  ASSERT_TRUE(pollUntil([&] { return map.loadWord(robot_map::kRunRequest) == 0; }, 5s));
  for (const std::string& id : sentSince(from)) EXPECT_NE(id, "240");
  EXPECT_EQ(channelText(4).find("lua"), std::string::npos);
  EXPECT_NE(access("/tmp/p", F_OK), 0);
  stop();
}

TEST_F(ScriptRoutes, GlobalVariablesAreKeptWhileTheScriptRuns) {
  startDrained();
  const std::string path = projectDir() + "/globalVar.json";
  ASSERT_EQ(runProcess({built::kRouterPeer, "write", "7", "000101"}).exitCode, 0);
  EXPECT_EQ(post("/debugger/globalVar", "{\"v\": 1}").status, 500);
  EXPECT_NE(access(path.c_str(), F_OK), 0);

  ASSERT_EQ(runProcess({built::kRouterPeer, "write", "7", "000100"}).exitCode, 0);
  EXPECT_EQ(post("/debugger/globalVar", "{\"v\": \"%s%n\"}").status, 200);
  const HttpReply r = get("/debugger/globalVar");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(parseJson(r.body)["v"].asString(), "%s%n");
  EXPECT_EQ(post("/debugger/globalVar", "{broken").status, 500);
  EXPECT_EQ(parseJson(get("/debugger/globalVar").body)["v"].asString(), "%s%n");
  EXPECT_EQ(httpRequest(kDataPort, "PUT", "/debugger/globalVar", "{}").status, 500);
  stop();
}

TEST_F(ScriptRoutes, SuspendAndStepInFollowTheKernel) {
  startDrained();
  control("stop 1\nstepin 0\n");
  EXPECT_EQ(get("/debugger/getSuspend").body, "{\"status\":true}");
  EXPECT_EQ(get("/debugger/stepIn").body, "{\"status\":false}");
  control("stop 0\nstepin 1\n");
  EXPECT_EQ(get("/debugger/getSuspend").body, "{\"status\":false}");
  EXPECT_EQ(get("/debugger/stepIn").body, "{\"status\":true}");
  EXPECT_EQ(post("/debugger/getSuspend", "{}").body, "");
  EXPECT_EQ(post("/debugger/state", "{}").body, "{\"status\":\"refused\"}");
  stop();
}

std::string stopMode(bool enable, int tool, int user) {
  return std::string("{\"enable\": ") + (enable ? "true" : "false") +
         ", \"speed\": 30, \"armOrientation\": \"left\", \"tool\": " + std::to_string(tool) +
         ", \"user\": " + std::to_string(user) +
         ", \"x\": 200, \"y\": 10, \"z\": -5, \"a\": 3, \"mode\": \"jump\", \"arch\": 2}";
}

std::string frames() {
  std::string text = "[";
  for (int i = 0; i < 10; ++i) {
    text += std::string(i > 0 ? "," : "") + "{\"enable\":true,\"params\":[" + std::to_string(i) + ",0,0,0,0,0]}";
  }
  return text + "]";
}

const std::string kArch =
    "[{\"enable\":true,\"params\":{\"startHeight\":20,\"endHeight\":20,\"zLimit\":0}},"
    "{\"enable\":true,\"params\":{\"startHeight\":20,\"endHeight\":20,\"zLimit\":0}},"
    "{\"enable\":true,\"params\":{\"startHeight\":12,\"endHeight\":14,\"zLimit\":0}}]";

TEST_F(ScriptRoutes, AStopMovesToTheStopPose) {
  files_.write("settings/function/stopMode.json", stopMode(true, 0, 0));
  files_.write("settings/playback/arch.json", kArch);
  files_.write("settings/coordinate/tool.json", frames());
  files_.write("settings/coordinate/user.json", frames());
  startDrained();
  const std::size_t from = mark();
  EXPECT_EQ(post("/debugger/stop", "{}").body, "{\"status\":true}");
  ASSERT_TRUE(waitForLine("wait Stop Status ...", 5s));
  ASSERT_TRUE(pollUntil([&] { return countLines("wait Stop Status ...") >= 3; }, 5s));
  const std::size_t settled = mark();
  control("reply 28 r 01\nreply 84 w " + rec::hex(bytesOf<std::uint64_t>({5})) + "\nreply 246 r " +
          rec::hex(bytesOf<std::uint64_t>({5})) + "\n");
  ASSERT_TRUE(waitForLine("[handleStopToPoseThread],  clear io", 10s));
  Trail trail = sentSince(from);
  ASSERT_GE(trail.size(), 5u);
  EXPECT_EQ(Trail(trail.begin(), trail.begin() + 5), (Trail{"248", "225", "47", "248", "28"}));
  Trail after = sentSince(settled);
  while (!after.empty() && (after.front() == "248" || after.front() == "28")) after.erase(after.begin());
  EXPECT_EQ(after, (Trail{"240", "52", "80", "81", "87q", "50q", "251q", "250q", "84q", "246", "248"}))
      << testing::PrintToString(sentSince(settled));
  EXPECT_EQ(rec::loggedPackets(52).back().params[0], 30);
  const auto jump = rec::loggedPackets(87).back();
  EXPECT_FLOAT_EQ(paramAt<float>(jump, 0), 12.0f);
  EXPECT_FLOAT_EQ(paramAt<float>(jump, 4), 14.0f);
  const auto move = rec::loggedPackets(84).back();
  EXPECT_EQ(move.params[0], 0);
  EXPECT_FLOAT_EQ(paramAt<float>(move, 1), 200.0f);
  stop();
}

TEST_F(ScriptRoutes, AnAlarmEndsTheWaitForTheStopPose) {
  files_.write("settings/function/stopMode.json", stopMode(true, -1, 12));
  startDrained();
  control("reply 28 r 01\nreply 84 w " + rec::hex(bytesOf<std::uint64_t>({5})) + "\nreply 246 r " +
          rec::hex(bytesOf<std::uint64_t>({4})) + "\n");
  const std::size_t from = mark();
  EXPECT_EQ(post("/debugger/stop", "{}").body, "{\"status\":true}");
  ASSERT_TRUE(waitForLine("wait cmd is done ...", 5s));
  control("reply 28 r 01\nreply 84 w " + rec::hex(bytesOf<std::uint64_t>({5})) + "\nreply 246 r " +
          rec::hex(bytesOf<std::uint64_t>({4})) + "\nalarms 0001\n");
  ASSERT_TRUE(waitForLine("is alarm, break", 10s));
  ASSERT_TRUE(waitForLine("[handleStopToPoseThread],  clear io", 5s));
  const Trail trail = sentSince(from);
  for (const std::string& id : trail) {
    EXPECT_NE(id, "251q");
    EXPECT_NE(id, "250q");
  }
  EXPECT_EQ(trail.back(), "248");
  stop();
}

TEST_F(ScriptRoutes, WithoutTheStopPoseNothingMoves) {
  files_.write("settings/function/stopMode.json", stopMode(false, 0, 0));
  startDrained();
  const std::size_t from = mark();
  EXPECT_EQ(post("/debugger/stop", "{}").body, "{\"status\":true}");
  ASSERT_TRUE(waitForTrail(from, {"248", "225", "47"}));
  ASSERT_TRUE(waitForLine("lua stop : ", 3s));
  EXPECT_EQ(countLines("[handleStopToPoseThread], start handleStopToPoseThread"), 0);
  EXPECT_EQ(sentSince(from), (Trail{"248", "225", "47"}));
  stop();
}

}  // namespace
