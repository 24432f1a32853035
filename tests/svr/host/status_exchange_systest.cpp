// protocol/exchange against the real data server with the recording kernel:
// what a POST applies, what the reply reports, and the alarm reaction.
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "support/recording_host.h"

namespace {

using namespace std::chrono_literals;
using namespace zelor::test;

// A POST body that changes nothing but what a test sets.
std::string exchangeBody(const std::string& extra = "", const std::string& coordinate = "joint",
                         const std::string& jog = "jog", int user = 0, int tool = 0) {
  std::string body = "{\"controlMode\":\"enable\",\"coordinate\":\"" + coordinate + "\",\"jogMode\":\"" + jog +
                     "\",\"toolCoordinate\":" + std::to_string(tool) + ",\"userCoordinate\":" + std::to_string(user) +
                     ",\"alarms\":false";
  if (extra.find("\"outputs\"") == std::string::npos) body += ",\"outputs\":{\"enable\":false,\"value\":[]}";
  if (!extra.empty()) body += "," + extra;
  return body + "}";
}

std::string frames(int enabledMask) {
  std::string text = "[";
  for (int i = 0; i < 10; ++i) {
    text += std::string(i > 0 ? "," : "") + "{\"enable\":" + (((enabledMask >> i) & 1) ? "true" : "false") +
            ",\"params\":[" + std::to_string(10 * i + 1) + "," + std::to_string(10 * i + 2) + "," +
            std::to_string(10 * i + 3) + "," + std::to_string(10 * i + 4) + ",0,0]}";
  }
  return text + "]";
}

std::vector<int> ints(const Json::Value& array) {
  std::vector<int> out;
  for (const Json::Value& v : array) out.push_back(v.asInt());
  return out;
}

class StatusExchange : public RecordingHost {
 protected:
  Json::Value exchange(const std::string& method = "GET", const std::string& body = "") {
    const HttpReply r = httpRequest(kDataPort, method, "/protocol/exchange", body);
    EXPECT_EQ(r.status, 200) << r.body;
    return parseJson(r.body);
  }
};

TEST_F(StatusExchange, GetReportsTheRobotAndPostsApplyOutputs) {
  start();
  enableManual();
  control("pose 1 2 3 4 5 6 7 8\narm 1\n");
  records().di[1] = 1;
  records().di[9] = 1;
  // The host hands its inputs over on its next cycles.
  EXPECT_TRUE(pollUntil([&] { return ints(exchange()["inputs"]) == std::vector<int>{2, 2, 0, 0, 0, 0, 0, 0}; }, 2s));

  const HttpReply r = get("/protocol/exchange");
  ASSERT_EQ(r.status, 200);
  EXPECT_NE(r.headers.find("Content-Type: application/json;charset=utf-8"), std::string::npos) << r.headers;
  const Json::Value s = parseJson(r.body);
  ASSERT_TRUE(s.isObject()) << r.body;
  EXPECT_EQ(s["controlMode"], "enable");
  EXPECT_EQ(s["dragMode"], "disable");
  EXPECT_EQ(s["coordinate"], "joint");
  EXPECT_EQ(s["jogMode"], "jog");
  EXPECT_EQ(s["autoManual"], "manual");
  EXPECT_EQ(s["toolCoordinate"], 0);
  EXPECT_EQ(s["userCoordinate"], 0);
  EXPECT_EQ(s["armOrientation"], 1);
  EXPECT_EQ(ints(s["cartesianCoordinate"]), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ints(s["jointCoordinate"]), (std::vector<int>{5, 6, 7, 8}));
  EXPECT_EQ(s["outputs"].size(), 8u);
  EXPECT_EQ(s["isCollision"], 0);
  EXPECT_EQ(ints(s["collisionAxes"]), (std::vector<int>(6, 0)));
  EXPECT_TRUE(s.isMember("isSafeSuspend"));
  EXPECT_EQ(s["prjState"], "stopped");
  ASSERT_EQ(s["alarms"].size(), 6u);
  for (const Json::Value& a : s["alarms"]) EXPECT_TRUE(a.isArray() && a.empty());
  EXPECT_FALSE(s.isMember("auxJoint"));
  EXPECT_FALSE(s.isMember("extendDO"));

  // Bit j of element i is output 8 i + j.
  exchange("POST", exchangeBody("\"outputs\":{\"enable\":true,\"value\":[5]}"));
  EXPECT_EQ(ints(exchange()["outputs"]), (std::vector<int>{5, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(pollUntil([&] { return records().dout[0] == 1 && records().dout[2] == 1; }, 1s));
  for (int i : {1, 3, 4, 5, 6, 7}) EXPECT_EQ(records().dout[i], 0) << i;
  stop();
}

TEST_F(StatusExchange, BadRequestsLeaveTheLockAndOtherMethodsAreRefused) {
  start();
  for (const char* body : {"", "not json", "{\"controlMode\":\"enable\"}",
                           "{\"controlMode\":\"enable\",\"coordinate\":\"joint\",\"jogMode\":\"jog\","
                           "\"toolCoordinate\":\"one\",\"userCoordinate\":0,\"alarms\":true,\"outputs\":{}}"}) {
    SCOPED_TRACE(body);
    EXPECT_EQ(post("/protocol/exchange", body).status, 500);
    const HttpReply after = get("/protocol/exchange");
    EXPECT_EQ(after.status, 200);
    EXPECT_TRUE(parseJson(after.body).isMember("alarms")) << after.body;
  }
  // Nothing of the refused requests was applied, not even the alarm clear.
  EXPECT_TRUE(rec::loggedPackets(20).empty());

  const HttpReply put = httpRequest(kDataPort, "PUT", "/protocol/exchange");
  EXPECT_EQ(put.status, 200);
  EXPECT_EQ(put.body, "{\"status\":\"refused\"}");
  stop();
}

TEST_F(StatusExchange, AlarmBitsAndCollisionsAreReported) {
  start();
  control("alarms 000001\n");
  EXPECT_EQ(ints(exchange()["alarms"][0]), (std::vector<int>{16}));
  control("");

  AxesGroupRef& g = records().axesGroup;
  storeRecord(g.m_CollisionWord, 2);
  for (int poll = 0; poll < 2; ++poll) {
    const Json::Value s = exchange();
    EXPECT_EQ(s["isCollision"], 1);
    EXPECT_EQ(ints(s["collisionAxes"]), (std::vector<int>{0, 1, 0, 0, 0, 0}));
  }
  // Sticky until the word is 0.
  storeRecord(g.m_CollisionWord, 1);
  EXPECT_EQ(ints(exchange()["collisionAxes"]), (std::vector<int>{1, 1, 0, 0, 0, 0}));
  storeRecord(g.m_CollisionWord, 0);
  const Json::Value s = exchange();
  EXPECT_EQ(s["isCollision"], 0);
  EXPECT_EQ(ints(s["collisionAxes"]), (std::vector<int>(6, 0)));
  stop();
}

TEST_F(StatusExchange, InAutoTheJogSettingsStayButAlarmsAreCleared) {
  start();
  ASSERT_EQ(post("/interface/hardware", "{\"enable\": false}").status, 200);
  storeRecord(records().axesGroup.m_AutoMode, 2);
  ASSERT_TRUE(waitForLine("monitor: controlType change to auto", 2s));
  const Json::Value s = exchange("POST", exchangeBody("", "cartesian"));
  EXPECT_EQ(s["autoManual"], "auto");
  EXPECT_EQ(s["coordinate"], "joint");
  EXPECT_TRUE(rec::loggedPackets(20).empty());
  exchange("POST", "{\"controlMode\":\"enable\",\"coordinate\":\"cartesian\",\"jogMode\":\"jog\","
                   "\"toolCoordinate\":0,\"userCoordinate\":0,\"alarms\":true,\"outputs\":{}}");
  EXPECT_EQ(exchange()["coordinate"], "joint");
  EXPECT_EQ(rec::loggedPackets(20).size(), 1u);
  stop();
}

TEST_F(StatusExchange, StepSettingsAreSentOnceWhileUnchanged) {
  ProjectFiles files;
  files.write("settings/teach/inch.json", "{\"distance\": 0.5, \"angle\": 0.25}");
  start();
  enableManual();
  exchange("POST", exchangeBody("", "joint", "step"));
  const Json::Value s = exchange("POST", exchangeBody("", "joint", "step"));
  EXPECT_EQ(s["jogMode"], "step");
  const auto sent = rec::loggedPackets(74);
  ASSERT_EQ(sent.size(), 1u);
  // isInch, then the angle and the distance.
  std::vector<std::uint8_t> expected = bytesOf<std::uint32_t>({1});
  const std::vector<std::uint8_t> distances = bytesOf<float>({0.25f, 0.5f});
  expected.insert(expected.end(), distances.begin(), distances.end());
  EXPECT_EQ(sent[0].params, expected);
  // Back to jog: inching off once.
  exchange("POST", exchangeBody());
  exchange("POST", exchangeBody());
  const auto all = rec::loggedPackets(74);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(paramAt<std::uint32_t>(all[1], 0), 0u);
  stop();
}

TEST_F(StatusExchange, FrameRequestsApplyOnlyEnabledEntriesAndSaveTheFramesInForce) {
  ProjectFiles files;
  // Users 0 and 3 enabled, tools 0 only.
  files.write("settings/coordinate/user.json", frames(0b1001));
  files.write("settings/coordinate/tool.json", frames(0b1));
  files.write("settings/quillon/config.json", "{\"coordinate\": {\"user\": 0, \"tool\": 0}}");
  start();
  enableManual();
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kCurrentUser, 0);

  // Out of range, then a disabled entry: no index change, nothing sent.
  EXPECT_EQ(exchange("POST", exchangeBody("", "joint", "jog", 10))["userCoordinate"], 0);
  EXPECT_EQ(exchange("POST", exchangeBody("", "joint", "jog", 2))["userCoordinate"], 0);
  EXPECT_TRUE(rec::loggedPackets(250).empty());
  EXPECT_EQ(map.loadWord(robot_map::kCurrentUser), 0);

  // User 3 applies; tool 12 does not, so the file keeps tool 0.
  const Json::Value s = exchange("POST", exchangeBody("", "joint", "jog", 3, 12));
  EXPECT_EQ(s["userCoordinate"], 3);
  EXPECT_EQ(s["toolCoordinate"], 0);
  const auto sent = rec::loggedPackets(250);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].ctrl, 1);
  EXPECT_EQ(paramAt<std::uint32_t>(sent[0], 0), 3u);
  EXPECT_FLOAT_EQ(paramAt<float>(sent[0], 4), 31.0f);
  EXPECT_FLOAT_EQ(paramAt<float>(sent[0], 16), 34.0f);
  EXPECT_EQ(map.loadWord(robot_map::kCurrentUser), 3);
  const Json::Value saved = parseJson(readWholeFile(ProjectFiles::path("settings/quillon/config.json")));
  EXPECT_EQ(saved["coordinate"]["user"], 3);
  EXPECT_EQ(saved["coordinate"]["tool"], 0);
  EXPECT_TRUE(rec::loggedPackets(251).empty());
  stop();
}

TEST_F(StatusExchange, AuxiliaryAxisCodeAndStatusAreKeptApart) {
  ProjectFiles files;
  files.write("process/auxJoint/switch.json", R"({"auxJoint": true, "addPoints": false})");
  // Code 4, status 0x0001, result 0.
  control("reply 225 r " + rec::hex(bytesOf<std::uint16_t>({4, 1, 0, 0})) + "\n");
  start();
  const Json::Value s = exchange();
  EXPECT_EQ(ints(s["alarms"][5]), (std::vector<int>{4}));
  const std::vector<int> first = ints(s["alarms"][0]);
  EXPECT_NE(std::find(first.begin(), first.end(), 20480), first.end());
  EXPECT_EQ(std::find(first.begin(), first.end(), 20482), first.end());
  ASSERT_EQ(s["auxJoint"].size(), 3u);
  // Let the 200 ms duty query the axis as well.
  const auto until = std::chrono::steady_clock::now() + 700ms;
  while (std::chrono::steady_clock::now() < until) {
    countLines("");
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(countLines("GET ALARMS: alarm ID: 20482"), 0);
  stop();
}

TEST_F(StatusExchange, TenModbusSlavesStayInsideTheImages) {
  ProjectFiles files;
  std::string devices;
  for (int s = 0; s < 10; ++s) {
    devices += std::string(s > 0 ? "," : "") + "{\"DI\":{\"number\":100},\"DO\":{\"number\":100}}";
  }
  files.write("settings/function/modbus_io_config.json", "{\"modbusTCPDev\": [" + devices + "]}");
  start();
  enableManual();
  // Slave 0's coils 0 and 9, slave 8's last coil; slave 1's input 3.
  exchange("POST", exchangeBody("\"extendDO\":{\"enable\":true,\"value\":[[1,2],[],[],[],[],[],[],[],"
                                "[0,0,0,0,0,0,0,0,0,0,0,0,8]]}"));
  control("inputs 203 01\n");
  const Json::Value s = exchange();
  ASSERT_EQ(s["extendDO"].size(), 10u);
  ASSERT_EQ(s["extendDI"].size(), 10u);
  for (Json::ArrayIndex k = 0; k < 10; ++k) {
    EXPECT_EQ(s["extendDO"][k].size(), 13u) << k;
    EXPECT_EQ(s["extendDI"][k].size(), 13u) << k;
  }
  EXPECT_EQ(s["extendDO"][0][0], 1);
  EXPECT_EQ(s["extendDO"][0][1], 2);
  EXPECT_EQ(s["extendDO"][8][12], 8);
  EXPECT_EQ(s["extendDI"][1][0], 8);
  EXPECT_EQ(ints(s["extendDO"][9]), (std::vector<int>(13, 0)));
  stop();
}

TEST_F(StatusExchange, AnAlarmInAutoStopsTheProgram) {
  start();
  // Remote control's start-up stops whatever script runs: its queue stop
  // comes before what this test watches.
  robotMap& map = robotMap::instance();
  ASSERT_TRUE(pollUntil([&] {
    return map.loadWord(robot_map::kStopRequest) == 0 && map.loadWord(robot_map::kStopClearQueueRequest) == 0 &&
           !rec::loggedPackets(248).empty();
  }, 5s));
  const std::size_t before = rec::loggedPackets().size();
  ASSERT_EQ(post("/interface/hardware", "{\"enable\": false}").status, 200);
  storeRecord(records().axesGroup.m_AutoMode, 2);
  ASSERT_TRUE(waitForLine("monitor: controlType change to auto", 2s));
  control("alarms 01\n");
  countLines("");  // the channel's queue holds few lines
  exchange();
  EXPECT_TRUE(waitForLine("[protoExchange], alarm is happened!", 2s));
  EXPECT_TRUE(waitForLine("The alarm is trigger, do emergency stop", 2s));
  std::vector<std::string> trail;
  const std::vector<rec::LoggedPacket> logged = rec::loggedPackets();
  for (std::size_t i = before; i < logged.size(); ++i) {
    const rec::LoggedPacket& p = logged[i];
    if (p.id == 248 || (p.id == 225 && (p.ctrl & 1) != 0)) {
      trail.push_back(std::to_string(p.id) + ":" + std::to_string(paramAt<std::uint32_t>(p, 0)));
    }
  }
  EXPECT_EQ(trail, (std::vector<std::string>{"248:0", "225:18"}));
  EXPECT_EQ(exchange()["prjState"], "stopped");
  control("");
  exchange();
  EXPECT_TRUE(waitForLine("[protoExchange], alarm is restore!", 2s));
  EXPECT_EQ(countLines("alarm is happened!"), 1);
  stop();
}

// Polls that close without reading leave the server running.
TEST_F(StatusExchange, PeersThatDropTheirRepliesDoNotStopTheServer) {
  start();
  for (int i = 0; i < 50; ++i) {
    const int fd = connectLoopback(kDataPort, 1024);
    ASSERT_GE(fd, 0);
    const std::string request = "GET /protocol/exchange HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    close(fd);
  }
  EXPECT_EQ(get("/protocol/exchange").status, 200);
  stop();
}

}  // namespace
