// The helpers the move commands use, in-process against the data-server
// peer: keyed options, the CP reader and its restore, the temporary change of
// the common parameters, and the frame loader. They log on channel 15, so
// they run in the sandbox.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "data_server_peer/data_server_peer.h"
#include "exchange/exchange_pack.h"
#include "install_paths.h"
#include "rpc_api/checks/cp_setting.h"
#include "rpc_api/checks/ptp_common_set_back.h"
#include "rpc_api/rpc_execute_api.h"
#include "support/brevan_rig.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::modules::rpcExecuteApis::Args;
using zelor::modules::rpcExecuteApis::CPSetting;
using zelor::modules::rpcExecuteApis::OptionMap;
using zelor::modules::rpcExecuteApis::PTPCommonSetBack;
using zelor::modules::rpcExecuteApis::rpcExecuteApi;
using zelor::sim::DataServerPeer;
using zelor::sim::PeerRequest;

constexpr const char* kPreset = "0,{},";
constexpr std::uint16_t kCommonParams = 83;
constexpr std::uint16_t kTransition = 51;
constexpr std::uint16_t kUserFrame = 250;
constexpr std::uint16_t kToolFrame = 251;

class Helpers : public ::testing::Test {
 protected:
  void SetUp() override {
    allowRoomyQueues();
    peer_ = std::make_unique<DataServerPeer>();
    peer_->setControlMode("tcp");
    peer_->setReadReply(kCommonParams, kKernelRatios);
    peer_->setReadReply(kTransition, {20});
    m_exchange.open(zelor::paths::kLogKeyPath);
    peer_->start();
  }

  // The packets sent since the last call.
  std::vector<PeerRequest> sent() {
    const std::vector<PeerRequest> all = peer_->requests();
    std::vector<PeerRequest> fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }

  std::unique_ptr<DataServerPeer> peer_;
  std::size_t seen_ = 0;
};

TEST_F(Helpers, Vector2MapReadsKeyedOptionsFromTheEnd) {
  struct Row {
    Args args;
    std::uint8_t start;
    OptionMap map;
    std::string reply;
  };
  const std::vector<Row> rows = {
      {{"1", "2", "3", "4", "SpeedJ=50", "SpeedJ=20"}, 4, {{"SpeedJ", 20}}, kPreset},
      {{"1", "2", "3", "4", "SpeedJ=50", "AccJ=0", "CP=7"}, 4, {{"SpeedJ", 50}, {"AccJ", 0}, {"CP", 7}}, kPreset},
      {{"1", "2", "3", "4", "SpeedJ=abc"}, 4, {{"SpeedJ", 0}}, "-30004,{},"},
      {{"1", "2", "3", "4", "SpeedJ=255"}, 4, {{"SpeedJ", 255}}, kPreset},
      // Values past the option byte are refused, not wrapped (300 would be 44).
      {{"1", "2", "3", "4", "SpeedJ=300"}, 4, {}, "-40004,{},"},
      {{"1", "2", "3", "4", "Tool=265"}, 4, {}, "-40004,{},"},
      {{"1", "2", "3", "4", "Tool=-247"}, 4, {}, "-40004,{},"},
      {{"1", "2", "3", "4", "CP=5", "SpeedJ=99999999999"}, 4, {}, "-40005,{},"},
      // Walking from the end, a bad one stops the walk.
      {{"1", "2", "3", "4", "SpeedJ=50", "AccJ", "CP=5"}, 4, {{"CP", 5}}, "-40005,{},"},
      {{"1", "2"}, 4, {}, kPreset},
      {{"1", "2", "3", "4"}, 4, {}, kPreset},
      {{}, 0, {}, "-20000,{},"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    OptionMap map;
    std::string reply = kPreset;
    rpcExecuteApi::Vector2Map(row.args, map, row.start, reply);
    EXPECT_EQ(map, row.map);
    EXPECT_EQ(reply, row.reply);
  }
}

TEST_F(Helpers, GetStringValueTakesTheTextAfterTheKeyUpToAComma) {
  struct Row {
    std::string input, key;
    bool found;
    std::string value;
  };
  const std::vector<Row> rows = {
      {"user=3,tool=4", "user", true, "3"},
      {"a,user=12,tool", "user", true, "12"},
      {"user=3", "user", false, ""},       // no comma after the value
      {"user=,x", "user", false, ""},      // comma right after the key's next character
      {"tool=1,", "user", false, ""},      // key absent
      {"user", "user", false, ""},         // key not shorter than the input
      {"xuser", "user", false, ""},        // nothing after the key
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input + " / " + row.key);
    std::string value;
    EXPECT_EQ(rpcExecuteApi::GetStringValue(row.input, row.key, value), row.found);
    EXPECT_EQ(value, row.value);
  }
}

TEST_F(Helpers, CpReaderCountsOnlyACpThatNoOtherArgumentFollows) {
  struct Row {
    Args args;
    bool valid;
    int value;  // -1: left as it was
    std::string reply;
  };
  const std::vector<Row> rows = {
      {{"200", "0", "0", "0", "SpeedJ=50", "CP=50"}, true, 50, kPreset},
      {{"200", "0", "0", "0", "CP=50", "SpeedJ=20"}, false, 50, kPreset},
      {{"CP=0"}, true, 0, kPreset},
      {{"CP=100"}, true, 100, kPreset},
      {{"1", "CP=150"}, false, -1, "-40001,{},"},
      {{"1", "2", "CP=-3"}, false, -1, "-40002,{},"},
      {{"CP=5.5"}, false, -1, "-30001,{},"},
      {{"1", "CP="}, false, -1, "-30002,{},"},
      {{"1", "2"}, false, -1, kPreset},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    CPSetting cp;
    int value = -1;
    std::string reply = kPreset;
    EXPECT_EQ(cp.getInuputCpValue(&value, row.args, reply), row.valid);
    EXPECT_EQ(cp.m_isValid, row.valid);
    EXPECT_EQ(value, row.value);
    EXPECT_EQ(reply, row.reply);
  }
  EXPECT_TRUE(sent().empty());
}

TEST_F(Helpers, CpSettingAsAMoveUsesItQueuesTheNewRatioAndRestoresTheOld) {
  {
    CPSetting cp;
    int value = 0;
    std::string reply = kPreset;
    ASSERT_TRUE(cp.getInuputCpValue(&value, {"200", "0", "0", "0", "SpeedJ=50", "CP=50"}, reply));
    ASSERT_TRUE(cp.getCurCpValue(&cp.m_cpValue));
    EXPECT_EQ(cp.m_cpValue, 20);
    EXPECT_EQ(cp.setCpValue(value, reply), 0);
    EXPECT_EQ(reply, kPreset);
    const std::vector<PeerRequest> before = sent();
    ASSERT_EQ(before.size(), 2u) << describe(before);
    EXPECT_EQ(before[0].id, kTransition);
    EXPECT_EQ(before[0].ctrl, 0x00);
    EXPECT_EQ(before[1].id, kTransition);
    EXPECT_EQ(before[1].ctrl, 0x03);
    EXPECT_EQ(before[1].params, Bytes{0x32});
  }
  const std::vector<PeerRequest> restore = sent();
  ASSERT_EQ(restore.size(), 1u) << describe(restore);
  EXPECT_EQ(restore[0].id, kTransition);
  EXPECT_EQ(restore[0].ctrl, 0x03);
  EXPECT_EQ(restore[0].params, Bytes{20});

  {
    CPSetting cp;
    std::string reply = kPreset;
    EXPECT_EQ(cp.setCpValue(101, reply), -1);
    EXPECT_EQ(reply, "-30000,{},");
    EXPECT_EQ(cp.setCpValue(-1, reply), -1) << "compared unsigned";
  }
  EXPECT_TRUE(sent().empty()) << "nothing to restore, nothing sent";

  peer_->setUnanswered(kTransition, 0x00);
  {
    CPSetting cp;
    EXPECT_FALSE(cp.getCurCpValue(&cp.m_cpValue));
    EXPECT_EQ(cp.m_cpValue, CPSetting::kNothingToRestore);
  }
  EXPECT_EQ(sent().size(), 1u) << "a ratio never read is never restored";
}

TEST_F(Helpers, PtpCommonSetBackChangesTheRatiosAndPutsThemBack) {
  PTPCommonSetBack change;
  std::string reply = kPreset;
  EXPECT_EQ(change.set({{"SpeedJ", 50}}, {"SpeedJ", "AccJ", "CP"}, reply), 0);
  EXPECT_EQ(reply, kPreset);
  std::vector<PeerRequest> packets = sent();
  ASSERT_EQ(packets.size(), 3u) << describe(packets);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(packets[i].id, kCommonParams);
    EXPECT_EQ(packets[i].ctrl, 0x00);
  }
  EXPECT_EQ(packets[2].id, kCommonParams);
  EXPECT_EQ(packets[2].ctrl, 0x03);
  Bytes changed = kKernelRatios;
  changed[0] = 0x00, changed[1] = 0x00, changed[2] = 0x48, changed[3] = 0x42;
  EXPECT_EQ(packets[2].params, changed);

  EXPECT_EQ(change.back(), 0);
  packets = sent();
  ASSERT_EQ(packets.size(), 1u) << describe(packets);
  EXPECT_EQ(packets[0].ctrl, 0x03);
  EXPECT_EQ(packets[0].params, kKernelRatios) << "back() sends the saved record";
}

TEST_F(Helpers, PtpCommonSetBackRefusesAKeyNotAllowedAndSendsNothing) {
  PTPCommonSetBack change;
  std::string reply = kPreset;
  EXPECT_EQ(change.set({{"SpeedJ", 50}, {"SpeedL", 20}}, {"SpeedJ", "AccJ", "CP"}, reply), -1);
  EXPECT_EQ(reply, "-1,{},");
  EXPECT_EQ(change.back(), 0);
  EXPECT_TRUE(sent().empty()) << describe(sent());

  peer_->setUnanswered(kCommonParams, 0x03);
  EXPECT_EQ(change.set({{"AccL", 30}}, {"AccL"}, reply), -1);
  EXPECT_EQ(reply, "-1,{},");
  EXPECT_EQ(change.back(), 0) << "nothing to put back after a failed change";
  EXPECT_EQ(sent().size(), 3u);
}

TEST_F(Helpers, PtpCommonSetBackSelectsFramesAtOnce) {
  writeFrames("user.json", 2, {10, 20, 30, 40, 0, 0});
  rpcExecuteApi::reloadFrames();
  PTPCommonSetBack change;
  std::string reply = kPreset;
  EXPECT_EQ(change.set({{"User", 2}, {"CP", 5}}, {"User", "CP"}, reply), 0);
  EXPECT_EQ(reply, kPreset);
  std::vector<PeerRequest> packets = sent();
  ASSERT_EQ(packets.size(), 4u) << describe(packets);
  EXPECT_EQ(packets[2].id, kUserFrame);
  EXPECT_EQ(packets[2].ctrl, 0x01);
  EXPECT_EQ(packets[3].params, kKernelRatios) << "CP and User leave the ratios alone";

  EXPECT_EQ(change.set({{"Tool", 3}}, {"Tool"}, reply), -1);
  EXPECT_EQ(reply, "-1,{},") << "the loader's reply for a tool frame that is not set";
}

TEST_F(Helpers, LoadSetUserToolSendsOnlyStoredFrames) {
  writeFrames("user.json", 2, {1.5, -2, 3, 45, 0, 0});
  rpcExecuteApi::reloadFrames();
  struct Row {
    int user, tool;
    std::uint8_t position;
    int result;
    std::string reply;
  };
  const Row refused[] = {
      {10, -1, 6, -1, "-30006,{},"}, {-5, -1, 6, -1, "-30006,{},"}, {3, -1, 0, -1, "-30000,{},"},
      {-2, -1, 1, -1, "-30001,{},"}, {-1, 10, 6, -1, "-1,{},"},     {-1, -5, 6, -1, "-1,{},"},
      {-1, 4, 6, -1, "-1,{},"},
  };
  for (const Row& row : refused) {
    SCOPED_TRACE(std::to_string(row.user) + "/" + std::to_string(row.tool));
    std::string reply = kPreset;
    EXPECT_EQ(rpcExecuteApi::LoadSetUserTool(reply, row.user, row.tool, row.position), row.result);
    EXPECT_EQ(reply, row.reply);
    EXPECT_TRUE(sent().empty()) << describe(sent());
  }

  std::string reply = kPreset;
  EXPECT_EQ(rpcExecuteApi::LoadSetUserTool(reply, 2, 0, 6), 0);
  EXPECT_EQ(reply, kPreset);
  const std::vector<PeerRequest> packets = sent();
  ASSERT_EQ(packets.size(), 2u) << describe(packets);
  EXPECT_EQ(packets[0].id, kUserFrame);
  EXPECT_EQ(packets[0].ctrl, 0x01);
  EXPECT_EQ(packets[0].params, concat(bytesOf(std::uint32_t{2}), floats({1.5f, -2, 3, 45})));
  EXPECT_EQ(packets[1].id, kToolFrame);
  EXPECT_EQ(packets[1].ctrl, 0x01);
  EXPECT_EQ(packets[1].params, concat(bytesOf(std::uint32_t{0}), floats({0, 0, 0, 0})));

  peer_->setUnanswered(kUserFrame, 0x01);
  EXPECT_EQ(rpcExecuteApi::LoadSetUserTool(reply, 2, -1, 6), -1);
  EXPECT_EQ(reply, "-1,{},");
}

TEST_F(Helpers, FramesAreReadAndRestoredWithTheirIndex) {
  peer_->setReadReply(kUserFrame, concat(bytesOf(std::uint32_t{6}), floats({1, 2, 3, 4})));
  tagCoordParamsFull frame{};
  ASSERT_TRUE(rpcExecuteApi::GetOverAllUser(frame));
  EXPECT_EQ(frame.index, 6u);
  EXPECT_EQ(frame.r, 4.0f);
  rpcExecuteApi::RecoverAllUser(frame);
  EXPECT_EQ(robotMap::instance().localWord(4), 6);
  const std::vector<PeerRequest> packets = sent();
  ASSERT_EQ(packets.size(), 2u) << describe(packets);
  EXPECT_EQ(packets[1].ctrl, 0x03);
  EXPECT_EQ(packets[1].params, concat(bytesOf(std::uint32_t{6}), floats({1, 2, 3, 4})));

  peer_->setUnanswered(kToolFrame, 0x00);
  peer_->setUnanswered(kToolFrame, 0x03);
  EXPECT_FALSE(rpcExecuteApi::GetOverAllTool(frame));
  frame.index = 8;
  rpcExecuteApi::RecoverAllTool(frame);
  EXPECT_EQ(robotMap::instance().localWord(5), 8) << "the index is set even when no packet came back";
}

// Not in the command table; built for the callers that set the load packet.
TEST_F(Helpers, PayLoadSendsBothValuesAsDoublesQueued) {
  struct Row {
    Args args;
    std::string reply;
  };
  const std::vector<Row> refused = {
      {{"0.5"}, "-20000,{},"},       {{"1", "2", "3"}, "-20000,{},"}, {{"x", "1"}, "-30001,{},"},
      {{"1001", "1"}, "-40001,{},"}, {{"-1", "1"}, "-40001,{},"},    {{"1", "nan"}, "-30002,{},"},
      {{"1", "-inf"}, "-30002,{},"}, {{"1", "1e300"}, "-30002,{},"},
  };
  for (const Row& row : refused) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    std::string reply = kPreset;
    rpcExecuteApi::PayLoad(row.args, reply);
    EXPECT_EQ(reply, row.reply);
    EXPECT_TRUE(sent().empty());
  }
  std::string reply = kPreset;
  rpcExecuteApi::PayLoad({"2.5", "0.1"}, reply);
  EXPECT_EQ(reply, kPreset);
  const std::vector<PeerRequest> packets = sent();
  ASSERT_EQ(packets.size(), 1u) << describe(packets);
  EXPECT_EQ(packets[0].id, 208);
  EXPECT_EQ(packets[0].ctrl, 0x03);
  EXPECT_EQ(packets[0].params, concat(bytesOf(2.5), bytesOf(0.1)));

  peer_->setUnanswered(208, 0x03);
  rpcExecuteApi::PayLoad({"2.5", "0.1"}, reply);
  EXPECT_EQ(reply, "-1,{},");
}

}  // namespace
}  // namespace zelor::test
