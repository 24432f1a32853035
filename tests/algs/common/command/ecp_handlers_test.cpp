// The external control point through packets: switch and frame are stored,
// read back, and leave a placeholder when sent queued; a frame that is not
// all finite, or a request cut short, changes nothing and queues nothing.
#include "common/command/ecp_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "common/kernel/packed_cmd.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;
using zelor::test::replyRecord;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class ExternalControlPoint : public KernelCommands {};

TEST_F(ExternalControlPoint, SwitchIsStoredAndReadBack) {
  EXPECT_EQ(exchange(makePacket(24, kWrite, {1})).length, 2);
  EXPECT_EQ(gSysParams.eCPFlag, 1);
  EXPECT_TRUE(logged("Command OnECPSwitch isQueued:0\r\n"));
  EXPECT_TRUE(logged("ECP 1\r\n"));
  const Packet read = exchange(makePacket(24, kRead, {}));
  ASSERT_EQ(read.length, 3);
  EXPECT_EQ(read.params[0], 1);
}

TEST_F(ExternalControlPoint, FrameIsStoredUnderItsIndexAndReadBackWhole) {
  gSysParams.ecpParams.index = 3;
  const tagCoordParams frame{10.5f, -20.0f, 3.25f, 90.0f};
  EXPECT_EQ(exchange(makePacket(25, kWrite, &frame, sizeof frame)).length, 2);
  EXPECT_TRUE(logged("Command OnECPSet:10.500 -20.000 3.250 90.000\r\n"));
  const auto got = replyRecord<tagToolParams>(exchange(makePacket(25, kRead, {})));
  EXPECT_EQ(+got.index, 3u) << "the index is kept";
  EXPECT_EQ(+got.x, 10.5f);
  EXPECT_EQ(+got.y, -20.0f);
  EXPECT_EQ(+got.z, 3.25f);
  EXPECT_EQ(+got.r, 90.0f);
}

TEST_F(ExternalControlPoint, QueuedWritesApplyAtOnceAndLeavePlaceholders) {
  const tagCoordParams frame{1, 2, 3, 4};
  EXPECT_EQ(replyIndex(exchange(makePacket(24, kWriteQueued, {1}))), 2u);
  EXPECT_EQ(replyIndex(exchange(makePacket(25, kWriteQueued, &frame, sizeof frame))), 3u);
  EXPECT_EQ(gSysParams.eCPFlag, 1);
  EXPECT_EQ(+gSysParams.ecpParams.r, 4.0f);
  EXPECT_EQ(entryType(0), kPackedParamPlaceholder);
  EXPECT_EQ(entryType(1), kPackedParamPlaceholder);
  EXPECT_TRUE(logged("Command OnECPSwitch isQueued:1\r\n"));
  // A queued read applies nothing and queues nothing.
  exchange(makePacket(24, 0x02, {}));
  EXPECT_EQ(enqueued(), 3u);
}

TEST_F(ExternalControlPoint, RefusedWritesChangeNothingAndQueueNothing) {
  const tagToolParams before{2, 1, 2, 3, 4};
  struct Case {
    const char* what;
    tagCoordParams frame;
    std::size_t size;
  };
  const Case cases[] = {
      {"NaN x", {kNaN, 0, 0, 0}, 16}, {"infinite r", {0, 0, 0, -kInf}, 16}, {"NaN z", {0, 0, kNaN, 0}, 16},
      {"cut short", {5, 6, 7, 8}, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gSysParams.ecpParams = before;
    const std::uint64_t previous = enqueued();
    EXPECT_EQ(exchange(makePacket(25, kWrite, &c.frame, c.size)).length, 2);
    EXPECT_EQ(replyIndex(exchange(makePacket(25, kWriteQueued, &c.frame, c.size))), previous);
    EXPECT_EQ(std::memcmp(&gSysParams.ecpParams, &before, sizeof before), 0);
  }
  gSysParams.eCPFlag = 1;
  EXPECT_EQ(replyIndex(exchange(makePacket(24, kWriteQueued, {}))), enqueued());
  EXPECT_EQ(gSysParams.eCPFlag, 1) << "an empty switch request is not taken as off";
}

}  // namespace
