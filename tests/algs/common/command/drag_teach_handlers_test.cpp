// Drag teaching, collision drag and the drag-teach mode through packets:
// refusals during a stop or the enable check and for a joint already in the
// other mode (echoed, nothing changes), the servo-mode switch request, and
// the mode numbers of id 44.
#include "common/command/drag_teach_handlers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/kernel/axes_group.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/dynamics_state.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;
using zelor::test::replyIndex;

constexpr std::uint8_t kRead = 0x00;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kWriteQueued = 0x03;

// Byte j of the mirrored servo modes is joint j + 1.
std::uint32_t modes(std::uint8_t j1, std::uint8_t j2, std::uint8_t j3, std::uint8_t j4) {
  return j1 | (j2 << 8) | (j3 << 16) | (static_cast<std::uint32_t>(j4) << 24);
}

class DragTeach : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    clear();
    robotAxesGroup = &group;
  }
  void TearDown() override {
    robotAxesGroup = nullptr;
    clear();
    KernelCommands::TearDown();
  }
  static void clear() {
    gActualServoMode = 0;
    gServoMode = gServoModeSwitch = gIsEmergentGuiding = gIsHandGuiding = 0;
  }
  bool unchanged() const { return gServoModeSwitch == 0 && gServoMode == 0 && gIsEmergentGuiding == 0; }
  void expectEcho(const Packet& reply, std::uint8_t v) {
    ASSERT_EQ(reply.length, 3) << "the reply repeats the request";
    EXPECT_EQ(reply.params[0], v);
  }

  AxesGroupRef group{};
};

TEST_F(DragTeach, RefusedDuringAStopOrTheEnableCheck) {
  for (std::uint8_t mode : {kPrfStop, kPrfEnableCheck}) {
    for (std::uint16_t id : {43, 45}) {
      gRobotPrfMode = mode;
      core.logs.clear();
      expectEcho(exchange(makePacket(id, kWrite, {0})), 0);
      EXPECT_TRUE(unchanged()) << "id " << id << " mode " << int{mode};
      const std::string name = id == 43 ? "OnDragTeachEnabled" : "OnCollideDrag";
      EXPECT_TRUE(logged("Command " + name + " executed(error)...gRobotPrfMode:" + std::to_string(mode) + " \r\n"));
    }
  }
}

TEST_F(DragTeach, TorqueModeAskedForWhileEveryJointHoldsPosition) {
  gActualServoMode = modes(0, 0, 0, 0);
  EXPECT_EQ(exchange(makePacket(45, kWrite, {0})).length, 2);
  EXPECT_EQ(gServoMode, 1);
  EXPECT_EQ(gIsEmergentGuiding, 1);
  EXPECT_EQ(gServoModeSwitch, 1);
  EXPECT_TRUE(logged("Command OnCollideDrag executed(write)...protocolParams[0]:0 \r\n"));

  clear();
  EXPECT_EQ(exchange(makePacket(43, kWrite, {0})).length, 2);
  EXPECT_EQ(gServoMode, 1);
  EXPECT_EQ(gIsEmergentGuiding, 0) << "only collision drag sets the emergent guiding";
  EXPECT_EQ(gServoModeSwitch, 1);
}

TEST_F(DragTeach, AJointAlreadyInTorqueModeRefusesTorqueMode) {
  gActualServoMode = modes(0, 0, 1, 0);
  for (std::uint16_t id : {43, 45}) {
    expectEcho(exchange(makePacket(id, kWrite, {0})), 0);
    EXPECT_TRUE(unchanged());
  }
  EXPECT_TRUE(logged("Command OnDragTeachEnabled executed ERROR...gActualServoMode[2]=CT_MODE \r\n"));
}

TEST_F(DragTeach, PositionModeNeedsEveryJointOutOfPositionMode) {
  gActualServoMode = modes(1, 0, 1, 0);
  // Drag teaching lets a non-zero status word stand for a joint in position mode.
  group.m_Joints[1].m_AxisStatus = 5;
  expectEcho(exchange(makePacket(43, kWrite, {1})), 1);
  EXPECT_TRUE(unchanged());
  EXPECT_TRUE(logged("Command OnDragTeachEnabled executed ERROR...gActualServoMode[3]=CP_MODE \r\n"));

  group.m_Joints[3].m_AxisStatus = 1;
  EXPECT_EQ(exchange(makePacket(43, kWrite, {1})).length, 2);
  EXPECT_EQ(gServoMode, 0);
  EXPECT_EQ(gServoModeSwitch, 1);

  // Collision drag does not.
  clear();
  gActualServoMode = modes(1, 0, 1, 0);
  gIsEmergentGuiding = 1;
  expectEcho(exchange(makePacket(45, kWrite, {2})), 2);
  EXPECT_EQ(gServoModeSwitch, 0);
  EXPECT_TRUE(logged("Command OnCollideDrag executed ERROR...gActualServoMode[1]=CP_MODE \r\n"));
  gActualServoMode = modes(1, 1, 1, 1);
  EXPECT_EQ(exchange(makePacket(45, kWrite, {2})).length, 2);
  EXPECT_EQ(gIsEmergentGuiding, 0);
  EXPECT_EQ(gServoModeSwitch, 1);
}

TEST_F(DragTeach, ReadRepliesWhetherTheArmIsNotHandGuided) {
  for (std::uint16_t id : {43, 45}) {
    for (std::uint8_t guiding : {0, 1}) {
      gIsHandGuiding = guiding;
      const Packet reply = exchange(makePacket(id, kRead, {}));
      ASSERT_EQ(reply.length, 3);
      EXPECT_EQ(reply.params[0], 1 - guiding);
    }
  }
  EXPECT_TRUE(unchanged());
  EXPECT_TRUE(logged("Command OnCollideDrag executed(read)...protocolParams[0]:0 \r\n"));
}

TEST_F(DragTeach, RequestsWithoutTheirByteOrSentQueuedChangeNothingMore) {
  for (std::uint16_t id : {43, 45}) {
    EXPECT_EQ(exchange(makePacket(id, kWrite, {})).length, 2) << "the empty request is echoed";
    EXPECT_TRUE(unchanged()) << "an empty request is not taken as torque mode";
  }
  EXPECT_EQ(replyIndex(exchange(makePacket(45, kWriteQueued, {0}))), 1u);
  EXPECT_EQ(gServoModeSwitch, 1) << "acts at once";
  EXPECT_EQ(enqueued(), 1u);
}

TEST_F(DragTeach, ModeNumbersOfTheDragTeachMode) {
  struct Case {
    std::uint8_t value;
    std::uint8_t mode;
  };
  for (const Case c : {Case{0, kPrfStop}, Case{1, 16}, Case{2, 17}, Case{3, 18}, Case{4, kPrfExecute}}) {
    for (std::uint8_t ctrl : {kRead, kWrite}) {
      gRobotPrfMode = kPrfExecute;
      const Packet reply = exchange(makePacket(44, ctrl, {c.value}));
      EXPECT_EQ(reply.length, 2);
      EXPECT_EQ(gRobotPrfMode, c.mode) << "value " << int{c.value};
    }
  }
  gRobotPrfMode = kPrfExecute;
  for (std::uint8_t ctrl : {kRead, kWrite}) exchange(makePacket(44, ctrl, {}));
  EXPECT_EQ(gRobotPrfMode, kPrfExecute) << "an empty request does not start a stop";
  gRobotPrfMode = kPrfIdle;
}

}  // namespace
