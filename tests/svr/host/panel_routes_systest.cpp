// panel/jog, auxJog, interface/jogMode, the pendant's switches, the simulated
// axes and the auxiliary-joint files against the real data server with the
// recording kernel.
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "support/recording_host.h"

namespace {

using namespace std::chrono_literals;
using namespace zelor::test;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTrue = "{\"status\":\"true\"}";
constexpr const char* kFalse = "{\"status\":\"false\"}";
constexpr const char* kRefused = "{\"status\":\"refused\"}";

std::string keys(const std::vector<int>& pressed, int size = 6) {
  std::string text = "[";
  for (int i = 0; i < size; ++i) {
    bool on = false;
    for (int p : pressed) on = on || p == i;
    text += std::string(i > 0 ? "," : "") + (on ? "true" : "false");
  }
  return text + "]";
}

std::string jog(const std::vector<int>& pos, const std::vector<int>& neg, int size = 6) {
  return "{\"posBtns\":" + keys(pos, size) + ",\"negBtns\":" + keys(neg, size) + "}";
}

class PanelRoutes : public RecordingHost {
 protected:
  void startManual() {
    start();
    countLines("");
    enableManual();
  }
  std::size_t mark() { return rec::loggedPackets().size(); }
  std::vector<rec::LoggedPacket> since(std::size_t from, int id) {
    std::vector<rec::LoggedPacket> out;
    const auto all = rec::loggedPackets();
    for (std::size_t i = from; i < all.size(); ++i) {
      if (all[i].id == id) out.push_back(all[i]);
    }
    return out;
  }
  // The jog commands a request sent, as {isJoint, cmd} pairs.
  std::vector<Bytes> jogsFor(const std::string& body, const std::string& expectedReply) {
    const std::size_t from = mark();
    const HttpReply r = post("/panel/jog", body);
    EXPECT_EQ(r.body, expectedReply) << body;
    std::vector<Bytes> out;
    for (const auto& p : since(from, 73)) out.push_back(p.params);
    return out;
  }
  // Code and value word of each auxiliary-axis command a request sent.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> auxFor(const std::string& body) {
    const std::size_t from = mark();
    EXPECT_EQ(post("/panel/auxJog", body).body, kTrue) << body;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (const auto& p : since(from, 225)) out.emplace_back(paramAt<std::uint32_t>(p, 0), paramAt<std::uint32_t>(p, 4));
    return out;
  }
  ProjectFiles files_;
};

TEST_F(PanelRoutes, JogSendsOneKeyChangePerRequest) {
  startManual();
  using J = std::vector<Bytes>;
  EXPECT_EQ(jogsFor(jog({1}, {}), kTrue), (J{{1, 3}}));
  // Joint 2 released while joint 3's negative key is pressed: the stop first.
  EXPECT_EQ(jogsFor(jog({}, {2}), kTrue), (J{{1, 0}}));
  EXPECT_EQ(jogsFor(jog({}, {2}), kTrue), (J{{1, 6}}));
  EXPECT_EQ(jogsFor(jog({}, {2}), kTrue), J{});
  EXPECT_EQ(jogsFor(jog({}, {}), kTrue), (J{{1, 0}}));

  // Keys of joints 5 and 6 reach no kernel command.
  EXPECT_EQ(jogsFor(jog({4}, {}), kFalse), J{});
  EXPECT_EQ(jogsFor(jog({}, {5}), kFalse), J{});

  // Five keys: 500, nothing sent.
  std::size_t from = mark();
  EXPECT_EQ(post("/panel/jog", jog({0}, {}, 5)).status, 500);
  EXPECT_EQ(post("/panel/jog", "{\"posBtns\":" + keys({0}) + "}").status, 500);
  EXPECT_TRUE(since(from, 73).empty());

  // An unanswered start is not remembered: the next request sends it again.
  control("withhold 73 w\n");
  EXPECT_EQ(jogsFor(jog({0}, {}), kFalse).size(), 1u);
  control("");
  EXPECT_EQ(jogsFor(jog({0}, {}), kTrue), (J{{1, 1}}));
  EXPECT_EQ(jogsFor(jog({}, {}), kTrue), (J{{1, 0}}));

  // Refusals: GET, a collision; auto gives false.
  EXPECT_EQ(get("/panel/jog").body, kRefused);
  storeRecord(records().axesGroup.m_CollisionWord, 1);
  EXPECT_EQ(jogsFor(jog({0}, {}), kRefused), J{});
  storeRecord(records().axesGroup.m_CollisionWord, 0);
  storeRecord(records().axesGroup.m_AutoMode, 2);
  ASSERT_TRUE(pollUntil([&] { return countLines("monitor: controlType change to auto") >= 2; }, 3s));
  EXPECT_EQ(jogsFor(jog({0}, {}), kFalse), J{});
  // The three-position switch route changes nothing in auto.
  EXPECT_EQ(post("/panel/threeSwitch", "{\"value\":\"released\"}").body, kTrue);
  EXPECT_EQ(parseJson(get("/protocol/exchange").body)["controlMode"].asString(), "enable");
  stop();
}

TEST_F(PanelRoutes, StepModeAndTheAuxiliaryAxisKeys) {
  startManual();
  std::size_t from = mark();
  EXPECT_EQ(post("/interface/jogMode", "{\"jogMode\":\"step\"}").body, "{\"value\":true}");
  EXPECT_EQ(post("/interface/jogMode", "{\"jogMode\":\"step\"}").body, "{\"value\":true}");
  const auto inch = since(from, 74);
  ASSERT_EQ(inch.size(), 1u);
  EXPECT_EQ(paramAt<std::uint32_t>(inch[0], 0), 1u);
  const float distance = paramAt<float>(inch[0], 8);
  EXPECT_EQ(get("/interface/jogMode").status, 500);

  using A = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  const auto bits = [](float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
  };
  EXPECT_EQ(auxFor("{\"posBtns\":[true],\"negBtns\":[false]}"), (A{{7, bits(distance)}}));
  EXPECT_EQ(auxFor("{\"posBtns\":[false],\"negBtns\":[false]}"), (A{{6, 0}}));
  EXPECT_EQ(auxFor("{\"posBtns\":[\"false\"],\"negBtns\":[\"true\"]}"), (A{{7, bits(-distance)}}));
  // Negative held, positive pressed too: the positive move.
  EXPECT_EQ(auxFor("{\"posBtns\":[true],\"negBtns\":[true]}"), (A{{7, bits(distance)}}));
  // Both remembered: positive released stops and forgets it.
  EXPECT_EQ(auxFor("{\"posBtns\":[false],\"negBtns\":[true]}"), (A{{6, 0}}));
  EXPECT_EQ(auxFor("{\"posBtns\":[false],\"negBtns\":[false]}"), (A{{6, 0}}));
  EXPECT_EQ(auxFor("{\"posBtns\":[false],\"negBtns\":[false]}"), A{});

  // Jog mode: code 6 with 1 and -1.
  from = mark();
  EXPECT_EQ(post("/interface/jogMode", "{\"jogMode\":\"jog\"}").body, "{\"value\":true}");
  EXPECT_EQ(since(from, 74).size(), 1u);
  EXPECT_EQ(auxFor("{\"posBtns\":[true],\"negBtns\":[false]}"), (A{{6, 1}}));
  EXPECT_EQ(auxFor("{\"posBtns\":[false],\"negBtns\":[false]}"), (A{{6, 0}}));

  for (const std::string& body : {std::string("{\"posBtns\":[],\"negBtns\":[false]}"),
                                  std::string("{\"posBtns\":[1],\"negBtns\":[false]}"),
                                  std::string("{\"posBtns\":true,\"negBtns\":[false]}")}) {
    from = mark();
    EXPECT_EQ(post("/panel/auxJog", body).status, 500) << body;
    EXPECT_TRUE(since(from, 225).empty());
  }
  stop();
}

TEST_F(PanelRoutes, EmergencyStopKeyAndStopInput) {
  startManual();
  robotMap& map = robotMap::instance();
  std::size_t from = mark();
  EXPECT_EQ(post("/panel/emergencyStop", "{\"value\":true}").body, kTrue);
  EXPECT_EQ(map.loadWord(robot_map::kUnderEmergency), 1);
  const auto aux = since(from, 225);
  ASSERT_FALSE(aux.empty());
  EXPECT_EQ(paramAt<std::uint32_t>(aux[0], 0), 3u);
  EXPECT_EQ(since(from, 249).size(), 1u);
  EXPECT_EQ(get("/panel/emergencyStop").body, "{\n   \"value\" : true\n}\n");

  // Released (no stop input while the servos are ready).
  EXPECT_EQ(post("/panel/emergencyStop", "{\"value\":false}").body, kTrue);
  EXPECT_EQ(map.loadWord(robot_map::kUnderEmergency), 0);
  EXPECT_EQ(get("/panel/emergencyStop").body, "{\n   \"value\" : false\n}\n");
  EXPECT_EQ(post("/panel/emergencyStop", "{\"value\":null}").status, 500);
  EXPECT_EQ(httpRequest(kDataPort, "PUT", "/panel/emergencyStop", "{}").body, kRefused);
  stop();
}

TEST_F(PanelRoutes, SimulatedAxesFollowOnlyWithTheSwitchReleased) {
  startManual();
  const std::string allFalse =
      "{\n\"joint1Simulated\":false,\n\"joint2Simulated\":false,\n\"joint3Simulated\":false,\n"
      "\"joint4Simulated\":false,\n\"joint5Simulated\":false,\n\"joint6Simulated\":false\n}";
  EXPECT_EQ(get("/settings/simulatedAxis").body, allFalse);
  // Switch held: nothing changes.
  EXPECT_EQ(post("/settings/simulatedAxis", "{\"joint2Simulated\": true}").body, "{\"status\":true}");
  EXPECT_EQ(std::atomic_ref<std::uint32_t>(records().axesGroup.m_Joints[1].m_Simulated).load(), 0u);
  EXPECT_EQ(get("/settings/simulatedAxis").body, allFalse);

  storeRecord(records().axesGroup.m_EnableState, 0);
  ASSERT_TRUE(pollUntil([&] { return parseJson(get("/protocol/exchange").body)["controlMode"] == "disable"; }, 3s));
  EXPECT_EQ(post("/settings/simulatedAxis", "{\"joint2Simulated\": true}").body, "{\"status\":true}");
  EXPECT_EQ(std::atomic_ref<std::uint32_t>(records().axesGroup.m_Joints[1].m_Simulated).load(), 1u);
  EXPECT_NE(get("/settings/simulatedAxis").body.find("\"joint2Simulated\":true,"), std::string::npos);
  EXPECT_EQ(post("/settings/simulatedAxis", "{\"joint2Simulated\": false}").body, "{\"status\":true}");
  EXPECT_EQ(std::atomic_ref<std::uint32_t>(records().axesGroup.m_Joints[1].m_Simulated).load(), 0u);
  stop();
}

TEST_F(PanelRoutes, AuxiliaryJointFilesAreWrittenThroughTheProjectLink) {
  files_.write("process/auxJoint/switch.json", "{\"auxJoint\": false}");
  start();
  EXPECT_EQ(post("/process/auxJoint/switch", "{\"auxJoint\": true}").body, "{\"status\":true}");
  const Json::Value saved = parseJson(readWholeFile(ProjectFiles::path("process/auxJoint/switch.json")));
  EXPECT_TRUE(saved["auxJoint"].asBool());
  EXPECT_TRUE(parseJson(get("/process/auxJoint/switch").body)["auxJoint"].asBool());
  EXPECT_EQ(post("/process/auxJoint/switch", "{oops").status, 500);
  EXPECT_TRUE(parseJson(readWholeFile(ProjectFiles::path("process/auxJoint/switch.json")))["auxJoint"].asBool());
  EXPECT_EQ(get("/process/auxJoint/other").status, 200);
  EXPECT_EQ(post("/process/auxJoint/switch", "{\"auxJoint\": false}").body, "{\"status\":true}");
  stop();
}

}  // namespace
