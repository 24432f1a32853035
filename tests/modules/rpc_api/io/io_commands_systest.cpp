// The digital I/O and brake commands through port 29999 as a client meets
// them, with the data-server peer recording every packet brevan exchanges.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "support/brevan_rig.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::sim::PeerRequest;

constexpr std::uint16_t kSetDO = 131;
constexpr std::uint16_t kGetDI = 133;
constexpr std::uint16_t kGetDIEx = 137;
constexpr std::uint16_t kSetGroupDO = 144;
constexpr std::uint16_t kRawText = 262;
constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWriteNow = 0x01;
constexpr std::uint8_t kQueued = 0x03;

// The 8-byte output record: u32 address, u8 level, three zero bytes.
Bytes outputRecord(std::uint32_t address, std::uint8_t level) {
  Bytes bytes = bytesOf(address);
  bytes.insert(bytes.end(), {level, 0, 0, 0});
  return bytes;
}

std::string textOf(const PeerRequest& request) {
  const std::string text(request.params.begin(), request.params.end());
  return text.substr(0, text.find('\0'));
}

class IoCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_.setControlMode("tcp");
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

TEST_F(IoCommands, OutputCommandsSendOneOutputRecord) {
  struct Row {
    std::string command;
    std::uint8_t ctrl;
    std::uint32_t address;
    std::uint8_t level;
  };
  const Row rows[] = {
      {"DO(5,1)", kQueued, 5, 1},
      {"DO(1,0)", kQueued, 1, 0},
      {"DO(16,1)", kQueued, 16, 1},
      {"DO(100,1)", kQueued, 100, 1},
      {"DO(1000,0)", kQueued, 1000, 0},
      {"DOExecute(5,1)", kWriteNow, 5, 1},
      {"DOExecute(700,0)", kWriteNow, 700, 0},
      {"ToolDO(2,1)", kQueued, 18, 1},
      {"ToolDO(1,0)", kQueued, 17, 0},
      {"ToolDOExecute(4,0)", kWriteNow, 20, 0},
      {"ToolDOExecute(3,1)", kWriteNow, 19, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string expected = "0,{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    ASSERT_EQ(sent.size(), 1u) << describe(sent);
    EXPECT_EQ(sent[0].id, kSetDO);
    EXPECT_EQ(sent[0].ctrl, row.ctrl);
    EXPECT_EQ(sent[0].params, outputRecord(row.address, row.level));
  }
  // The documented bytes of the first.
  std::vector<PeerRequest> sent;
  call("DO(5,1)", "0,{},DO(5,1);", sent);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].params, (Bytes{0x05, 0, 0, 0, 0x01, 0, 0, 0}));
  call("ToolDO(2,1)", "0,{},ToolDO(2,1);", sent);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].params, (Bytes{0x12, 0, 0, 0, 0x01, 0, 0, 0}));
}

TEST_F(IoCommands, DOGroupSendsAllPairsInOnePacket) {
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("DOGroup(1,1,2,0)", "0,{},DOGroup(1,1,2,0);", sent), "0,{},DOGroup(1,1,2,0);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(sent[0].id, kSetGroupDO);
  EXPECT_EQ(sent[0].ctrl, kWriteNow);
  Bytes expected(516, 0);
  expected[0] = 1;
  expected[4] = 1;
  expected[8] = 2;
  expected[512] = 2;
  EXPECT_EQ(sent[0].params, expected);

  // The largest group: 32 pairs, high addresses in their little-endian bytes.
  std::string command = "DOGroup(";
  for (int k = 0; k < 32; ++k) command += (k ? "," : "") + std::to_string(969 + k) + "," + std::to_string(k % 2);
  command += ")";
  EXPECT_EQ(call(command, "0,{}," + command + ";", sent), "0,{}," + command + ";");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  ASSERT_EQ(sent[0].params.size(), 516u);
  expected.assign(516, 0);
  for (std::uint32_t k = 0; k < 32; ++k) {
    const Bytes entry = outputRecord(969 + k, static_cast<std::uint8_t>(k % 2));
    std::copy(entry.begin(), entry.end(), expected.begin() + 8 * k);
  }
  expected[512] = 32;
  EXPECT_EQ(sent[0].params, expected);
}

TEST_F(IoCommands, BadArgumentsAreAnsweredWithTheirIdAndSendNothing) {
  std::string tooMany = "DOGroup(";
  for (int k = 0; k < 33; ++k) tooMany += std::string(k ? "," : "") + "1,1";
  tooMany += ")";
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"DO(17,1)", "-40001"},        {"DO(99,1)", "-40001"},        {"DO(0,1)", "-40001"},
      {"DO(1001,0)", "-40001"},      {"DO(-5,1)", "-40001"},        {"DO(4294967301,1)", "-40001"},
      {"DO(5,2)", "-40002"},         {"DO(5,-1)", "-40002"},        {"DO(5)", "-20000"},
      {"DO(5,1,1)", "-20000"},       {"DO(a,1)", "-30001"},         {"DO(5,b)", "-30002"},
      {"DO(5.0,1)", "-30001"},       {"DOExecute(17,1)", "-40001"}, {"DOExecute(5,2)", "-40002"},
      {"ToolDO(5,1)", "-40001"},     {"ToolDO(0,1)", "-40001"},     {"ToolDO(17,1)", "-40001"},
      {"ToolDO(1,2)", "-40002"},     {"ToolDOExecute(5,0)", "-40001"}, {"ToolDOExecute(1)", "-20000"},
      {"DOGroup(1,1,50,0)", "-40003"}, {"DOGroup(1,2)", "-40002"},   {"DOGroup(1,1,2,0,3,5)", "-40006"},
      {"DOGroup(1)", "-20000"},      {"DOGroup()", "-20000"},       {"DOGroup(1,1,2)", "-20000"},
      {tooMany, "-20000"},           {"DOGroup(1,x)", "-30002"},    {"DOGroup(1,1,2,0,y,1)", "-30005"},
      {"DI(17)", "-40001"},          {"DI(0)", "-40001"},           {"DI(-1)", "-40001"},
      {"DI()", "-20000"},            {"DI(1,2)", "-20000"},         {"DI(x)", "-30001"},
      {"ToolDI(5)", "-40001"},       {"ToolDI(0)", "-40001"},       {"ToolDI(256)", "-40001"},
      {"ToolDI(1,1)", "-20000"},     {"ToolDI(y)", "-30001"},       {"BrakeControl(7,1)", "-40001"},
      {"BrakeControl(0,1)", "-40001"}, {"BrakeControl(1,2)", "-40002"}, {"BrakeControl(1,-1)", "-40002"},
      {"BrakeControl(1)", "-20000"}, {"BrakeControl(a,1)", "-30001"}, {"BrakeControl(1,b)", "-30002"},
  };
  for (const auto& [command, id] : rows) {
    SCOPED_TRACE(command.substr(0, 40));
    const std::string expected = id + ",{}," + command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(command, expected, sent), expected);
    EXPECT_TRUE(sent.empty()) << describe(sent);
  }
}

TEST_F(IoCommands, DIAnswersTheLevelTheKernelReports) {
  peer_.setReadReply(kGetDI, outputRecord(3, 1));
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("DI(3)", "0,{1},DI(3);", sent), "0,{1},DI(3);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(sent[0].id, kGetDI);
  EXPECT_EQ(sent[0].ctrl, kRead);
  EXPECT_EQ(sent[0].params, (Bytes{0x03, 0, 0, 0, 0, 0, 0, 0}));

  peer_.setReadReply(kGetDI, outputRecord(16, 0));
  EXPECT_EQ(call("DI(16)", "0,{0},DI(16);", sent), "0,{0},DI(16);");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].params, (Bytes{0x10, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(recorder_.waitForLine("index 16 ,level:0", 2s));
}

TEST_F(IoCommands, ToolDIReadsTheOneToolInputItNames) {
  Bytes reply(18, 0);
  reply[0] = 17;
  reply[1] = 1;
  reply[2] = 0x01;
  peer_.setReadReply(kGetDIEx, reply);
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("ToolDI(257)", "0,{1},ToolDI(257);", sent), "0,{1},ToolDI(257);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(sent[0].id, kGetDIEx);
  EXPECT_EQ(sent[0].ctrl, kRead);
  Bytes request(18, 0);
  request[0] = 0x11;
  request[1] = 0x01;
  EXPECT_EQ(sent[0].params, request) << "index and count 1: one input, not the packed image";

  // Only bit 0 of byte 2 is the level.
  reply[2] = 0xFE;
  peer_.setReadReply(kGetDIEx, reply);
  EXPECT_EQ(call("ToolDI(4)", "0,{0},ToolDI(4);", sent), "0,{0},ToolDI(4);");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].params[0], 20);
}

TEST_F(IoCommands, BrakeControlRelaysTheRecordsJointNumber) {
  std::vector<PeerRequest> sent;
  peer_.setRawAnswer("0");
  EXPECT_EQ(call("BrakeControl(1,1)", "0,{},BrakeControl(1,1);", sent), "0,{},BrakeControl(1,1);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(sent[0].id, kRawText);
  EXPECT_EQ(textOf(sent[0]), "BrakeControl(0,1)");

  peer_.setRawAnswer("-1");
  EXPECT_EQ(call("BrakeControl(6,0)", "-1,{},BrakeControl(6,0);", sent), "-1,{},BrakeControl(6,0);");
  ASSERT_EQ(sent.size(), 1u) << describe(sent);
  EXPECT_EQ(textOf(sent[0]), "BrakeControl(5,0)");
}

TEST_F(IoCommands, ALostPacketIsAnsweredAsAFailure) {
  struct Row {
    std::string command;
    std::uint16_t id;
    std::uint8_t ctrl;
    std::string reply;
  };
  const Row rows[] = {
      {"DI(3)", kGetDI, kRead, "-1,{},"},
      {"ToolDI(1)", kGetDIEx, kRead, "-1,{},"},
      {"DO(5,1)", kSetDO, kQueued, "-1,{},"},
      {"DOExecute(5,1)", kSetDO, kWriteNow, "-1,{},"},
      {"ToolDO(1,1)", kSetDO, kQueued, "-1,{},"},
      {"ToolDOExecute(1,1)", kSetDO, kWriteNow, "-1,{},"},
      {"DOGroup(1,1)", kSetGroupDO, kWriteNow, "-1,{},"},
      {"BrakeControl(1,1)", kRawText, 0, "CommunicationError,{},"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    peer_.setUnanswered(row.id, row.ctrl);
    const std::string expected = row.reply + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    ASSERT_EQ(sent.size(), 1u) << describe(sent);
    EXPECT_EQ(sent[0].id, row.id);
  }
  for (const char* line : {"alloc_SetIODO(&param, true) error ,pack is nullptr",
                           "alloc_SetIODO(&param, false) error ,pack is nullptr",
                           "alloc_SetMulIODO(&GDO, false) error ,pack is nullptr"}) {
    EXPECT_TRUE(recorder_.waitForLine(line, 2s)) << line;
  }
}

TEST_F(IoCommands, LogsTheArgumentsAndTheFailedCheck) {
  std::vector<PeerRequest> sent;
  call("DO(17,1)", "-40001,{},DO(17,1);", sent);
  call("DOGroup(1)", "-20000,{},DOGroup(1);", sent);
  call("DI(q)", "-30001,{},DI(q);", sent);
  for (const char* line : {" arg[0]=17 arg[1]=1", "the range of the params value is wrong: -40001,{},",
                           "the number of params is wrong: -20000,{},", "the type of params is wrong: -30001,{},"}) {
    EXPECT_TRUE(recorder_.waitForLine(line, 2s)) << line;
  }
}

}  // namespace
}  // namespace zelor::test
