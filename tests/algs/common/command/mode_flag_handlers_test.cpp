// The one-byte flags through packets: a write stores the byte and replies
// length 0, a read replies it; none is ever queued, and a write without its
// byte changes nothing. The load switch only echoes.
#include "common/command/mode_flag_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/kernel/dynamics_state.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;

class ModeFlags : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    clearFlags();
  }
  void TearDown() override {
    clearFlags();
    KernelCommands::TearDown();
  }
  static void clearFlags() { gSafeGuardStop = gSafeMode = gFeedForwardMode = gExcitMode = 0; }
};

struct FlagCase {
  std::uint16_t id;
  std::uint8_t* flag;
};

const FlagCase kFlags[] = {{29, &gSafeGuardStop}, {200, &gSafeMode}, {205, &gFeedForwardMode}, {206, &gExcitMode}};

TEST_F(ModeFlags, WriteStoresTheByteAndReadRepliesIt) {
  for (const FlagCase& c : kFlags) {
    SCOPED_TRACE(c.id);
    const Packet written = exchange(makePacket(c.id, kWrite, {7, 9}));
    EXPECT_EQ(written.length, 2) << "a write replies length 0";
    EXPECT_EQ(*c.flag, 7);
    const Packet read = exchange(makePacket(c.id, kRead, {}));
    ASSERT_EQ(read.length, 3);
    EXPECT_EQ(read.params[0], 7);
    exchange(makePacket(c.id, kWrite, {0}));
    EXPECT_EQ(*c.flag, 0);
  }
}

TEST_F(ModeFlags, SentQueuedTheyActAtOnceAndTakeNoPlace) {
  const std::uint64_t before = enqueued();
  for (const FlagCase& c : kFlags) {
    const Packet reply = exchange(makePacket(c.id, kWriteQueued, {1}));
    EXPECT_EQ(replyIndex(reply), before) << "id " << c.id << ": the previous index";
    EXPECT_EQ(*c.flag, 1) << "id " << c.id;
  }
  EXPECT_EQ(enqueued(), before);
}

TEST_F(ModeFlags, AWriteWithoutItsByteChangesNothing) {
  for (const FlagCase& c : kFlags) {
    SCOPED_TRACE(c.id);
    *c.flag = 5;
    core.logs.clear();
    const Packet reply = exchange(makePacket(c.id, kWrite, {}));
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(*c.flag, 5);
    EXPECT_EQ(core.logs.size(), 1u) << "one line tells why";
  }
}

TEST_F(ModeFlags, LoadSwitchEchoesAndChangesNothing) {
  for (std::uint8_t ctrl : {kRead, kWrite}) {
    const Packet reply = exchange(makePacket(207, ctrl, {1, 2, 3}));
    ASSERT_EQ(reply.length, 5);
    EXPECT_EQ(reply.params[0], 1);
    EXPECT_EQ(reply.params[2], 3);
  }
  EXPECT_EQ(gSysParams.loadFlag, 0);
}

}  // namespace
