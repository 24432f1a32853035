// Command intake through a stand-in of the data server's core table: every
// pending packet answered once, in order; echoes; the queue index reply; the
// full queued ring; malformed lengths; the command table's dispatch rules.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/command/command_intake.h"
#include "common/command/command_message.h"
#include "common/command/command_table.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/sys_params.h"
#include "support/core_standin.h"

namespace {

using zelor::test::CoreStandIn;
using zelor::test::PostingClient;

Packet makePacket(std::uint16_t id, std::uint8_t ctrl, const std::vector<std::uint8_t>& params) {
  Packet packet{};
  packet.header[0] = packet.header[1] = kPacketHeaderByte;
  packet.length = static_cast<std::uint16_t>(params.size() + 2);
  packet.cmdId = id;
  packet.ctrl = ctrl;
  std::copy(params.begin(), params.end(), packet.params);
  return packet;
}

std::uint64_t replyIndex(const Packet& reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply.params, sizeof index);
  return index;
}

bool restIsZero(const Packet& reply, std::size_t from) {
  return std::all_of(reply.params + from, reply.params + kPacketParamCapacity, [](std::uint8_t b) { return b == 0; });
}

class Intake : public ::testing::Test {
 protected:
  void SetUp() override {
    InitKernelQueues();
    CycleStartNow();
  }
  CoreStandIn core;
  PostingClient client{core};
};

// What test handlers saw, for the dispatch cases.
struct HandlerCall {
  tagSysParams* sys;
  std::uint8_t rw;
  std::uint32_t len;
  bool isQueued;
  std::vector<std::uint8_t> params;
};
std::vector<HandlerCall> calls;

std::uint32_t recordingHandler(tagSysParams* sys, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued) {
  calls.push_back({sys, rw, len, isQueued, std::vector<std::uint8_t>(params, params + kKernelParamBytes)});
  return 0;
}

// Replies three bytes.
std::uint32_t replyingHandler(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  params[0] = 0xA1;
  params[1] = 0xA2;
  params[2] = 0xA3;
  len = 3;
  return 0;
}

// Packs an entry like a queued command handler.
std::uint32_t queueingHandler(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool isQueued) {
  len = 0;
  if (isQueued && gPackedCmdQueue.isFull == 0) RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  return 0;
}

// Refuses its input: nothing queued, reply length 0, non-zero result.
std::uint32_t refusingHandler(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t& len, bool) {
  len = 0;
  return 1;
}

const CommandRow kTestRows[] = {
    {50, recordingHandler}, {51, replyingHandler}, {51, refusingHandler},
    {84, queueingHandler},  {85, refusingHandler},
};

}  // namespace

TEST_F(Intake, AnswersEveryPendingPacketInArrivalOrderInOneCycle) {
  client.post([](PluginBase& c) { return c.alloc_GetDeviceVersion(); });
  client.post([](PluginBase& c) { return c.alloc_GetKinematics(); });
  client.post([](PluginBase& c) { return c.alloc_GetARCParams(); });
  ClassifyAllCmd();
  ASSERT_EQ(core.replies.size(), 3u);
  EXPECT_EQ(core.replies[0].cmdId, 2);
  EXPECT_EQ(core.replies[1].cmdId, 12);
  EXPECT_EQ(core.replies[2].cmdId, 100);
  EXPECT_TRUE(core.pending.empty());
  EXPECT_GE(elapsed[1], elapsed[0]) << "stage stamps 0 and 1 bracket the intake";
}

TEST_F(Intake, UnknownIdIsEchoedWithZeroHeaderBytes) {
  core.post(makePacket(262, 0x01, {0x12, 0x34}));
  ClassifyAllCmd();
  ASSERT_EQ(core.replies.size(), 1u);
  const Packet& reply = core.replies[0];
  EXPECT_EQ(reply.header[0], 0);
  EXPECT_EQ(reply.header[1], 0);
  EXPECT_EQ(reply.cmdId, 262);
  EXPECT_EQ(reply.ctrl, 0x01);
  EXPECT_EQ(reply.length, 4);
  EXPECT_EQ(reply.params[0], 0x12);
  EXPECT_EQ(reply.params[1], 0x34);
  EXPECT_TRUE(restIsZero(reply, 2));
}

TEST_F(Intake, QueuedRequestIsAnsweredWithTheQueueIndex) {
  for (int i = 0; i < 5; ++i) RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  core.post(makePacket(262, 0x03, {0x12, 0x34}));
  ClassifyAllCmd();
  ASSERT_EQ(core.replies.size(), 1u);
  const Packet& reply = core.replies[0];
  EXPECT_EQ(reply.cmdId, 262);
  EXPECT_EQ(reply.ctrl, 0x03);
  EXPECT_EQ(reply.length, 10);
  EXPECT_EQ(replyIndex(reply), 6u);
  EXPECT_EQ(reply.header[0] | reply.header[1], 0);
}

TEST_F(Intake, QueuedPacketWaitsWhileTheRingIsFull) {
  for (std::uint32_t i = 0; i < kPackedCmdQueueSize; ++i) RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  const tagPTPCmd move{1, 200.0f, 0.0f, 0.0f, 0.0f};
  client.post([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
  client.post([](PluginBase& c) { return c.alloc_GetDeviceVersion(); });

  ClassifyAllCmd();
  EXPECT_TRUE(core.replies.empty());
  EXPECT_EQ(core.pending.size(), 2u) << "the refused packet and the one behind it stay pending";
  EXPECT_EQ(core.logs, (std::vector<std::string>{"[ERROR]Queued cmd and ring buffer is full!\r\n",
                                                 "[ERROR]LeftSpace:count:128 left:0\r\n"}));

  ClassifyAllCmd();  // still full: refused again, nothing answered
  EXPECT_TRUE(core.replies.empty());

  RingBufferDequeue(&gPackedCmdQueue, nullptr);
  core.logs.clear();
  ClassifyAllCmd();
  ASSERT_EQ(core.replies.size(), 2u);
  EXPECT_EQ(core.replies[0].cmdId, 84);
  EXPECT_EQ(core.replies[0].ctrl, 0x03);
  EXPECT_EQ(core.replies[0].length, 10);
  EXPECT_EQ(replyIndex(core.replies[0]), 130u) << "the move took the freed slot";
  EXPECT_EQ(core.replies[1].cmdId, 2);
  for (const std::string& line : core.logs) EXPECT_EQ(line.find("[ERROR]"), std::string::npos) << line;
}

TEST_F(Intake, MalformedLengthsAreRefusedWithOneEmptyReply) {
  calls.clear();
  for (std::uint16_t length : {0, 1, 2051, 0xFFFF}) {
    SCOPED_TRACE(length);
    core.replies.clear();
    core.logs.clear();
    Packet bad = makePacket(50, 0x03, {});
    std::memset(bad.params, 0xEE, sizeof bad.params);
    bad.length = length;
    core.post(bad);
    core.post(makePacket(262, 0x00, {0x01}));
    ClassifyCommands(kTestRows);
    ASSERT_EQ(core.replies.size(), 2u) << "the packet behind a refused one is still taken";
    const Packet& reply = core.replies[0];
    EXPECT_EQ(reply.cmdId, 50);
    EXPECT_EQ(reply.ctrl, 0x03);
    EXPECT_EQ(reply.length, 2) << "no index for a refused request";
    EXPECT_TRUE(restIsZero(reply, 0));
    EXPECT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.replies[1].cmdId, 262);
  }
  EXPECT_TRUE(calls.empty()) << "no handler runs for a malformed request";
}

TEST_F(Intake, LongestRequestIsTakenWhole) {
  calls.clear();
  std::vector<std::uint8_t> params(kKernelParamBytes, 0x5A);
  core.post(makePacket(50, 0x01, params));
  ClassifyCommands(kTestRows);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].len, kKernelParamBytes);
  EXPECT_EQ(calls[0].params, params);
  ASSERT_EQ(core.replies.size(), 1u);
  EXPECT_EQ(core.replies[0].length, kKernelParamBytes + 2);
}

TEST_F(Intake, ShortRequestNeverShowsBytesOfAnEarlierOne) {
  calls.clear();
  core.post(makePacket(50, 0x01, std::vector<std::uint8_t>(148, 0xEE)));
  core.post(makePacket(50, 0x01, {0x07, 0x08}));
  ClassifyCommands(kTestRows);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].len, 2u);
  EXPECT_EQ(calls[1].params[0], 0x07);
  EXPECT_EQ(calls[1].params[1], 0x08);
  EXPECT_TRUE(std::all_of(calls[1].params.begin() + 2, calls[1].params.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Intake, HandlerGetsTheSystemRecordAndTheRequestAsSent) {
  calls.clear();
  core.post(makePacket(50, 0x03, {0x01, 0x02, 0x03}));
  ClassifyCommands(kTestRows);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].sys, &gSysParams);
  EXPECT_EQ(calls[0].rw, 1);
  EXPECT_TRUE(calls[0].isQueued);
  EXPECT_EQ(calls[0].len, 3u);
}

TEST_F(Intake, FirstMatchingRowAnswersAndAnUntouchedLengthEchoes) {
  calls.clear();
  core.post(makePacket(51, 0x00, {0x09}));
  core.post(makePacket(50, 0x00, {0x04, 0x05}));
  ClassifyCommands(kTestRows);
  ASSERT_EQ(core.replies.size(), 2u);
  EXPECT_EQ(core.replies[0].length, 5) << "the first row of id 51 replies three bytes";
  EXPECT_EQ(core.replies[0].params[0], 0xA1);
  EXPECT_EQ(core.replies[0].params[2], 0xA3);
  EXPECT_EQ(core.replies[1].length, 4);
  EXPECT_EQ(core.replies[1].params[0], 0x04);
  EXPECT_EQ(core.replies[1].params[1], 0x05);
}

TEST_F(Intake, QueuedRepliesCarryTheIndexWhateverTheHandlerDid) {
  core.post(makePacket(84, 0x03, {0x01}));  // queues: index 2
  core.post(makePacket(84, 0x03, {0x01}));  // queues: index 3
  core.post(makePacket(85, 0x03, {0x01}));  // refuses: the previous index
  core.post(makePacket(84, 0x01, {0x01}));  // not queued: no index
  ClassifyCommands(kTestRows);
  ASSERT_EQ(core.replies.size(), 4u);
  EXPECT_EQ(replyIndex(core.replies[0]), 2u);
  EXPECT_EQ(replyIndex(core.replies[1]), 3u);
  EXPECT_EQ(replyIndex(core.replies[2]), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(core.replies[i].length, 10) << i;
  EXPECT_EQ(core.replies[3].length, 2);
  EXPECT_EQ(+gPackedCmdQueue.count, 2u);
}

TEST(CommandMessage, EmptyRequestGivesZeroParamsAndALengthTwoReply) {
  CoreStandIn core;
  core.post(makePacket(27, 0x00, {}));
  tagMessage msg;
  std::memset(&msg, 0xAA, sizeof msg);
  ASSERT_EQ(MessageRead(&msg), kMessageTaken);
  EXPECT_EQ(msg.id, 27);
  EXPECT_EQ(msg.rw, 0);
  EXPECT_EQ(msg.isQueued, 0);
  EXPECT_EQ(msg.paramsLen, 0u);
  EXPECT_TRUE(std::all_of(std::begin(msg.params), std::end(msg.params), [](std::uint8_t b) { return b == 0; }));
  MessageWrite(&msg);
  ASSERT_EQ(core.replies.size(), 1u);
  EXPECT_EQ(core.replies[0].length, 2);
  EXPECT_EQ(core.replies[0].cmdId, 27);
  EXPECT_EQ(MessageRead(&msg), kMessageNone);
}

TEST(CommandMessage, ReplyNeverCarriesMoreThanTheMessageHolds) {
  CoreStandIn core;
  tagMessage msg{};
  msg.id = 9;
  msg.paramsLen = 5000;  // a handler overstating its reply
  MessageWrite(&msg);
  ASSERT_EQ(core.replies.size(), 1u);
  EXPECT_EQ(core.replies[0].length, kKernelParamBytes + 2);
}

TEST(CommandTable, IdsAreUniqueAndTheEchoedIdsHaveNoRow) {
  std::set<std::uint32_t> seen;
  for (const CommandRow& row : gProtocolHandlerLUT) {
    EXPECT_TRUE(seen.insert(row.id).second) << "id " << row.id << " has two rows";
    EXPECT_NE(row.handler, nullptr) << "id " << row.id;
  }
  for (std::uint32_t id : {0u,  1u,  2u,  3u,  4u,  12u, 13u, 30u,  40u,  60u,  61u,  62u,  63u,  85u, 86u,
                           89u, 90u, 91u, 92u, 100u, 135u, 140u, 141u, 142u, 143u, 145u, 262u}) {
    EXPECT_EQ(seen.count(id), 0u) << "id " << id << " is echoed, it has no row";
  }
}

TEST(CommandTable, HoldsEveryCommandInItsRowOrder) {
  const std::vector<std::uint32_t> want = {
      8,   9,   10,  11,  14,  15,  16,  17,  18,  19,  23,  20,  21,  24,  25,  26,  27,  28,  29,  31,  32,
      33,  34,  35,  41,  43,  44,  45,  47,  50,  51,  52,  53,  70,  71,  72,  73,  74,  80,  81,  82,  87,
      83,  84,  88,  101, 102, 103, 104, 110, 120, 130, 131, 132, 133, 134, 136, 137, 138, 139, 144, 220,
      225, 228, 240, 241, 242, 245, 246, 247, 250, 251, 248, 249, 253, 200, 201, 193, 202, 204, 205, 206, 207, 208};
  std::vector<std::uint32_t> got;
  for (const CommandRow& row : gProtocolHandlerLUT) got.push_back(row.id);
  EXPECT_EQ(got, want);
}
