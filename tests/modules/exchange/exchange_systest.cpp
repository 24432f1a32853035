// The packet exchange over queues 102/103, in-process against the data-server
// peer: its time limits, the slow-reply counter, stale and foreign replies,
// unanswered requests, and the raw text road.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/protocol/queue_message.h"
#include "data_server_peer/data_server_peer.h"
#include "exchange/exchange_pack.h"
#include "install_paths.h"
#include "rpc_api/rpc_execute_api.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

using zelor::modules::rpcExecuteApis::rpcExecuteApi;
using zelor::sim::DataServerPeer;
using Mode = DataServerPeer::Mode;

constexpr std::uint16_t kGetJointAngle = 26;

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    allowRoomyQueues();
    recorder_ = std::make_unique<ChannelRecorder>(15);
    peer_ = std::make_unique<DataServerPeer>();
    peer_->setControlMode("tcp");
    m_exchange.open(zelor::paths::kLogKeyPath);
    peer_->start();
  }

  // One exchange of a fresh read request of id; its result and duration.
  struct Outcome {
    int result;
    std::chrono::milliseconds took;
  };
  Outcome exchangeRead(std::uint16_t id = kGetJointAngle) {
    Packet packet{};
    packet.cmdId = id;
    const auto start = Clock::now();
    const int result = m_exchange.ExchangePackWithRT(&packet, sizeof packet, nullptr);
    return {result, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
  }

  std::size_t queued(int msq) {
    msqid_ds info{};
    msgctl(msq, IPC_STAT, &info);
    return info.msg_qnum;
  }

  std::unique_ptr<ChannelRecorder> recorder_;
  std::unique_ptr<DataServerPeer> peer_;
};

TEST_F(Exchange, ABuilderGetsItsReplyAndAFastReplyResetsTheSlowCounter) {
  peer_->setMode(Mode::Delayed);
  // Slow: fewer than 99 polls of at least 1 ms each, more than 11 even when
  // each poll takes up to 6 ms on a loaded machine.
  peer_->setDelays({80ms, 80ms, 80ms});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(exchangeRead().result, 2400);
  EXPECT_EQ(m_exchange.slowReplies(), 3);

  peer_->setMode(Mode::Immediate);
  peer_->setReadReply(kGetJointAngle, {1, 2, 3, 4});
  Packet* reply = rpcExecuteApi::Instance().alloc_GetJointAngle();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->header[0], 0xAA);
  EXPECT_EQ(reply->cmdId, kGetJointAngle);
  EXPECT_EQ(reply->length, 6);
  EXPECT_EQ(std::vector<std::uint8_t>(reply->params, reply->params + 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  rpcExecuteApi::Instance().freePluginPacket(reply);
  EXPECT_EQ(m_exchange.slowReplies(), 0);

  const std::vector<zelor::sim::PeerRequest> requests = peer_->requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests.back().id, kGetJointAngle);
  EXPECT_EQ(requests.back().ctrl, 0);
  EXPECT_EQ(requests.back().length, 0);
}

TEST_F(Exchange, TwentySlowRepliesInARowFailUntilAFastOne) {
  peer_->setMode(Mode::Delayed);
  peer_->setDelays(std::deque<std::chrono::milliseconds>(20, 80ms));
  for (int i = 1; i <= 20; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(exchangeRead().result, i < 20 ? 2400 : -1);
  }
  EXPECT_EQ(exchangeRead().result, 2400) << "the next immediate reply";
  EXPECT_EQ(m_exchange.slowReplies(), 0);
}

TEST_F(Exchange, ALateReplyFailsInAboutATenthAndIsDrainedByTheNextExchange) {
  peer_->setMode(Mode::Delayed);
  // Past the 101 polls even when each poll takes up to 5 ms on a loaded machine.
  peer_->setDelays({600ms});
  const Outcome late = exchangeRead();
  EXPECT_EQ(late.result, -1);
  EXPECT_GE(late.took.count(), 100);
  EXPECT_LE(late.took.count(), 500) << "waited for the late reply instead of giving up after its 101 polls";
  std::this_thread::sleep_for(700ms);  // the late reply arrives meanwhile
  const Outcome next = exchangeRead();
  EXPECT_EQ(next.result, 2400) << "took " << next.took.count() << " ms";
  ASSERT_TRUE(recorder_->waitForLine("cleared a msg in responseMsq, prjid = 103 cnt = 1", 1s));
  const std::vector<std::string> lines = recorder_->lines();
  std::size_t at = 0;
  while (lines[at].find("cleared a msg in responseMsq") == std::string::npos) ++at;
  ASSERT_LT(at + 2, lines.size());
  EXPECT_NE(lines[at + 1].find("[error]"), std::string::npos) << lines[at + 1];
  EXPECT_NE(lines[at + 1].find("aa aa 02 00 1a 00"), std::string::npos) << "first 32 bytes: " << lines[at + 1];
  EXPECT_NE(lines[at + 2].find("00 00 00 00"), std::string::npos) << "second 32 bytes: " << lines[at + 2];
}

TEST_F(Exchange, AnUnreadRequestIsTakenBackAndNeverRunsLater) {
  peer_->setMode(Mode::NotReading);
  const Outcome failed = exchangeRead(kGetJointAngle);
  EXPECT_EQ(failed.result, -1);
  EXPECT_LE(failed.took.count(), 500);
  EXPECT_EQ(queued(peer_->requestQueue()), 0u) << "the failed request stayed in queue 102";
  peer_->setMode(Mode::Immediate);
  EXPECT_EQ(exchangeRead(27).result, 2400);
  const std::vector<zelor::sim::PeerRequest> requests = peer_->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].id, 27);
}

TEST_F(Exchange, AFullRequestQueueFailsAtOnce) {
  peer_->setMode(Mode::NotReading);
  QueueMessage filler{};
  filler.mtype = 1;
  int filled = 0;
  while (msgsnd(peer_->requestQueue(), &filler, kQueueBodySize, IPC_NOWAIT) == 0) ++filled;
  ASSERT_GT(filled, 0);
  const Outcome failed = exchangeRead();
  EXPECT_EQ(failed.result, -1);
  EXPECT_LE(failed.took.count(), 20) << "the send waited for room";
  EXPECT_TRUE(recorder_->waitForLine("some packet Send Faild !!!! prjid = 102 ", 1s));
  while (msgrcv(peer_->requestQueue(), &filler, kQueueBodySize, 0, IPC_NOWAIT) >= 0) {
  }
}

TEST_F(Exchange, StaleAndForeignRepliesAreNeverTakenForTheRequestsOwn) {
  peer_->setReadReply(kGetJointAngle, {7, 7, 7, 7});
  // A stale reply already waiting: drained and logged before the request goes.
  QueueMessage stale{};
  stale.mtype = 1;
  const std::uint16_t staleId = kGetJointAngle;
  std::memcpy(stale.body + 4, &staleId, 2);
  stale.body[7] = 0xEE;
  ASSERT_EQ(msgsnd(peer_->replyQueue(), &stale, kQueueBodySize, IPC_NOWAIT), 0);
  Packet* reply = rpcExecuteApi::Instance().alloc_GetJointAngle();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->params[0], 7) << "took the stale reply";
  rpcExecuteApi::Instance().freePluginPacket(reply);
  EXPECT_TRUE(recorder_->waitForLine("cleared a msg in responseMsq, prjid = 103 cnt = 1", 1s));

  // A reply of another id that comes first: dropped, the own one taken.
  peer_->setMode(Mode::StaleFirst);
  reply = rpcExecuteApi::Instance().alloc_GetJointAngle();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->cmdId, kGetJointAngle);
  EXPECT_EQ(reply->params[0], 7) << "took a reply of another id";
  rpcExecuteApi::Instance().freePluginPacket(reply);
}

TEST_F(Exchange, AQueuedCommandGetsItsIndexAndATimeOutEchoPassesUnchanged) {
  tagWAITCmd wait{};
  Packet* reply = rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1);
  ASSERT_NE(reply, nullptr);
  std::uint64_t index = 0;
  std::memcpy(&index, reply->params, sizeof index);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(reply->length, 10);
  rpcExecuteApi::Instance().freePluginPacket(reply);

  peer_->setMode(Mode::TimeoutEcho);
  reply = rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->length, 6) << "the request's 4 parameter bytes, raised by 2";
  rpcExecuteApi::Instance().freePluginPacket(reply);
}

// A raw reader of queue 102 that answers with the body it got.
TEST_F(Exchange, ALongRequestSendsAndReceivesAt2400Bytes) {
  peer_->setMode(Mode::NotReading);
  std::vector<std::uint8_t> request(3000), reply(3000, 0x5A);
  for (std::size_t i = 0; i < request.size(); ++i) request[i] = static_cast<std::uint8_t>(i * 7);
  std::size_t seen = 0;
  std::thread echo([&] {
    struct {
      long mtype;
      std::uint8_t body[4000];
    } message{};
    const ssize_t n = msgrcv(peer_->requestQueue(), &message, sizeof message.body, 0, 0);
    seen = n > 0 ? static_cast<std::size_t>(n) : 0;
    EXPECT_EQ(std::memcmp(message.body, request.data(), 2400), 0);
    msgsnd(peer_->replyQueue(), &message, 2400, 0);
  });
  EXPECT_EQ(m_exchange.ExchangePackWithRT(request.data(), 3000, reply.data()), 2400);
  echo.join();
  EXPECT_EQ(seen, 2400u);
  EXPECT_EQ(std::memcmp(reply.data(), request.data(), 2400), 0);
  EXPECT_EQ(reply[2400], 0x5A) << "wrote past 2400 bytes";
  EXPECT_EQ(reply[2999], 0x5A);
  EXPECT_EQ(m_exchange.ExchangePackWithRT(nullptr, 10, nullptr), -1);
}

TEST_F(Exchange, TheRawTextRoadReturnsTheDataServersAnswer) {
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::uint8_t> answer;  // as the peer puts it at byte 7
    std::string expected;
    std::string sent;  // "" when nothing may reach queue 102
  };
  const std::vector<std::uint8_t> noZero(2049, 'x');
  const std::vector<Case> cases = {
      {"GetErrorID", {}, {'[', '0', ']', 0}, "[0]", "GetErrorID()"},
      {"BrakeControl", {"1", "1"}, {'0', 0}, "0", "BrakeControl(1,1)"},
      {"SetLoad", {"1", "", "2"}, {0}, "", "SetLoad(1,,2)"},
      {"Long", {}, noZero, std::string(2049, 'x'), "Long()"},
      {"Big", {std::string(2044, '1')}, {'0', 0}, "CommunicationError", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = peer_->requests().size();
    peer_->setRawAnswerBytes(c.answer);
    std::string reply = "0,{},";
    zelor::modules::rpcExecuteApis::remoteRawCmd(c.name, c.args, reply);
    EXPECT_EQ(reply, c.expected);
    const std::vector<zelor::sim::PeerRequest> requests = peer_->requests();
    if (c.sent.empty()) {
      EXPECT_EQ(requests.size(), before) << "an over-long text reached queue 102";
      continue;
    }
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_EQ(requests.back().id, kTextCommandId);
    EXPECT_EQ(requests.back().ctrl, 0);
    EXPECT_EQ(std::string(requests.back().params.begin(), requests.back().params.end()), c.sent);
  }
  EXPECT_TRUE(recorder_->waitForLine("[remote_RawCmd] error. recv a nullptr ", 1s));
}

TEST_F(Exchange, TwoPortsExchangingAtOnceNeverHaveTwoRequestsOnTheRoad) {
  peer_->setMode(Mode::Tick4ms);
  std::vector<std::thread> ports;
  std::atomic<int> succeeded{0};
  for (int port = 0; port < 2; ++port) {
    ports.emplace_back([&] {
      for (int i = 0; i < 15; ++i) {
        Packet* reply = rpcExecuteApi::Instance().alloc_GetJointAngle();
        if (reply == nullptr) continue;
        ++succeeded;
        rpcExecuteApi::Instance().freePluginPacket(reply);
      }
    });
  }
  for (std::thread& t : ports) t.join();
  EXPECT_EQ(succeeded, 30);
  EXPECT_EQ(peer_->answered(), 30);
  EXPECT_EQ(peer_->overlaps(), 0) << "a second request reached the data server before the first was answered";
}

}  // namespace
}  // namespace zelor::test
