// The move commands through port 29999 as a client meets them, with the
// data-server peer recording every packet brevan exchanges.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"
#include "support/brevan_rig.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::sim::PeerRequest;

constexpr std::uint16_t kTransition = 51;
constexpr std::uint16_t kCommonParams = 83;
constexpr std::uint16_t kMove = 84;
constexpr std::uint16_t kUserFrame = 250;
constexpr std::uint16_t kToolFrame = 251;
constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWriteNow = 0x01;
constexpr std::uint8_t kQueued = 0x03;

// The kernel's frames as the peer reports them: user and tool index 0.
const Bytes kKernelUser = concat(bytesOf(std::uint32_t{0}), floats({5, 6, 7, 8}));
const Bytes kKernelTool = concat(bytesOf(std::uint32_t{0}), floats({9, 10, 11, 12}));
constexpr std::uint8_t kKernelCp = 20;

// Stored user frames 1 and 3 (frame 5 is not set).
const Bytes kUserFrame1 = concat(bytesOf(std::uint32_t{1}), floats({100, 50, 0, 30}));
const Bytes kUserFrame3 = concat(bytesOf(std::uint32_t{3}), floats({-20, 40, 10, 90}));

struct Req {
  std::uint16_t id;
  std::uint8_t ctrl;
  Bytes params;
};

Bytes move(std::uint8_t mode, float x, float y, float z, float r) {
  return concat(Bytes{mode}, floats({x, y, z, r}));
}

Bytes ratiosWith(std::size_t offset, float value) {
  Bytes ratios = kKernelRatios;
  const Bytes v = bytesOf(value);
  std::copy(v.begin(), v.end(), ratios.begin() + static_cast<std::ptrdiff_t>(offset));
  return ratios;
}

std::string describeFull(const std::vector<Req>& requests) {
  std::vector<PeerRequest> listed;
  for (const Req& r : requests) listed.push_back({r.id, r.ctrl, static_cast<std::uint16_t>(r.params.size()), r.params});
  return describe(listed);
}

void writeUserFrames() {
  const std::filesystem::path dir = std::filesystem::path(zelor::paths::kProjectDir) / "settings/coordinate";
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / "user.json", std::ios::trunc);
  out << "[";
  for (int i = 0; i < 10; ++i) {
    const char* params = i == 1 ? "[100,50,0,30,0,0]" : i == 3 ? "[-20,40,10,90,0,0]" : "[0,0,0,0,0,0]";
    out << (i ? "," : "") << "{\"enable\":" << (i == 0 || i == 1 || i == 3 ? "true" : "false")
        << ",\"params\":" << params << "}";
  }
  out << "]";
}

class MoveCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    // The frame tables are read when brevan starts.
    writeUserFrames();
    peer_.setControlMode("tcp");
    peer_.setReadReply(kCommonParams, kKernelRatios);
    peer_.setReadReply(kUserFrame, kKernelUser);
    peer_.setReadReply(kToolFrame, kKernelTool);
    peer_.setReadReply(kTransition, {kKernelCp});
    peer_.start();
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(brevan_->waitForPorts()) << "ports 29999 and 30003 never listened";
    client_ = std::make_unique<Client>(29999);
    ASSERT_TRUE(client_->connected());
  }

  // Sends the command; returns its reply, the packets it made in sent.
  std::string call(const std::string& command, const std::string& expected, std::vector<Req>& sent) {
    const std::size_t before = peer_.requests().size();
    const std::string reply = client_->exchange(command, expected);
    const std::vector<PeerRequest> all = peer_.requests();
    sent.clear();
    for (std::size_t i = before; i < all.size(); ++i) {
      EXPECT_EQ(all[i].length, all[i].params.size()) << "request " << all[i].id;
      sent.push_back({all[i].id, all[i].ctrl, all[i].params});
    }
    return reply;
  }

  static bool hasMove(const std::vector<Req>& sent) {
    return std::any_of(sent.begin(), sent.end(), [](const Req& r) { return r.id == kMove; });
  }

  ChannelRecorder recorder_{15};
  zelor::sim::DataServerPeer peer_;
  std::unique_ptr<Brevan> brevan_;
  std::unique_ptr<Client> client_;
};

void expectSequence(const std::vector<Req>& sent, const std::vector<Req>& expected) {
  ASSERT_EQ(sent.size(), expected.size()) << "sent:" << describeFull(sent) << "\nwanted:" << describeFull(expected);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i));
    EXPECT_EQ(sent[i].id, expected[i].id);
    EXPECT_EQ(static_cast<int>(sent[i].ctrl), static_cast<int>(expected[i].ctrl));
    EXPECT_EQ(sent[i].params, expected[i].params);
  }
}

TEST_F(MoveCommands, QueueTheMoveBetweenTheirSettingsAndTheRestoreOfThem) {
  const Req readUser{kUserFrame, kRead, {}};
  const Req readTool{kToolFrame, kRead, {}};
  const Req readRatios{kCommonParams, kRead, {}};
  const Req restoreUser{kUserFrame, kQueued, kKernelUser};
  const Req restoreTool{kToolFrame, kQueued, kKernelTool};
  const Req restoreRatios{kCommonParams, kQueued, kKernelRatios};
  struct Row {
    std::string command;
    std::vector<Req> sequence;
  };
  const std::vector<Row> rows = {
      {"MovJ(100,200,50,0)",
       {readUser, readTool, readRatios,
        {kMove, kQueued, {0x01, 0, 0, 0xC8, 0x42, 0, 0, 0x48, 0x43, 0, 0, 0x48, 0x42, 0, 0, 0, 0}},
        restoreUser, restoreTool}},
      {"MovJ(100,200,50,0,SpeedJ=50)",
       {readUser, readTool, readRatios, {kCommonParams, kQueued, ratiosWith(0, 50)},
        {kMove, kQueued, move(1, 100, 200, 50, 0)}, restoreRatios, restoreUser, restoreTool}},
      {"MovJ(100,200,50,0,SpeedL=40,AccJ=30,AccL=20,SpeedJ=60)",
       {readUser, readTool, readRatios,
        {kCommonParams, kQueued,
         concat(floats({60, 30, 13, 40, 15, 20}), floats({17, 18, 19}))},
        {kMove, kQueued, move(1, 100, 200, 50, 0)}, restoreRatios, restoreUser, restoreTool}},
      {"MovJ(100,200,50,0,CP=30)",
       {readUser, readTool, readRatios, {kTransition, kRead, {}}, {kTransition, kQueued, {30}},
        {kMove, kQueued, move(1, 100, 200, 50, 0)}, {kTransition, kQueued, {kKernelCp}}, restoreUser,
        restoreTool}},
      // Twice: the restore makes frame 0 current again, so the second one
      // switches to frame 1 as well.
      {"MovJ(100,200,50,0,User=1)",
       {readUser, readTool, readRatios, readUser, {kUserFrame, kQueued, kUserFrame1}, restoreRatios,
        {kMove, kQueued, move(1, 100, 200, 50, 0)}, restoreRatios, restoreUser, restoreTool}},
      {"MovJ(100,200,50,0,User=1)",
       {readUser, readTool, readRatios, readUser, {kUserFrame, kQueued, kUserFrame1}, restoreRatios,
        {kMove, kQueued, move(1, 100, 200, 50, 0)}, restoreRatios, restoreUser, restoreTool}},
      {"MovL(-100.5,200,50,45)",
       {readUser, readTool, readRatios, {kMove, kQueued, move(2, -100.5F, 200, 50, 45)}, restoreUser, restoreTool}},
      {"JointMovJ(10,20,-30,40)", {readRatios, {kMove, kQueued, move(4, 10, 20, -30, 40)}}},
      {"RelMovJ(1,-2,3,-4)", {readRatios, {kMove, kQueued, move(6, 1, -2, 3, -4)}}},
      {"RelMovL(10,0,0)",
       {readRatios, {kMove, kQueued, {0x07, 0, 0, 0x20, 0x41, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}}},
      {"RelJointMovJ(1,2,3,4,0,0,SpeedJ=20)",
       {readRatios, readRatios, {kCommonParams, kQueued, ratiosWith(0, 20)}, {kMove, kQueued, move(6, 1, 2, 3, 4)},
        restoreRatios}},
      {"RelJointMovJ(1,2,3,4,0,0,CP=30)",
       {readRatios, readRatios, restoreRatios, {kTransition, kRead, {}}, {kTransition, kQueued, {30}},
        {kMove, kQueued, move(6, 1, 2, 3, 4)}, restoreRatios, {kTransition, kQueued, {kKernelCp}}}},
      {"RelMovJUser(1,2,3,4,0,0,3)", {{kUserFrame, kWriteNow, kUserFrame3}, {kMove, kQueued, move(8, 1, 2, 3, 4)}}},
      {"RelMovLUser(1,2,3,4,0,0,3,AccL=40)",
       {readRatios, readRatios, {kCommonParams, kQueued, ratiosWith(20, 40)}, {kUserFrame, kWriteNow, kUserFrame3},
        {kMove, kQueued, move(7, 1, 2, 3, 4)}, restoreRatios}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string expected = "0,{}," + row.command + ";";
    std::vector<Req> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected) << "the reply never carries the queue index";
    expectSequence(sent, row.sequence);
  }
}

TEST_F(MoveCommands, RefusedCommandsQueueNoMove) {
  const Req restoreUser{kUserFrame, kQueued, kKernelUser};
  const Req restoreTool{kToolFrame, kQueued, kKernelTool};
  const Req restoreRatios{kCommonParams, kQueued, kKernelRatios};
  enum class After { Nothing, Frames, Ratios, RatiosAndCp };
  struct Row {
    std::string command;
    std::string reply;
    After after;
  };
  const std::vector<Row> rows = {
      {"MovJ(200,0,0)", "-20000", After::Nothing},
      {"MovJ(200,a,0,0)", "-30002", After::Nothing},
      {"MovJ(1e11,0,0,0)", "-40001", After::Nothing},
      {"MovJ(200,0,0,nan)", "-40004", After::Nothing},
      {"MovJ(200,0,-inf,0)", "-40003", After::Nothing},
      {"MovL(200,0,0,1e39)", "-40004", After::Nothing},
      {"MovJ(200,0,0,0,SpeedJ=150)", "-40004", After::Frames},
      {"MovJ(200,0,0,0,SpeedJ=0)", "-40004", After::Frames},
      {"MovJ(200,0,0,0,SpeedJ=2.5)", "-30001", After::Frames},
      {"MovJ(200,0,0,0,SpeedJ=x)", "-30001", After::Frames},
      {"MovJ(200,0,0,0,User=12)", "-40004", After::Frames},
      {"MovJ(200,0,0,0,User=5)", "-1", After::Frames},
      {"MovJ(200,0,0,0,CP=150)", "-40004", After::Frames},
      {"MovJ(200,0,0,0,CP=x)", "-30005", After::Frames},
      {"MovJ(200,0,0,0,Tool=0,CP=150)", "-40005", After::Frames},
      {"JointMovJ(0,0,50,0)", "-40003", After::Nothing},
      {"JointMovJ(133,0,0,0)", "-40001", After::Nothing},
      {"RelMovJ(1,2,3)", "-20000", After::Nothing},
      {"RelMovL(1,2)", "-20000", After::Nothing},
      {"RelMovL(1,nan,3)", "-40002", After::Nothing},
      {"RelJointMovJ(1,2,3,4,0,0,SpeedL=20)", "-1", After::Nothing},
      {"RelJointMovJ(1,a,3,4,0,0,SpeedJ=20)", "-30002", After::Ratios},
      {"RelJointMovJ(1,2,nan,4,0,0,SpeedJ=20)", "-40003", After::Ratios},
      {"RelJointMovJ(1,2,3,inf)", "-40004", After::Nothing},
      {"RelJointMovJ(1,2,3)", "-20000", After::Nothing},
      {"RelJointMovJ(1,2,3,4,0,0,SpeedJ20)", "-40006", After::Nothing},
      {"RelJointMovJ(1,2,3,4,0,0,SpeedJ=abc)", "-30006", After::Nothing},
      {"RelJointMovJ(1,2,3,4,0,0,CP=150)", "-40006", After::Ratios},
      {"RelMovJUser(1,2,3,4,0,0,5)", "-30006", After::Nothing},
      {"RelMovJUser(1,2,3,4,0,0,-1)", "-30006", After::Nothing},
      {"RelMovJUser(1,2,3,4,0,0,-2)", "-30006", After::Nothing},
      {"RelMovJUser(1,2,3,4,0,0,12)", "-30006", After::Nothing},
      {"RelMovJUser(1,2,3,4,0,0,x)", "-30006", After::Nothing},
      {"RelMovJUser(1,2,3,4,0,0)", "-20000", After::Nothing},
      {"RelMovJUser(1,2,3)", "-20000", After::Nothing},
      {"RelMovJUser(1,b,3,4,0,0,3)", "-30002", After::Nothing},
      {"RelMovLUser(1,2,inf,4,0,0,3)", "-40003", After::Nothing},
      {"RelMovLUser(1,2,3,4,0,0,3,SpeedJ=20)", "-1", After::Nothing},
      {"RelMovJUser(1,2,3,4,0,0,5,SpeedJ=20,CP=30)", "-30006", After::RatiosAndCp},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string expected = row.reply + ",{}," + row.command + ";";
    std::vector<Req> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    EXPECT_FALSE(hasMove(sent)) << describeFull(sent);
    switch (row.after) {
      case After::Nothing:
        EXPECT_TRUE(sent.empty()) << describeFull(sent);
        break;
      case After::Frames:
        ASSERT_GE(sent.size(), 2u) << describeFull(sent);
        expectSequence({sent.end() - 2, sent.end()}, {restoreUser, restoreTool});
        break;
      case After::Ratios:
        ASSERT_FALSE(sent.empty());
        expectSequence({sent.end() - 1, sent.end()}, {restoreRatios});
        break;
      case After::RatiosAndCp:
        ASSERT_GE(sent.size(), 2u) << describeFull(sent);
        expectSequence({sent.end() - 2, sent.end()}, {restoreRatios, {kTransition, kQueued, {kKernelCp}}});
        break;
    }
  }

  // Without the project's joint limits the defaults hold: J3 5 .. 245.
  const std::filesystem::path structure =
      std::filesystem::path(zelor::paths::kProjectDir) / "properties/structure.json";
  const std::filesystem::path aside = structure.string() + ".aside";
  std::filesystem::rename(structure, aside);
  std::vector<Req> sent;
  EXPECT_EQ(call("JointMovJ(0,0,2,0)", "-40003,{},JointMovJ(0,0,2,0);", sent), "-40003,{},JointMovJ(0,0,2,0);");
  EXPECT_TRUE(sent.empty()) << describeFull(sent);
  EXPECT_EQ(call("JointMovJ(0,0,50,0)", "0,{},JointMovJ(0,0,50,0);", sent), "0,{},JointMovJ(0,0,50,0);");
  EXPECT_TRUE(hasMove(sent));
  std::filesystem::rename(aside, structure);
}

TEST_F(MoveCommands, LostPacketsAreReportedAsFailures) {
  std::vector<Req> sent;
  // The frames could not be saved: nothing is queued.
  peer_.setUnansweredNext(kUserFrame, kRead, 1);
  EXPECT_EQ(call("MovJ(100,200,50,0)", "-1,{},MovJ(100,200,50,0);", sent), "-1,{},MovJ(100,200,50,0);");
  expectSequence(sent, {{kUserFrame, kRead, {}}});

  peer_.setUnansweredNext(kToolFrame, kRead, 1);
  EXPECT_EQ(call("MovL(100,200,50,0)", "-1,{},MovL(100,200,50,0);", sent), "-1,{},MovL(100,200,50,0);");
  expectSequence(sent, {{kUserFrame, kRead, {}}, {kToolFrame, kRead, {}}});

  // The move itself lost: what was changed for it is put back all the same.
  peer_.setUnansweredNext(kMove, kQueued, 1);
  EXPECT_EQ(call("MovJ(100,200,50,0,CP=30)", "-1,{},MovJ(100,200,50,0,CP=30);", sent),
            "-1,{},MovJ(100,200,50,0,CP=30);");
  ASSERT_GE(sent.size(), 3u) << describeFull(sent);
  expectSequence({sent.end() - 3, sent.end()}, {{kTransition, kQueued, {kKernelCp}},
                                                {kUserFrame, kQueued, kKernelUser},
                                                {kToolFrame, kQueued, kKernelTool}});

  peer_.setUnansweredNext(kMove, kQueued, 1);
  EXPECT_EQ(call("RelJointMovJ(1,2,3,4,0,0,SpeedJ=20)", "-1,{},RelJointMovJ(1,2,3,4,0,0,SpeedJ=20);", sent),
            "-1,{},RelJointMovJ(1,2,3,4,0,0,SpeedJ=20);");
  ASSERT_FALSE(sent.empty());
  expectSequence({sent.end() - 1, sent.end()}, {{kCommonParams, kQueued, kKernelRatios}});

  // Without the kernel's ratios an option could never be put back.
  peer_.setUnansweredNext(kCommonParams, kRead, 1);
  EXPECT_EQ(call("MovJ(100,200,50,0,SpeedJ=50)", "-1,{},MovJ(100,200,50,0,SpeedJ=50);", sent),
            "-1,{},MovJ(100,200,50,0,SpeedJ=50);");
  EXPECT_FALSE(hasMove(sent));
  ASSERT_GE(sent.size(), 2u) << describeFull(sent);
  expectSequence({sent.end() - 2, sent.end()},
                 {{kUserFrame, kQueued, kKernelUser}, {kToolFrame, kQueued, kKernelTool}});

  // Nor could a CP ratio that was not read.
  peer_.setUnansweredNext(kTransition, kRead, 1);
  EXPECT_EQ(call("JointMovJ(10,20,-30,40,CP=30)", "-1,{},JointMovJ(10,20,-30,40,CP=30);", sent),
            "-1,{},JointMovJ(10,20,-30,40,CP=30);");
  EXPECT_FALSE(hasMove(sent));
  EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const Req& r) { return r.ctrl == kQueued; }))
      << describeFull(sent);

  // A plain move without its options' read still runs.
  peer_.setUnansweredNext(kCommonParams, kRead, 1);
  EXPECT_EQ(call("MovJ(100,200,50,0)", "0,{},MovJ(100,200,50,0);", sent), "0,{},MovJ(100,200,50,0);");
  EXPECT_TRUE(hasMove(sent));
}

// An option or CP ratio that did not reach the kernel's queue would leave the
// move to run with whatever is in force: the move is not sent.
TEST_F(MoveCommands, AFailedOptionOrCpPushSendsNoMove) {
  struct Row {
    std::string command;
    std::uint16_t id;  // the queued packet that gets no kernel reply
  };
  const Row rows[] = {
      {"MovJ(100,200,50,0,SpeedJ=50)", kCommonParams},
      {"MovL(100,200,50,0,CP=30)", kTransition},
      {"RelJointMovJ(1,2,3,4,0,0,SpeedJ=20)", kCommonParams},
      {"JointMovJ(10,20,-30,40,CP=30)", kTransition},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    peer_.setUnansweredNext(row.id, kQueued, 1);
    std::vector<Req> sent;
    const std::string expected = "-1,{}," + row.command + ";";
    EXPECT_EQ(call(row.command, expected, sent), expected);
    EXPECT_FALSE(hasMove(sent)) << describeFull(sent);
  }
}

// A restore that fails after the move was queued is logged and sent once
// more; the move's reply stands.
TEST_F(MoveCommands, AFailedRestoreIsLoggedAndRetriedOnce) {
  std::vector<Req> sent;
  peer_.setUnansweredNext(kUserFrame, kQueued, 1);
  EXPECT_EQ(call("MovJ(100,200,50,0)", "0,{},MovJ(100,200,50,0);", sent), "0,{},MovJ(100,200,50,0);");
  ASSERT_GE(sent.size(), 4u) << describeFull(sent);
  expectSequence({sent.end() - 4, sent.end()}, {{kMove, kQueued, move(1, 100, 200, 50, 0)},
                                                {kUserFrame, kQueued, kKernelUser},
                                                {kUserFrame, kQueued, kKernelUser},
                                                {kToolFrame, kQueued, kKernelTool}});
  EXPECT_TRUE(recorder_.waitForLine("restore failed user frame", 2s));

  // Failing again: sent twice in all, logged, the reply still the move's.
  peer_.setUnanswered(kUserFrame, kQueued);
  EXPECT_EQ(call("MovL(100,200,50,0)", "0,{},MovL(100,200,50,0);", sent), "0,{},MovL(100,200,50,0);");
  ASSERT_GE(sent.size(), 4u) << describeFull(sent);
  expectSequence({sent.end() - 4, sent.end()}, {{kMove, kQueued, move(2, 100, 200, 50, 0)},
                                                {kUserFrame, kQueued, kKernelUser},
                                                {kUserFrame, kQueued, kKernelUser},
                                                {kToolFrame, kQueued, kKernelTool}});
  EXPECT_TRUE(recorder_.waitForLine("restore failed user frame again", 2s));
  const std::vector<std::string> lines = recorder_.lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("restore failed user frame") != std::string::npos && line.find("[error]") != std::string::npos;
  })) << "not logged at error level";
}

TEST_F(MoveCommands, LogTheMoveWithItsModeName) {
  std::vector<Req> sent;
  call("MovJ(100,200,50,0)", "0,{},MovJ(100,200,50,0);", sent);
  call("RelMovL(10,0,0)", "0,{},RelMovL(10,0,0);", sent);
  call("RelMovJUser(1,2,3,4,0,0,3)", "0,{},RelMovJUser(1,2,3,4,0,0,3);", sent);
  call("MovJ(200,x,0,0)", "-30002,{},MovJ(200,x,0,0);", sent);
  for (const char* line : {"[MovJ]:100,200,50,0  method:PTPMOVJXYZMode", "[RelMovL]:10,0,0,0  method:PTPMOVLXYZINCMode",
                           "1,2,3,4 method:PTPMOVJXYZINCMode", "The 2 parameter contains a string"}) {
    EXPECT_TRUE(recorder_.waitForLine(line, 2s)) << line;
  }
}

}  // namespace
}  // namespace zelor::test
