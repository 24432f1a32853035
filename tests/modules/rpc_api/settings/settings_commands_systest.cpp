// The settings commands through port 29999 as a client meets them, with the
// data-server peer recording every packet brevan exchanges.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"
#include "support/brevan_rig.h"
#include "support/payload_memory.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::sim::PeerRequest;

constexpr std::uint16_t kCommonParams = 83;
constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWriteNow = 0x01;
constexpr std::uint8_t kQueued = 0x03;

class SettingsCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_.setControlMode("tcp");
    peer_.setReadReply(kCommonParams, kKernelRatios);
    peer_.start();
    ASSERT_TRUE(brevan_.waitForPorts()) << "ports 29999 and 30003 never listened";
    client_ = std::make_unique<Client>(29999);
    ASSERT_TRUE(client_->connected());
  }

  // Sends the command; returns its reply, the packets it made in sent.
  std::string call(const std::string& command, const std::string& expected, std::vector<PeerRequest>& sent) {
    const std::size_t before = peer_.requests().size();
    const std::string reply = client_->exchange(command, expected);
    const std::vector<PeerRequest> all = peer_.requests();
    sent.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    return reply;
  }

  ChannelRecorder recorder_{15};
  Brevan brevan_;
  zelor::sim::DataServerPeer peer_;
  std::unique_ptr<Client> client_;
};

TEST_F(SettingsCommands, LogsTheArgumentsTheValueAndTheFailedCheck) {
  peer_.setReadReply(250, concat(bytesOf(std::uint32_t{3}), floats({0, 0, 0, 0})));
  std::vector<PeerRequest> sent;
  call("SpeedJ(0)", "-40001,{},SpeedJ(0);", sent);
  call("AccJ(25)", "0,{},AccJ(25);", sent);
  call("CP(7)", "0,{},CP(7);", sent);
  call("User(3)", "0,{},User(3);", sent);
  call("SetPayLoad(1.6)", "-40001,{},SetPayLoad(1.6);", sent);
  struct Line {
    const char* text;
    bool error;
  };
  const Line expected[] = {
      {" arg[0]=0", false},
      {"params:0", false},
      {"the range of the params value is wrong: -40001,{},", true},
      {"ratio: 25", false},
      {"[CP] params:7", false},
      {"the index of user is the same with algs, it is 3", true},
      {"the range of the params value is wrong:-40001,{},", true},
  };
  for (const Line& line : expected) {
    SCOPED_TRACE(line.text);
    ASSERT_TRUE(recorder_.waitForLine(line.text, 2s));
    for (const std::string& got : recorder_.lines()) {
      if (got.find(line.text) == std::string::npos) continue;
      EXPECT_EQ(got.find("[error]") != std::string::npos, line.error) << got;
      break;
    }
  }
}

TEST_F(SettingsCommands, RatioCommandsRewriteOneRatioOfTheKernelsNine) {
  struct Row {
    std::string command;
    std::size_t offset;
    float ratio;
  };
  const Row rows[] = {
      {"SpeedJ(50)", 0, 50}, {"AccJ(20)", 4, 20}, {"SpeedL(40)", 12, 40}, {"AccL(30)", 20, 30},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string expected = "0,{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    ASSERT_EQ(sent.size(), 2u) << describe(sent);
    EXPECT_EQ(sent[0].id, kCommonParams);
    EXPECT_EQ(sent[0].ctrl, kRead);
    EXPECT_EQ(sent[0].length, 0);
    EXPECT_EQ(sent[1].id, kCommonParams);
    EXPECT_EQ(sent[1].ctrl, kQueued);
    ASSERT_EQ(sent[1].length, 36);
    Bytes written = kKernelRatios;
    const Bytes ratio = bytesOf(row.ratio);
    std::copy(ratio.begin(), ratio.end(), written.begin() + static_cast<std::ptrdiff_t>(row.offset));
    EXPECT_EQ(sent[1].params, written) << "only the command's ratio may change";
  }
  // The documented bytes of two of them.
  std::vector<PeerRequest> sent;
  call("SpeedJ(50)", "0,{},SpeedJ(50);", sent);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Bytes(sent[1].params.begin(), sent[1].params.begin() + 4), (Bytes{0x00, 0x00, 0x48, 0x42}));
  call("AccL(30)", "0,{},AccL(30);", sent);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Bytes(sent[1].params.begin() + 20, sent[1].params.begin() + 24), (Bytes{0x00, 0x00, 0xF0, 0x41}));
}

TEST_F(SettingsCommands, OnePacketCommandsSendTheirValue) {
  struct Row {
    std::string command;
    std::uint16_t id;
    std::uint8_t ctrl;
    Bytes params;
  };
  const Row rows[] = {
      {"SpeedFactor(50)", 52, kWriteNow, {0x32}},
      {"CP(30)", 51, kQueued, {0x1E}},
      {"CP(100)", 51, kQueued, {100}},
      {"LoadSwitch(1)", 207, kQueued, {0x01}},
      {"LoadSwitch(0)", 207, kQueued, {0x00}},
      {"SetCollisionLevel(5)", 193, kQueued, {0x05, 0x00, 0x00, 0x00}},
      {"SetCollisionLevel(0)", 193, kQueued, {0x00, 0x00, 0x00, 0x00}},
      {"SetArmOrientation(1)", 50, kQueued, {0x01}},
      {"SetArmOrientation(0,-1,1,7)", 50, kQueued, {0x00}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string expected = "0,{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    ASSERT_EQ(sent.size(), 1u) << describe(sent);
    EXPECT_EQ(sent[0].id, row.id);
    EXPECT_EQ(sent[0].ctrl, row.ctrl);
    EXPECT_EQ(sent[0].params, row.params);
  }
}

TEST_F(SettingsCommands, BadArgumentsAreAnsweredWithTheirIdAndSendNothing) {
  std::string many = "SpeedJ(50";
  for (int i = 1; i < 257; ++i) many += ",0";
  many += ")";
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"SpeedJ(0)", "-40001,{},SpeedJ(0);"},
      {"SpeedJ(101)", "-40001,{},SpeedJ(101);"},
      {"SpeedJ(50.5)", "-30001,{},SpeedJ(50.5);"},
      {"SpeedJ()", "-20000,{},SpeedJ();"},
      {"SpeedJ(1,2)", "-20000,{},SpeedJ(1,2);"},
      {"SpeedJ(4294967346)", "-40001,{},SpeedJ(4294967346);"},  // 2^32 + 50
      {"AccL(-)", "-40001,{},AccL(-);"},
      {"SpeedFactor(0)", "-40001,{},SpeedFactor(0);"},
      {"CP(0)", "-40001,{},CP(0);"},
      {"CP(a)", "-30001,{},CP(a);"},
      {"LoadSwitch(2)", "-40001,{},LoadSwitch(2);"},
      {"SetCollisionLevel(6)", "-40001,{},SetCollisionLevel(6);"},
      {"SetCollisionLevel(-1)", "-40001,{},SetCollisionLevel(-1);"},
      {"User(10)", "-40001,{},User(10);"},
      {"Tool(-1)", "-40001,{},Tool(-1);"},
      {"User(1,2)", "-20000,{},User(1,2);"},
      {"SetArmOrientation(1,0)", "-40002,{},SetArmOrientation(1,0);"},
      {"SetArmOrientation(2)", "-40001,{},SetArmOrientation(2);"},
      {"SetArmOrientation(1,1,0)", "-40003,{},SetArmOrientation(1,1,0);"},
      {"SetArmOrientation(1,1,1,1,1)", "-20000,{},SetArmOrientation(1,1,1,1,1);"},
      {"SetArmOrientation(1,x)", "-30002,{},SetArmOrientation(1,x);"},
      {"SetTerminal485(1)", "-1,{},SetTerminal485(1);"},
      {"GetTerminal485()", "-1,{},GetTerminal485();"},
      {many, "-20000,{}," + many + ";"},
  };
  for (const auto& [command, expected] : rows) {
    SCOPED_TRACE(command.substr(0, 40));
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(command, expected, sent), expected);
    EXPECT_TRUE(sent.empty()) << describe(sent);
  }
}

TEST_F(SettingsCommands, ASettingThatNeverReachedTheKernelIsAnsweredMinusOne) {
  struct Row {
    std::string command;
    std::uint16_t id;
    std::uint8_t ctrl;
    std::size_t packets;  // sent, the unanswered one last
  };
  const Row rows[] = {
      {"SpeedJ(50)", kCommonParams, kQueued, 2},
      {"SpeedFactor(50)", 52, kWriteNow, 1},
      {"CP(30)", 51, kQueued, 1},
      {"LoadSwitch(1)", 207, kQueued, 1},
      {"SetCollisionLevel(5)", 193, kQueued, 1},
      {"SetArmOrientation(1)", 50, kQueued, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    peer_.setUnanswered(row.id, row.ctrl);
    const std::string expected = "-1,{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    ASSERT_EQ(sent.size(), row.packets) << describe(sent);
    EXPECT_EQ(sent.back().id, row.id);
  }
}

TEST_F(SettingsCommands, WithoutTheCurrentRatiosNothingIsWritten) {
  peer_.setUnanswered(kCommonParams, kRead);
  for (const char* command : {"SpeedJ(50)", "AccL(30)"}) {
    SCOPED_TRACE(command);
    const std::string expected = std::string("-1,{},") + command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(command, expected, sent), expected);
    ASSERT_EQ(sent.size(), 1u) << describe(sent);
    EXPECT_EQ(sent[0].ctrl, kRead);
  }
}

TEST_F(SettingsCommands, UserAndToolSelectAStoredFrameUnlessTheKernelUsesItAlready) {
  constexpr std::uint16_t kUser = 250, kTool = 251;
  peer_.setReadReply(kUser, concat(bytesOf(std::uint32_t{3}), floats({0, 0, 0, 0})));
  peer_.setReadReply(kTool, concat(bytesOf(std::uint32_t{0}), floats({0, 0, 0, 0})));
  std::vector<PeerRequest> sent;

  EXPECT_EQ(call("User(3)", "0,{},User(3);", sent), "0,{},User(3);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(sent[0].id, kUser);
  EXPECT_EQ(sent[0].ctrl, kRead);

  EXPECT_EQ(call("User(4)", "-1,{},User(4);", sent), "-1,{},User(4);");
  EXPECT_EQ(sent.size(), 1u) << "an undefined frame is never sent:" << describe(sent);

  writeFrames("user.json", 4, {1.5, -2, 3, 45, 0, 0});
  EXPECT_EQ(call("User(4)", "0,{},User(4);", sent), "0,{},User(4);");
  ASSERT_EQ(sent.size(), 2u) << describe(sent);
  EXPECT_EQ(sent[1].id, kUser);
  EXPECT_EQ(sent[1].ctrl, kQueued);
  EXPECT_EQ(sent[1].params, concat(bytesOf(std::uint32_t{4}), floats({1.5f, -2, 3, 45})));

  writeFrames("tool.json", 7, {0, 0, 120, -90, 0, 0});
  EXPECT_EQ(call("Tool(7)", "0,{},Tool(7);", sent), "0,{},Tool(7);");
  ASSERT_EQ(sent.size(), 2u) << describe(sent);
  EXPECT_EQ(sent[1].id, kTool);
  EXPECT_EQ(sent[1].ctrl, kQueued);
  EXPECT_EQ(sent[1].params, concat(bytesOf(std::uint32_t{7}), floats({0, 0, 120, -90})));

  // Without the kernel's current frame the command goes on without comparing.
  peer_.setUnanswered(kTool, kRead);
  EXPECT_EQ(call("Tool(0)", "0,{},Tool(0);", sent), "0,{},Tool(0);");
  ASSERT_EQ(sent.size(), 2u) << describe(sent);
  EXPECT_EQ(sent[1].params, concat(bytesOf(std::uint32_t{0}), floats({0, 0, 0, 0})));

  // The frame write unanswered: not done.
  peer_.setUnanswered(kUser, kQueued);
  EXPECT_EQ(call("User(0)", "-1,{},User(0);", sent), "-1,{},User(0);");
}

TEST_F(SettingsCommands, SetPayLoadWritesTheRecordAndRaisesItsFlag) {
  PayloadMemory memory;
  ASSERT_TRUE(memory.attached());
  memory.fill(0xAB);
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("SetPayLoad(1.2,30)", "0,{},SetPayLoad(1.2,30);", sent), "0,{},SetPayLoad(1.2,30);");
  EXPECT_TRUE(sent.empty());
  Bytes expected(28, 0);
  expected[4] = 1;
  for (std::size_t at : {8u, 12u, 16u}) {
    const Bytes v = bytesOf(30.0f);
    std::copy(v.begin(), v.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
  }
  const Bytes payload = bytesOf(1.2f);
  std::copy(payload.begin(), payload.end(), expected.begin() + 20);
  EXPECT_EQ(memory.record(), expected);

  memory.fill(0xAB);
  EXPECT_EQ(call("SetPayLoad(0.5)", "0,{},SetPayLoad(0.5);", sent), "0,{},SetPayLoad(0.5);");
  expected.assign(28, 0);
  expected[4] = 1;
  const Bytes half = bytesOf(0.5f);
  std::copy(half.begin(), half.end(), expected.begin() + 20);
  EXPECT_EQ(memory.record(), expected) << "no second value: the centre stays 0";
}

TEST_F(SettingsCommands, SetPayLoadRefusalsLeaveTheMemoryUntouched) {
  PayloadMemory memory;
  ASSERT_TRUE(memory.attached());
  memory.fill(0xAB);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"SetPayLoad(2)", "-40001,{},SetPayLoad(2);"},
      {"SetPayLoad(-0.1)", "-40001,{},SetPayLoad(-0.1);"},
      {"SetPayLoad(nan)", "-40001,{},SetPayLoad(nan);"},
      {"SetPayLoad(1,nan)", "-30002,{},SetPayLoad(1,nan);"},
      {"SetPayLoad(1,inf)", "-30002,{},SetPayLoad(1,inf);"},
      {"SetPayLoad(1,1e39)", "-30002,{},SetPayLoad(1,1e39);"},
      {"SetPayLoad(1,x)", "-30002,{},SetPayLoad(1,x);"},
      {"SetPayLoad()", "-20000,{},SetPayLoad();"},
      {"SetPayLoad(1,2,3)", "-20000,{},SetPayLoad(1,2,3);"},
  };
  for (const auto& [command, expected] : rows) {
    SCOPED_TRACE(command);
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(command, expected, sent), expected);
    EXPECT_EQ(memory.record(), Bytes(28, 0xAB));
  }
}

TEST_F(SettingsCommands, PayloadKeyAsksTheDataServersSetLoad) {
  std::vector<PeerRequest> sent;
  peer_.setRawAnswer("0");
  EXPECT_EQ(call("PayLoad(0.5)", "0,{0},PayLoad(0.5);", sent), "0,{0},PayLoad(0.5);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(sent[0].id, 262);
  const std::string text(sent[0].params.begin(), sent[0].params.end());
  EXPECT_EQ(text.substr(0, text.find('\0')), "SetLoad(0.5)");

  peer_.setRawAnswer("-2");
  EXPECT_EQ(call("PayLoad(1,2)", "0,{-2},PayLoad(1,2);", sent), "0,{-2},PayLoad(1,2);");

  peer_.setUnanswered(262, 0);
  EXPECT_EQ(call("PayLoad(0.5)", "-1,{},PayLoad(0.5);", sent), "-1,{},PayLoad(0.5);");
}

TEST_F(SettingsCommands, AClientLeavingAfterASettingIsReplacedWithinASecond) {
  std::vector<PeerRequest> sent;
  ASSERT_EQ(call("SpeedJ(50)", "0,{},SpeedJ(50);", sent), "0,{},SpeedJ(50);");
  client_.reset();
  const auto start = Clock::now();
  bool served = false;
  while (!served && Clock::now() - start < 3s) {
    Client next(29999);
    served = next.connected() && next.exchange("SpeedJ(60)", "0,{},SpeedJ(60);") == "0,{},SpeedJ(60);";
    if (!served) std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(served) << "no new client served";
  EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 1000);
}

}  // namespace
}  // namespace zelor::test
