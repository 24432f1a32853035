// EnableRobot and Continue through port 29999, the test playing the data
// server's part in the status memory and the peer its packet exchange.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"
#include "support/brevan_rig.h"
#include "support/payload_memory.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::sim::PeerRequest;

constexpr std::uint16_t kEnableStatus = 41;
constexpr std::uint16_t kControlTypeId = 47;
constexpr std::uint16_t kArmOrientation = 50;
constexpr std::uint16_t kSpeedFactor = 52;
constexpr std::uint16_t kPtpJoint = 80;
constexpr std::uint16_t kPtpCoordinate = 81;
constexpr std::uint16_t kExterAxis = 225;
constexpr std::uint16_t kStartQueue = 240;
constexpr std::uint16_t kStopClearQueue = 248;
constexpr std::uint16_t kRawText = 262;
constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWriteNow = 0x01;

std::int32_t word(std::size_t offset) { return robotMap::instance().loadWord(offset); }
void setWord(std::size_t offset, std::int32_t value) { robotMap::instance().storeWord(offset, value); }

// The data server's side of the enable: the robot reads disabled until the
// enable request is raised.
class EnableResponder {
 public:
  EnableResponder() : thread_([this] {
    while (!stopping_) {
      if (word(robot_map::kEnableRequest) == 1) setWord(robot_map::kIsDisabled, 0);
      std::this_thread::sleep_for(5ms);
    }
  }) {}
  ~EnableResponder() {
    stopping_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

class EnableAndContinue : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path dir = std::filesystem::path(zelor::paths::kProjectDir) / "settings/function";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "loadParams.json", std::ios::trunc)
        << R"({"inertiaX":10,"inertiaY":20,"inertiaZ":30,"loadValue":0.5,"toolLength":0})";
    ASSERT_TRUE(payload_.attached());
    payload_.fill(0);
    setWord(robot_map::kIsDisabled, 1);
    setWord(robot_map::kEnableRequest, 0);
    setWord(robot_map::kPauseCopy, 1);
    peer_.setControlMode("tcp");
    peer_.setReadReply(kEnableStatus, {1});
    peer_.start();
    ASSERT_TRUE(brevan_.waitForPorts()) << "ports 29999 and 30003 never listened";
    // Once the app-protocol port listens, the start-up writes nothing more:
    // the commands' own writes of the words come after it.
    ASSERT_TRUE(waitFor([] { return listening(6000); }, 10s)) << "brevan's start-up never ended";
    client_ = std::make_unique<Client>(29999);
    ASSERT_TRUE(client_->connected());
  }

  // The robot enabled already: the peer's id 41 says so, as does the word.
  void alreadyEnabled() {
    peer_.setReadReply(kEnableStatus, {0});
    setWord(robot_map::kIsDisabled, 0);
  }

  std::string call(const std::string& command, const std::string& expected, std::vector<PeerRequest>& sent,
                   std::chrono::milliseconds timeout = 10s) {
    const std::size_t before = peer_.requests().size();
    client_->send(command);
    const std::string reply = client_->read(expected.size(), timeout);
    const std::vector<PeerRequest> all = peer_.requests();
    sent.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    return reply;
  }

  static bool sentId(const std::vector<PeerRequest>& sent, std::uint16_t id) {
    return std::any_of(sent.begin(), sent.end(), [id](const PeerRequest& r) { return r.id == id; });
  }

  // The peer attaches the status memory before brevan starts.
  zelor::sim::DataServerPeer peer_;
  PayloadMemory payload_;
  Brevan brevan_;
  std::unique_ptr<Client> client_;
};

TEST_F(EnableAndContinue, EnableRobotRequestsTheEnableAndStartsTheQueue) {
  EnableResponder dataServer;
  std::vector<PeerRequest> sent;
  ASSERT_EQ(call("EnableRobot()", "0,{},EnableRobot();", sent), "0,{},EnableRobot();");
  struct Step {
    std::uint16_t id;
    std::uint8_t ctrl;
    std::size_t length;
  };
  const Step steps[] = {
      {kEnableStatus, kRead, 0}, {kStopClearQueue, kWriteNow, 0}, {kStartQueue, kWriteNow, 0},
      {kSpeedFactor, kWriteNow, 1}, {kPtpJoint, kWriteNow, 48}, {kPtpCoordinate, kWriteNow, 24},
      {kControlTypeId, kWriteNow, 1}, {kControlTypeId, kWriteNow, 1}, {kStartQueue, kWriteNow, 0},
      {kExterAxis, kWriteNow, 12}, {kArmOrientation, kRead, 0},
  };
  ASSERT_EQ(sent.size(), std::size(steps)) << describe(sent);
  for (std::size_t i = 0; i < sent.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i));
    EXPECT_EQ(sent[i].id, steps[i].id);
    EXPECT_EQ(static_cast<int>(sent[i].ctrl), static_cast<int>(steps[i].ctrl));
    EXPECT_EQ(sent[i].params.size(), steps[i].length);
  }
  EXPECT_EQ(sent[6].params, Bytes{1});
  EXPECT_EQ(sent[7].params, Bytes{1});
  EXPECT_EQ(sent[9].params, concat(bytesOf(std::uint32_t{20}), Bytes(8, 0)));

  // The stored payload, its centre x, y and z each in its own place.
  Bytes expected(28, 0);
  expected[4] = 1;
  const Bytes values = floats({10, 20, 30, 0.5F});
  std::copy(values.begin(), values.end(), expected.begin() + 8);
  EXPECT_EQ(payload_.record(), expected);
  EXPECT_EQ(word(robot_map::kEnableRequest), 1);
  EXPECT_EQ(word(robot_map::kControlType), 1);
  EXPECT_EQ(word(robot_map::kPauseCopy), 0);
}

TEST_F(EnableAndContinue, EnableRobotOfAnEnabledRobotRaisesNoRequest) {
  alreadyEnabled();
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("EnableRobot()", "0,{},EnableRobot();", sent), "0,{},EnableRobot();");
  EXPECT_EQ(word(robot_map::kEnableRequest), 0);
  EXPECT_TRUE(sentId(sent, kStartQueue)) << describe(sent);
}

// The one slow case: fifteen polls a second apart.
TEST_F(EnableAndContinue, EnableRobotGivesUpWhenTheRobotStaysDisabled) {
  std::vector<PeerRequest> sent;
  const auto start = Clock::now();
  EXPECT_EQ(call("EnableRobot()", "-10000,{},EnableRobot();", sent, 30s), "-10000,{},EnableRobot();");
  EXPECT_GE(Clock::now() - start, 13s);
  EXPECT_EQ(word(robot_map::kEnableRequest), 1);
  EXPECT_FALSE(sentId(sent, kStartQueue)) << describe(sent);
}

TEST_F(EnableAndContinue, EnableRobotWithBothQueueStartsLostSaysSo) {
  alreadyEnabled();
  std::vector<PeerRequest> sent;
  // Either start runs the queue.
  peer_.setUnansweredNext(kStartQueue, kWriteNow, 1);
  EXPECT_EQ(call("EnableRobot()", "0,{},EnableRobot();", sent), "0,{},EnableRobot();");

  peer_.setUnanswered(kStartQueue, kWriteNow);
  EXPECT_EQ(call("EnableRobot()", "-1,{},EnableRobot();", sent), "-1,{},EnableRobot();");
  for (std::uint16_t id : {kSpeedFactor, kPtpJoint, kPtpCoordinate, kControlTypeId, kExterAxis, kArmOrientation}) {
    EXPECT_TRUE(sentId(sent, id)) << id << " was not sent:" << describe(sent);
  }
}

TEST_F(EnableAndContinue, EnableRobotChecksItsArgumentsAndTheRobotsState) {
  alreadyEnabled();
  struct Row {
    std::string command;
    std::string reply;
    bool statusRead;  // refused after reading id 41
  };
  const std::vector<Row> rows = {
      {"EnableRobot(1.2)", "-40001", true},       {"EnableRobot(-0.1)", "-40001", true},
      {"EnableRobot(nan)", "-40001", true},       {"EnableRobot(x)", "-30001", true},
      {"EnableRobot(0.5,0,0,600)", "-40004", true}, {"EnableRobot(0.5,inf,0,0)", "-40002", true},
      {"EnableRobot(1,2,3)", "-20000", false},    {"EnableRobot(1,2)", "-20000", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string expected = row.reply + ",{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    if (row.statusRead) {
      ASSERT_EQ(sent.size(), 1u) << describe(sent);
      EXPECT_EQ(sent[0].id, kEnableStatus);
    } else {
      EXPECT_TRUE(sent.empty()) << describe(sent);
    }
  }
  struct State {
    std::size_t offset;
    std::int32_t value;
  };
  for (const State state : {State{robot_map::kIsErr, 1}, State{robot_map::kUnderEmergency, 1},
                            State{robot_map::kScriptStatus, 1}}) {
    SCOPED_TRACE(state.offset);
    setWord(state.offset, state.value);
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call("EnableRobot()", "-1,{},EnableRobot();", sent), "-1,{},EnableRobot();");
    EXPECT_TRUE(sent.empty()) << describe(sent);
    setWord(state.offset, 0);
  }
  EXPECT_EQ(payload_.record(), Bytes(28, 0)) << "a refused enable writes no payload";
}

TEST_F(EnableAndContinue, EnableRobotWithALoadHandsItToTheDataServer) {
  alreadyEnabled();
  peer_.setRawAnswer("0");
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("EnableRobot(0.5,0,0,10)", "0,{},EnableRobot(0.5,0,0,10);", sent), "0,{},EnableRobot(0.5,0,0,10);");
  const auto raw = std::find_if(sent.begin(), sent.end(), [](const PeerRequest& r) { return r.id == kRawText; });
  ASSERT_NE(raw, sent.end()) << describe(sent);
  const std::string text(raw->params.begin(), raw->params.end());
  EXPECT_EQ(text.substr(0, text.find('\0')), "SetLoad(0.5,0,0,10)");
  EXPECT_EQ(payload_.record(), Bytes(28, 0)) << "a given load does not touch the payload memory";
}

TEST_F(EnableAndContinue, ContinueStartsTheQueueUnlessInErrorOrTheStartIsLost) {
  std::vector<PeerRequest> sent;
  // Without a slide rail the axis answers a negative status: still continued.
  peer_.setReadReply(kExterAxis, concat(bytesOf(std::uint32_t{0}), bytesOf(std::int32_t{-1})));
  EXPECT_EQ(call("Continue()", "0,{},Continue();", sent), "0,{},Continue();");
  ASSERT_EQ(sent.size(), 3u) << describe(sent);
  EXPECT_EQ(sent[0].id, kControlTypeId);
  EXPECT_EQ(sent[0].params, Bytes{1});
  EXPECT_EQ(sent[1].id, kStartQueue);
  EXPECT_EQ(sent[2].id, kExterAxis);
  EXPECT_EQ(static_cast<int>(sent[2].ctrl), static_cast<int>(kWriteNow));
  EXPECT_EQ(sent[2].params, concat(bytesOf(std::uint32_t{20}), Bytes(8, 0)));
  EXPECT_EQ(word(robot_map::kControlType), 1);
  EXPECT_EQ(word(robot_map::kPauseCopy), 0);

  peer_.setUnansweredNext(kStartQueue, kWriteNow, 1);
  EXPECT_EQ(call("Continue()", "-1,{},Continue();", sent), "-1,{},Continue();");
  ASSERT_EQ(sent.size(), 3u) << describe(sent);
  EXPECT_EQ(sent[2].id, kExterAxis) << "the slide rail is told all the same";

  setWord(robot_map::kIsErr, 1);
  setWord(robot_map::kPauseCopy, 1);
  EXPECT_EQ(call("Continue()", "-1,{},Continue();", sent), "-1,{},Continue();");
  EXPECT_TRUE(sent.empty()) << describe(sent);
  EXPECT_EQ(word(robot_map::kPauseCopy), 1) << "a refusal leaves the status words alone";
  setWord(robot_map::kIsErr, 0);
}

}  // namespace
}  // namespace zelor::test
