// The plug-in's request channel in-process against the fake request service:
// the frame a packet becomes, repeats of refused requests, bounded reply
// copies, room in the kernel's queue and waiting for a queue index.
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin_lua.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

const tagPTPCmd kJointMove{4, 10.0f, 20.0f, 30.0f, 40.0f};

std::uint64_t replyIndex(const Packet* reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply->params, sizeof index);
  return index;
}

std::vector<std::uint16_t> ids(const std::vector<SeenFrame>& frames) {
  std::vector<std::uint16_t> out;
  for (const SeenFrame& f : frames) out.push_back(f.id());
  return out;
}

TEST(PluginChannel, AQueuedJointMoveCrossesAsOneFrameAndReturnsItsIndex) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  pluginLua& plugin = pluginLua::instance();
  Packet* reply = plugin.alloc_SetPTPCmd(&kJointMove, 1);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(replyIndex(reply), fake.lastIssuedIndex());
  EXPECT_NE(replyIndex(reply), 0u);
  plugin.freePluginPacket(reply);

  const std::vector<SeenFrame> frames = fake.frames();
  ASSERT_EQ(ids(frames), (std::vector<std::uint16_t>{247, 84}));
  const std::uint8_t expected[] = {0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x54, 0x00, 0x19, 0x00,
                                   0xAA, 0xAA, 0x13, 0x00, 0x54, 0x00, 0x03, 0x04, 0x00, 0x00, 0x20, 0x41,
                                   0x00, 0x00, 0xA0, 0x41, 0x00, 0x00, 0xF0, 0x41, 0x00, 0x00, 0x20, 0x42};
  EXPECT_EQ(std::memcmp(frames[1].raw.data(), expected, sizeof expected), 0);
  EXPECT_EQ(frames[1].raw[sizeof expected], 0) << "nothing behind the packet";
  EXPECT_EQ(fake.semValue(0), 1);
  EXPECT_EQ(fake.semValue(9), 0);
}

TEST(PluginChannel, ARefusedRequestIsSentAgainUntilExecuted) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  pluginLua& plugin = pluginLua::instance();
  plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 1));  // fills the cached space

  fake.refuseNext(2);
  Packet* reply = plugin.alloc_SetPTPCmd(&kJointMove, 1);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(replyIndex(reply), fake.lastIssuedIndex());
  plugin.freePluginPacket(reply);

  const std::vector<SeenFrame> frames = fake.frames();
  ASSERT_EQ(ids(frames), (std::vector<std::uint16_t>{247, 84, 84, 84, 84}));
  EXPECT_EQ(frames[2].raw, frames[3].raw);
  EXPECT_EQ(frames[3].raw, frames[4].raw);
  EXPECT_EQ(fake.semValue(9), 0) << "one reply taken per answer";
}

TEST(PluginChannel, AReplyClaimingMoreThanAPacketFillsOnlyThePacket) {
  FakeRequestService fake;
  fake.claimReplyLength(246, 4000);
  fake.setCurrentIndex(0x1122334455667788ULL);
  struct Guarded {
    Packet packet;
    std::uint8_t after[256];
  } buffer;
  std::memset(&buffer, 0x5C, sizeof buffer);
  buffer.packet.length = 0;
  buffer.packet.cmdId = 246;
  buffer.packet.ctrl = 0;
  pluginLua& plugin = pluginLua::instance();
  EXPECT_EQ(plugin.processTranslate(&buffer.packet), 1);
  EXPECT_EQ(replyIndex(&buffer.packet), 0x1122334455667788ULL);
  for (std::uint8_t b : buffer.after) ASSERT_EQ(b, 0x5C);
}

TEST(PluginChannel, QueueRoomIsAskedForWhenTheCacheIsShort) {
  FakeRequestService fake;
  fake.setLeftSpace(2);
  pluginLua& plugin = pluginLua::instance();
  // Cache 0: asked, reported 2, sent; the cache is now 1, short of 2: asked again.
  plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 1));
  plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 1));
  // A command sent now, not queued, needs no room.
  plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 0));
  EXPECT_EQ(ids(fake.frames()), (std::vector<std::uint16_t>{247, 84, 247, 84, 84}));
}

TEST(PluginChannel, SixtyFourPlacesAreBelievedSixtyFiveAreAskedAgainAfterASecond) {
  FakeRequestService fake;
  fake.setLeftSpace(64);
  pluginLua& plugin = pluginLua::instance();
  plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 1));
  EXPECT_EQ(ids(fake.frames()), (std::vector<std::uint16_t>{247, 84}));
  // The cache now holds 63: the next 62 commands are sent without asking.
  for (int i = 0; i < 62; ++i) plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 1));
  EXPECT_EQ(fake.count(247), 1u);

  fake.setLeftSpace(65);
  std::thread fix([&] {
    waitUntil([&] { return fake.count(247) >= 2; }, 5s);
    fake.setLeftSpace(64);
  });
  const auto start = Clock::now();
  plugin.freePluginPacket(plugin.alloc_SetPTPCmd(&kJointMove, 1));
  const auto took = Clock::now() - start;
  fix.join();
  EXPECT_EQ(fake.count(247), 3u);
  EXPECT_GE(took, 900ms);
  EXPECT_LT(took, 3s);
}

TEST(PluginChannel, WaitCmdDoneAsksOnlyWhenToldToWait) {
  FakeRequestService fake;
  fake.setCurrentIndex(7);
  pluginLua& plugin = pluginLua::instance();
  plugin.waitCmdDone(0, 100);
  EXPECT_TRUE(fake.frames().empty());
  plugin.waitCmdDone(1, 7);
  EXPECT_EQ(ids(fake.frames()), (std::vector<std::uint16_t>{246}));

  // Below the index it asks every 50 ms until the kernel gets there.
  std::thread advance([&] {
    waitUntil([&] { return fake.count(246) >= 4; }, 5s);
    fake.setCurrentIndex(9);
  });
  plugin.waitCmdDone(1, 9);
  advance.join();
  EXPECT_GE(fake.count(246), 5u);
}

}  // namespace
}  // namespace zelor::test
