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

TEST_F(Exchange, TwentySlowRepliesInARowAreStillTakenAndOnlyLogged) {
  peer_->setMode(Mode::Delayed);
  peer_->setDelays(std::deque<std::chrono::milliseconds>(20, 80ms));
  for (int i = 1; i <= 20; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(exchangeRead().result, 2400);
  }
  EXPECT_EQ(m_exchange.slowReplies(), 20);
  EXPECT_TRUE(recorder_->waitForLine("recv packet faild,prjid = 103", 1s)) << "the 20th slow reply was not logged";
  EXPECT_EQ(exchangeRead().result, 2400) << "the next immediate reply";
  EXPECT_EQ(m_exchange.slowReplies(), 0);
}

// Queued commands: the peer numbers the ones it hands on, so a reply taken by
// the wrong request shows as a wrong index.
std::uint64_t queueIndexOf(const Packet& reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply.params, sizeof index);
  return index;
}

TEST_F(Exchange, AReplyHeld300msIsStillItsOwnAndTheNextOfTheSameIdGetsItsOwn) {
  peer_->setMode(Mode::Delayed);
  peer_->setDelays({300ms, 0ms, 300ms});
  const long matched = m_exchange.matchedReplies();
  const long drained = m_exchange.drainedReplies();
  tagWAITCmd wait{};
  for (std::uint64_t expected : {1u, 2u, 3u}) {
    Packet* reply = rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1);
    ASSERT_NE(reply, nullptr) << expected;
    EXPECT_EQ(queueIndexOf(*reply), expected);
    rpcExecuteApi::Instance().freePluginPacket(reply);
  }
  EXPECT_EQ(m_exchange.matchedReplies(), matched + 3);
  EXPECT_EQ(m_exchange.drainedReplies(), drained);
  const std::vector<zelor::sim::PeerRequest> requests = peer_->requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_LT(requests[0].sequence, requests[1].sequence);
  EXPECT_LT(requests[1].sequence, requests[2].sequence);
}

TEST_F(Exchange, AWithheldReplyGivesMinusOneWithNothingHandedOnAndTheNextGetsItsOwn) {
  // Held past the data server's 2 s limit: the peer, like the data server,
  // hands nothing on any more and its failure answer comes after brevan gave up.
  peer_->setMode(Mode::Delayed);
  peer_->setDelays({3000ms});
  tagWAITCmd wait{};
  EXPECT_EQ(rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1), nullptr);
  ASSERT_TRUE(waitFor([&] { return peer_->answered() == 1; }, 5s)) << "the held answer never came";
  const long drained = m_exchange.drainedReplies();

  Packet* reply = rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(queueIndexOf(*reply), 1u) << "the withheld request was queued after all";
  rpcExecuteApi::Instance().freePluginPacket(reply);
  EXPECT_EQ(m_exchange.drainedReplies(), drained + 1) << "the late answer was not drained";
  EXPECT_TRUE(recorder_->waitForLine("cleared a msg in responseMsq, prjid = 103 cnt = 1", 1s));

  const std::vector<zelor::sim::PeerRequest> requests = peer_->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].handedOver);
  EXPECT_TRUE(requests[1].handedOver);
}

TEST_F(Exchange, AReplyThatNeverComesGivesMinusOne) {
  peer_->setMode(Mode::NeverAnswer);
  EXPECT_EQ(exchangeRead().result, -1);
  EXPECT_TRUE(recorder_->waitForLine("recv packet faild,prjid = 103", 1s));
  peer_->setMode(Mode::Immediate);
  EXPECT_EQ(exchangeRead().result, 2400);
}

TEST_F(Exchange, AnUnreadRequestIsTakenBackAndNeverRunsLater) {
  peer_->setMode(Mode::NotReading);
  EXPECT_EQ(exchangeRead(kGetJointAngle).result, -1);
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
  const long matched = m_exchange.matchedReplies();
  EXPECT_EQ(exchangeRead().result, -1);
  EXPECT_TRUE(recorder_->waitForLine("some packet Send Faild !!!! prjid = 102 ", 1s));
  EXPECT_EQ(queued(peer_->requestQueue()), static_cast<std::size_t>(filled)) << "the refused request was queued";
  EXPECT_EQ(m_exchange.matchedReplies(), matched);
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

  // A reply of another request of the same id that comes first: dropped,
  // the own one taken.
  peer_->setMode(Mode::StaleFirst);
  reply = rpcExecuteApi::Instance().alloc_GetJointAngle();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->cmdId, kGetJointAngle);
  EXPECT_EQ(reply->params[0], 7) << "took another request's reply";
  rpcExecuteApi::Instance().freePluginPacket(reply);
}

TEST_F(Exchange, AQueuedCommandGetsItsIndexAndAnEchoedFailureGivesMinusOne) {
  tagWAITCmd wait{};
  Packet* reply = rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(queueIndexOf(*reply), 1u);
  EXPECT_EQ(reply->length, 10);
  rpcExecuteApi::Instance().freePluginPacket(reply);

  // The request echoed, its length raised: no longer read as a reply.
  peer_->setMode(Mode::TimeoutEcho);
  EXPECT_EQ(rpcExecuteApi::Instance().alloc_SetWAITCmd(&wait, 1), nullptr);
  EXPECT_EQ(rpcExecuteApi::Instance().alloc_GetJointAngle(), nullptr);
  std::string text = "0,{},";
  zelor::modules::rpcExecuteApis::remoteRawCmd("GetErrorID", {}, text);
  EXPECT_EQ(text, "CommunicationError");
}

// A frame read right after a queued frame write whose reply came late, with
// another request's reply of the same id in the queue: the read takes the
// frame, never the write's queue index.
TEST_F(Exchange, AFrameReadAfterALateQueuedWriteReadsTheFrame) {
  const std::vector<std::uint8_t> frame3 = {3, 0, 0, 0, 0, 0, 0x48, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F};
  peer_->setReadReply(250, frame3);
  peer_->setMode(Mode::Delayed);
  peer_->setDelays({300ms});
  const tagCoordParamsFull user{5, 1.0f, 2.0f, 3.0f, 4.0f};
  Packet* written = rpcExecuteApi::Instance().alloc_SetUserCoordParams(&user, true);
  ASSERT_NE(written, nullptr);
  EXPECT_EQ(queueIndexOf(*written), 1u);
  rpcExecuteApi::Instance().freePluginPacket(written);

  peer_->setMode(Mode::StaleFirst);
  tagCoordParamsFull read{};
  ASSERT_TRUE(rpcExecuteApi::GetOverAllUser(read));
  EXPECT_EQ(read.index, 3u);
  EXPECT_EQ(read.x, 50.0f);
  EXPECT_EQ(read.r, 1.0f);
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
