// Queue operations and the argument self-test, called directly as the command
// table does (they have no key of their own), against the data-server peer.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "exchange/exchange_pack.h"
#include "install_paths.h"
#include "rpc_api/rpc_execute_api.h"
#include "support/brevan_rig.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::modules::rpcExecuteApis::Args;
using zelor::modules::rpcExecuteApis::rpcExecuteApi;
using zelor::sim::DataServerPeer;
using zelor::sim::PeerRequest;

class DirectCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    allowRoomyQueues();
    peer_ = std::make_unique<DataServerPeer>();
    peer_->setControlMode("tcp");
    m_exchange.open(zelor::paths::kLogKeyPath);
    peer_->start();
  }
  std::unique_ptr<DataServerPeer> peer_;
};

TEST_F(DirectCalls, TestParsesItsFourArguments) {
  struct Row {
    Args args;
    std::string reply;
  };
  const std::vector<Row> rows = {
      {{"1", "2.5", "abc", "k=v"}, "0,{},"},
      {{"1", "2.5", "abc", "kv"}, "-40003,0,{},;"},
      {{"1", "2.5", "abc"}, "-20000,{},"},
      {{}, "-20000,{},"},
  };
  for (const Row& row : rows) {
    std::string reply = "0,{},";
    rpcExecuteApi::test(row.args, reply);
    EXPECT_EQ(reply, row.reply);
  }
  EXPECT_TRUE(peer_->requests().empty()) << describe(peer_->requests());
}

TEST_F(DirectCalls, QueueOperationsSendTheirPackets) {
  struct Row {
    void (*call)(const Args&, std::string&);
    std::uint16_t id;
    std::uint8_t ctrl;
    Bytes params;
  };
  const std::vector<Row> rows = {
      {&rpcExecuteApi::SetQueuedCmdStartExec, 240, 0x01, {}},
      {&rpcExecuteApi::SetQueuedCmdStopExec, 241, 0x01, {}},
      {&rpcExecuteApi::SetQueuedCmdForceStopExec, 242, 0x01, {1}},
      {&rpcExecuteApi::SetQueuedCmdStopClear, 248, 0x01, {}},
      {&rpcExecuteApi::SetQueuedCmdClear, 245, 0x01, {}},
      {&rpcExecuteApi::GetQueuedCmdCurrentIndex, 246, 0x00, {}},
      {&rpcExecuteApi::GetQueuedCmdLeftSpace, 247, 0x00, {}},
      {&rpcExecuteApi::StartRobot, 240, 0x01, {}},
      {&rpcExecuteApi::StopRobot, 248, 0x01, {}},
  };
  peer_->setReadReply(247, bytesOf(std::uint32_t{123}));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    const std::size_t before = peer_->requests().size();
    std::string reply = "0,{},";
    row.call({}, reply);
    EXPECT_EQ(reply, "0,{},") << "a read's value stays out of the reply";
    const std::vector<PeerRequest> all = peer_->requests();
    ASSERT_EQ(all.size(), before + 1) << describe(all);
    EXPECT_EQ(all.back().id, row.id);
    EXPECT_EQ(all.back().ctrl, row.ctrl);
    EXPECT_EQ(all.back().params, row.params);
  }
}

}  // namespace
}  // namespace zelor::test
