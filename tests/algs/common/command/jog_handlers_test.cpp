// Jog and homing commands through packets: a start refused while the arm
// moves, a stop always taken, the motion mode of each jog kind, the inch
// movers' reset, hand teaching and invalid records.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;
using zelor::test::makePacket;

class JogCommands : public KernelCommands {
 protected:
  Packet jog(std::uint8_t isJoint, std::uint8_t cmd) {
    const tagJOGCmd record{isJoint, cmd};
    return exchange([&](PluginBase& c) { return c.alloc_SetJOGCmd(&record, 0); });
  }
  static bool echoes(const Packet& reply, std::uint8_t isJoint, std::uint8_t cmd) {
    return reply.length == 4 && reply.params[0] == isJoint && reply.params[1] == cmd;
  }
};

TEST_F(JogCommands, StartTakesTheModeOfTheJogKind) {
  const Packet joint = jog(1, 3);
  EXPECT_EQ(joint.length, 2);
  EXPECT_EQ(gRobotPrfMode, kPrfJogJoint);
  EXPECT_EQ(gTeachMode, 3);
  EXPECT_EQ(gSysParams.jogCmd.isJoint, 1);
  EXPECT_EQ(gSysParams.jogCmd.cmd, 3);
  EXPECT_TRUE(logged("Command OnJOGCmd executed... gRobotPrfMode:1  \r\n"));

  gRobotPrfMode = kPrfIdle;
  gCmdFinishFlag = 1;
  jog(0, 8);
  EXPECT_EQ(gRobotPrfMode, kPrfJogCartesian);
  EXPECT_EQ(gTeachMode, 8);
  EXPECT_EQ(gCmdFinishFlag, 0);
}

TEST_F(JogCommands, StartIsRefusedWhileAJointMovesAndStopIsAlwaysTaken) {
  gRobotAxisMove.nextVel[1] = -2e-5;
  gRobotPrfMode = kPrfExecute;
  const Packet refused = jog(1, 1);
  EXPECT_TRUE(echoes(refused, 1, 1)) << "the refusal repeats the request";
  EXPECT_EQ(gTeachMode, 0);
  EXPECT_EQ(gRobotPrfMode, kPrfExecute);
  EXPECT_TRUE(logged("IsRobotMoving : 1 \r\n "));
  EXPECT_TRUE(logged("Command OnJOGCmd executed...error:  cmd:1, IsRobotMoving:1  \r\n"));

  gTeachMode = 5;
  const Packet stop = jog(1, 0);
  EXPECT_EQ(stop.length, 2);
  EXPECT_EQ(gTeachMode, 0);
  EXPECT_EQ(gSysParams.jogCmd.cmd, 0);
  EXPECT_EQ(gRobotPrfMode, kPrfExecute) << "a stop leaves the mode to the jog activity";

  gRobotAxisMove.nextVel[1] = 1e-5;  // not above the threshold
  jog(1, 2);
  EXPECT_EQ(gTeachMode, 2);
  EXPECT_EQ(gRobotPrfMode, kPrfJogJoint);
}

TEST_F(JogCommands, InvalidRecordsAndHandTeachingAreRefused) {
  for (const auto& [isJoint, cmd] : std::vector<std::pair<std::uint8_t, std::uint8_t>>{{2, 1}, {1, 9}, {0, 255}}) {
    const Packet reply = jog(isJoint, cmd);
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(gTeachMode, 0);
    EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  }
  EXPECT_TRUE(logged("Command OnJOGCmd executed...error: cmd.cmd invalid  \r\n"));
  EXPECT_EQ(exchange(makePacket(73, 0x01, {1})).length, 2) << "a one-byte record is invalid too";
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);

  gHandTeachFlag = 1;
  gTeachMove.cmd = 3;
  const Packet handTeach = jog(1, 1);
  EXPECT_TRUE(echoes(handTeach, 1, 1));
  EXPECT_EQ(gTeachMove.cmd, 0);
  EXPECT_EQ(gTeachMode, 0);
  EXPECT_TRUE(logged("Command OnJOGCmd executed...error: gHandTeachFlag:1  \r\n"));
}

TEST_F(JogCommands, StartInInchModeResetsBothInchMovers) {
  gSysParams.inchParams = {1, 1.0f, 1.0f};
  gSysParams.jogJointParams = {{10, 10, 10, 10}, {50, 50, 50, 50}};
  gSysParams.jogCommonParams = {100, 100};
  gSoftLimitPara[0] = 100;
  gSoftLimitPara[4] = -100;
  gSysParams.jogCmd = {1, 1};
  gInchJoint.Inch();  // a step starts
  ASSERT_FALSE(gInchJoint.IsIdle());
  gSysParams.jogCmd = {1, 0};

  jog(1, 2);
  EXPECT_TRUE(gInchJoint.IsIdle());
  EXPECT_TRUE(gInchCoord.IsIdle());
  EXPECT_TRUE(logged("Command OnJOGCmd executed... inch Reset  \r\n"));
}

TEST_F(JogCommands, HomingWithoutTheExternalAxisStoresTheByte) {
  const unsigned char mode = 0x0B;
  const Packet reply = exchange([&](PluginBase& c) { return c.alloc_SetHOMECmd(&mode, 0); });
  EXPECT_EQ(gRobotPrfMode, kPrfHoming);
  EXPECT_EQ(g_single_joint_mode, 0x0B);
  EXPECT_EQ(reply.length, 3);
  EXPECT_EQ(reply.params[0], 0x0B);
  EXPECT_TRUE(logged("home OnHOMECmd: 11\n"));
}

}  // namespace
