// Packets from another process through queues 102/103, the exchange thread and
// the core's mailbox into the real kernel, cycled every 4 ms.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "log_reader/log_queue_reader.h"
#include "stdout_capture.h"
#include "support/core_rig.h"
#include "support/queue_client.h"

namespace {

using namespace std::chrono_literals;
using zelor::test::commandPacket;
using zelor::test::exchangeOverQueues;
using zelor::test::u16At;

int countLines(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const std::string& line : lines) n += line.find(text) != std::string::npos ? 1 : 0;
  return n;
}

}  // namespace

TEST(CoreBeforeParameters, CycleIsInertRequestsTimeOutAndQueriesWork) {
  zelor::test::CoreRig rig;
  rig.registerCore();
  rig.startCycling();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(CoreSubProcess::IsInMainLoop.load(), 0);

  int version[3] = {};
  rig.factory().interCall(ISubProcess::CORE, 9, nullptr, version, nullptr);
  EXPECT_EQ(version[0], 3);
  EXPECT_EQ(version[1], 3);
  EXPECT_EQ(version[2], 4);

  zelor::test::StdoutCapture out;
  rig.factory().interCall(ISubProcess::CORE, 20, nullptr, nullptr, nullptr);
  auto request = commandPacket(10, 2, 0);
  request.resize(sizeof(Packet));
  char reply[sizeof(Packet)];
  int len = 0;
  const auto begin = std::chrono::steady_clock::now();
  const int result = rig.core()->processProtocolPacket(10, reinterpret_cast<char*>(request.data()), 9, reply, &len);
  const auto waited = std::chrono::steady_clock::now() - begin;
  const std::string printed = out.finish();
  EXPECT_EQ(result, 0);
  EXPECT_GE(waited, 1700ms);
  EXPECT_LE(waited, 2300ms);
  EXPECT_NE(printed.find("Can't find methid id:20"), std::string::npos);
  EXPECT_NE(printed.find("[END] id: 10, recv_flag is true !!! reset ."), std::string::npos);
  EXPECT_EQ(CoreSubProcess::IsInMainLoop.load(), 0);
}

class KernelOverQueues : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.registerCore();
    rig_.giveParameters();
    rig_.startCycling();
    rig_.startExchange();
    for (int i = 0; i < 100 && CoreSubProcess::IsInMainLoop.load() == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(CoreSubProcess::IsInMainLoop.load(), 1);
  }
  zelor::test::CoreRig rig_;
};

TEST_F(KernelOverQueues, UnknownIdIsEchoedWithinACycleOrTwoUnderTheRequestsType) {
  for (long type : {1L, 77L, 1L << 40}) {
    const auto reply = exchangeOverQueues(commandPacket(999, 0, 0), 2500, type);
    ASSERT_TRUE(reply.got) << type;
    EXPECT_EQ(reply.mtype, type);
    if (type == 1) {
      EXPECT_LT(reply.ms, 100.0);
    }
    const std::uint8_t expected[] = {0xAA, 0xAA, 0x02, 0x00, 0xE7, 0x03, 0x00};
    EXPECT_EQ(std::memcmp(reply.body, expected, sizeof expected), 0);
    EXPECT_FALSE(replyFailed(reply.body)) << "the kernel's answer marked failed";
  }
}

TEST_F(KernelOverQueues, JointParametersWrittenThenReadBack) {
  float params[12] = {50, 60, 70, 80, 200, 210, 220, 230, 2000, 2100, 2200, 2300};
  const auto written = exchangeOverQueues(commandPacket(80, 48, 0x01, params, sizeof params), 2500);
  ASSERT_TRUE(written.got);
  EXPECT_LT(written.ms, 2000.0);
  const auto read = exchangeOverQueues(commandPacket(80, 0, 0x00), 2500);
  ASSERT_TRUE(read.got);
  EXPECT_EQ(u16At(read.body + 2), 50);
  EXPECT_EQ(std::memcmp(read.body + 7, params, sizeof params), 0);
}

TEST_F(KernelOverQueues, QueuedMovesGetConsecutiveIndices) {
  // Joint move (mode 1) to joints near the simulated drive's start.
  struct __attribute__((packed)) {
    std::uint8_t mode = 1;
    float target[4] = {10.0f, 80.0f, 100.0f, 0.0f};
  } move;
  static_assert(sizeof move == 17);
  std::uint64_t index[2] = {};
  for (std::uint64_t& i : index) {
    const auto reply = exchangeOverQueues(commandPacket(84, 17, 0x03, &move, sizeof move), 2500);
    ASSERT_TRUE(reply.got);
    ASSERT_EQ(u16At(reply.body + 2), 10) << "no queue index";
    std::memcpy(&i, reply.body + 7, sizeof i);
  }
  EXPECT_EQ(index[1], index[0] + 1);
}

// A request sent longer ago than the exchange's 2 s is answered as failed and
// never reaches the kernel: the next move gets the next index.
TEST_F(KernelOverQueues, ARequestTakenPastItsSendersLimitIsRefusedUnqueued) {
  struct __attribute__((packed)) {
    std::uint8_t mode = 1;
    float target[4] = {10.0f, 80.0f, 100.0f, 0.0f};
  } move;
  const auto queueMove = [&](std::int64_t sentNs) {
    return exchangeOverQueues(commandPacket(84, 17, 0x03, &move, sizeof move), 2500, 5, sentNs);
  };
  const auto nowNs = [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  const auto first = queueMove(nowNs());
  ASSERT_TRUE(first.got);
  ASSERT_FALSE(replyFailed(first.body));
  const auto stale = queueMove(nowNs() - std::int64_t{3'000'000'000});
  ASSERT_TRUE(stale.got);
  EXPECT_EQ(stale.mtype, 5);
  EXPECT_TRUE(replyFailed(stale.body));
  EXPECT_EQ(u16At(stale.body + 2), 19) << "the failure answer is the request, its length raised by 2";
  const auto next = queueMove(nowNs());
  ASSERT_TRUE(next.got);
  ASSERT_EQ(u16At(next.body + 2), 10);
  std::uint64_t index[2] = {};
  std::memcpy(&index[0], first.body + 7, sizeof index[0]);
  std::memcpy(&index[1], next.body + 7, sizeof index[1]);
  EXPECT_EQ(index[1], index[0] + 1) << "the stale move was queued";
}

TEST_F(KernelOverQueues, OversizedAndOverlongMessagesAreHandledAndTheRoadStaysOpen) {
  for (std::uint16_t length : {std::uint16_t{4096}, std::uint16_t{0xFFFF}}) {
    const auto reply = exchangeOverQueues(commandPacket(10, length, 0), 2500);
    ASSERT_TRUE(reply.got) << length;
    EXPECT_LT(reply.ms, 500.0) << length << ": not answered at once";
    EXPECT_EQ(u16At(reply.body + 2), static_cast<std::uint16_t>(length + 2));
    EXPECT_TRUE(replyFailed(reply.body)) << length;
  }
  zelor::sim::drainLogChannel(15);
  std::vector<std::uint8_t> huge(8000, 0x11);
  huge[0] = huge[1] = 0xAA;
  const auto none = exchangeOverQueues(huge, 300);
  EXPECT_FALSE(none.got) << "a cut message was answered";
  const auto next = exchangeOverQueues(commandPacket(999, 0, 0), 2500);
  ASSERT_TRUE(next.got);
  EXPECT_EQ(u16At(next.body + 4), 999);
  const auto lines = zelor::sim::drainLogChannel(15);
  EXPECT_EQ(countLines(lines, "found an error"), 1);
}

TEST_F(KernelOverQueues, RemovedRequestQueueIsOpenedAgain) {
  ASSERT_TRUE(exchangeOverQueues(commandPacket(999, 0, 0), 2500).got);
  zelor::sim::drainLogChannel(15);
  const int queue = msgget(ftok("/root/", 102), 0);
  ASSERT_GE(queue, 0);
  ASSERT_EQ(msgctl(queue, IPC_RMID, nullptr), 0);
  std::this_thread::sleep_for(200ms);
  const auto reply = exchangeOverQueues(commandPacket(999, 0, 0), 2500);
  ASSERT_TRUE(reply.got);
  EXPECT_EQ(u16At(reply.body + 4), 999);
  EXPECT_LE(countLines(zelor::sim::drainLogChannel(15), "found an error"), 3);
}

TEST(ExchangeBeforeTheCore, RequestWithoutACoreComesBackAsTheFailureEchoAfterTwoSeconds) {
  zelor::test::CoreRig rig;
  rig.startExchange();
  const auto reply = exchangeOverQueues(commandPacket(10, 0, 0), 3000);
  ASSERT_TRUE(reply.got);
  EXPECT_GE(reply.ms, 1700.0);
  EXPECT_LE(reply.ms, 2300.0);
  const std::uint8_t expected[] = {0xAA, 0xAA, 0x02, 0x00, 0x0A, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(reply.body, expected, sizeof expected), 0);
  EXPECT_TRUE(replyFailed(reply.body)) << "the failure answer reads as a reply";
}

TEST(ExchangeBeforeTheCore, CoreRegisteredHalfASecondLaterAnswersTheWaitingRequest) {
  zelor::test::CoreRig rig;
  rig.startCycling();
  rig.startExchange();
  std::thread late([&] {
    std::this_thread::sleep_for(500ms);
    rig.registerCore();
    rig.giveParameters();
  });
  zelor::test::StdoutCapture quiet;  // the cycle's "Can't find" lines until then
  const auto reply = exchangeOverQueues(commandPacket(999, 0, 0), 3000);
  late.join();
  quiet.finish();
  ASSERT_TRUE(reply.got);
  EXPECT_GE(reply.ms, 450.0);
  EXPECT_LT(reply.ms, 1500.0);
  EXPECT_EQ(u16At(reply.body + 4), 999);
  EXPECT_EQ(u16At(reply.body + 2), 2);
  EXPECT_FALSE(replyFailed(reply.body));
}
