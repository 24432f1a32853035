// Latch commands through packets: type and enable, the latched pose and the
// pose template.
#include "common/command/latch_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/io_conveyor_state.h"
#include "support/kernel_commands.h"

namespace {

using namespace zelor::test;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;

class LatchCommands : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetIOConveyorState();
  }
  void TearDown() override {
    ResetIOConveyorState();
    KernelCommands::TearDown();
  }
};

TEST_F(LatchCommands, TypeAndEnableWritesEchoAndReadsReplyZero) {
  struct Case {
    std::uint16_t id;
    std::uint8_t* stored;
    const char* line;
  };
  for (const Case& c : {Case{32, &gLatchType, "Command OnSetLatch num:3\r\n"},
                        Case{33, &gLatchEnable, "Command OnLatchEnable num:3\r\n"}}) {
    SCOPED_TRACE("id " + std::to_string(c.id));
    const std::uint8_t value = 3;
    const Packet write = exchange(makePacket(c.id, kWrite, &value, sizeof value));
    EXPECT_EQ(write.length, 3);
    EXPECT_EQ(write.params[0], 3);
    EXPECT_EQ(*c.stored, 3);
    EXPECT_TRUE(logged(c.line));

    const Packet read = exchange(makePacket(c.id, kRead, &value, sizeof value));
    EXPECT_EQ(read.length, 3);
    EXPECT_EQ(read.params[0], 0) << "a read replies one byte 0";
    EXPECT_EQ(*c.stored, 3);
  }
}

TEST_F(LatchCommands, LatchedPoseIsReadWholeAndWriteOnlyLogs) {
  gstLatchPose = {1, 10.5f, -20.25f, 30.0f, 45.0f};
  const auto got = replyRecord<tagLatchPose>(exchange([](PluginBase& p) { return p.alloc_GetLatchPose(); }));
  EXPECT_EQ(std::memcmp(&got, &gstLatchPose, sizeof got), 0);
  EXPECT_TRUE(logged("Command OnGetLatchPos is:1 x:10.500 y:-20.250 z:30.000 r:45.000\r\n"));

  core.logs.clear();
  const std::vector<std::uint8_t> request{9, 8, 7};
  const Packet write = exchange(makePacket(34, kWrite, request));
  EXPECT_EQ(write.length, 5);
  EXPECT_EQ(std::memcmp(write.params, request.data(), request.size()), 0);
  EXPECT_TRUE(logged("Command OnGetLatchPos is:1 x:10.500 y:-20.250 z:30.000 r:45.000\r\n"));
  EXPECT_EQ(gstLatchPose.valid, 1u);
}

TEST_F(LatchCommands, PoseTemplateWriteStoresEightFloats) {
  const st_PoseTemplate_t pose{1.5f, 2.5f, 3.5f, 4.5f, {10.0f, 20.0f, 30.0f, 40.0f}};
  const Packet write = exchange([&](PluginBase& p) { return p.alloc_SetLatchTemplate(&pose, false); });
  EXPECT_EQ(write.length, sizeof pose + 2);
  EXPECT_EQ(std::memcmp(write.params, &pose, sizeof pose), 0) << "the reply repeats the request";
  const float want[8] = {1.5f, 2.5f, 3.5f, 4.5f, 10.0f, 20.0f, 30.0f, 40.0f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(gPoseTemplate[i], want[i]) << "value " << i;
  EXPECT_TRUE(logged("gPoseTemplate x:1.500 y:2.500 z:3.500 r:4.500\r\n"));
  EXPECT_TRUE(logged("gPoseTemplate j1:10.000 j2:20.000 j3:30.000 j4:40.000\r\n"));

  const st_PoseTemplate_t other{};
  const Packet read = exchange(makePacket(35, kRead, &other, sizeof other));
  EXPECT_EQ(read.length, 3);
  EXPECT_EQ(read.params[0], 0);
  EXPECT_EQ(gPoseTemplate[0], 1.5f) << "a read stores nothing";
}

}  // namespace
