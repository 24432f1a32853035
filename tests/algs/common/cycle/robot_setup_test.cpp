// Robot set-up through vantrel_init_params: what variants of the fixture
// block become in the kernel.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "common/kernel/alarms.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class RobotSetup : public CycleRig {};

struct ProfileTypeCase {
  const char* name;
  std::int32_t accType;
  std::uint8_t dynamicOptimal;
  std::uint8_t usingTrueMotion;
  std::int32_t expected;
};

TEST_F(RobotSetup, ProfileTypeRule) {
  const ProfileTypeCase cases[] = {
      {"type 5 runs as 1", 5, 0, 0, 1},
      {"type 3 runs as 1", 3, 0, 0, 1},
      {"type 0 kept", 0, 0, 0, 0},
      {"type 0 with dynamic optimisation", 0, 1, 0, 1},
      {"type 2 kept", 2, 0, 0, 2},
      {"type 2 with dynamic optimisation kept", 2, 1, 0, 2},
      {"type 2 with true motion", 2, 0, 1, 1},
      {"type 0 with true motion", 0, 0, 1, 1},
  };
  Start();
  for (const ProfileTypeCase& c : cases) {
    block.accType = c.accType;
    block.dynamicOptimal = c.dynamicOptimal;
    block.usingTrueMotion = c.usingTrueMotion;
    Reload();
    EXPECT_EQ(gAccType, c.expected) << c.name;
  }
}

TEST_F(RobotSetup, ShapingOffLeavesDelayZero) {
  strLocalVar[0].delay2 = 17;
  block.inputShapingFreq = 0;
  Start();
  EXPECT_TRUE(logged("ControllerShapingSwitch OFF"));
  EXPECT_FALSE(logged("ControllerShapingSwitch ON"));
  EXPECT_EQ(gInputShaping, 0);
  EXPECT_EQ(strLocalVar[0].delay2, 0);
}

TEST_F(RobotSetup, ShapingOnSetsEveryJointsShaper) {
  block.inputShapingFreq = 8;
  block.inputShapingDamp = 0.1;
  Start();
  EXPECT_TRUE(logged("ControllerShapingSwitch ON"));
  EXPECT_EQ(gInputShaping, 1);
  EXPECT_EQ(gInputShapingFreq, 8);
  EXPECT_DOUBLE_EQ(gInputShapingDamp, 0.1);
  for (int n = 0; n < 4; ++n) {
    EXPECT_DOUBLE_EQ(strLocalVar[n].frequency, 8.0) << "joint " << n + 1;
    EXPECT_DOUBLE_EQ(strLocalVar[n].damping, 0.1) << "joint " << n + 1;
    EXPECT_GT(strLocalVar[n].delay2, 0) << "joint " << n + 1;
  }
  // A frequency that a byte cast would lose still switches shaping on.
  block.inputShapingFreq = 256;
  Reload();
  EXPECT_EQ(gInputShaping, 1);
  block.inputShapingFreq = 0;
  Reload();
}

TEST_F(RobotSetup, CouplingRatioComputedButCouplingOff) {
  Start();
  gCouplFlag[3] = 1;
  Reload();
  EXPECT_DOUBLE_EQ(gRatioCompToThreeFromFour, block.mechanism[2] / block.jointPara[0]);
  for (std::uint8_t flag : gCouplFlag) EXPECT_EQ(flag, 0);
}

TEST_F(RobotSetup, AlarmSurvivesReload) {
  Start();
  AlarmSysSetBit(105, true);
  AlarmSysSetBit(3, true);
  Reload();
  EXPECT_TRUE(AlarmIsSet(105));
  EXPECT_TRUE(AlarmIsSet(3));
}

TEST_F(RobotSetup, BlockFramesAreTheSystemFramesAndReported) {
  block.userFrame = {2, 10.0f, 0.0f, 0.0f, 0.0f};
  block.toolFrame = {3, 0.0f, 5.0f, 1.0f, 0.0f};
  Start();
  const tagLocalParams user = gSysParams.localParams;
  const tagToolParams tool = gSysParams.toolParams;
  EXPECT_EQ(user.index, 2u);
  EXPECT_FLOAT_EQ(user.x, 10.0f);
  EXPECT_EQ(tool.index, 3u);
  EXPECT_FLOAT_EQ(tool.y, 5.0f);
  Cycle();
  std::uint8_t raw[960];
  std::memcpy(raw, &gAlgsRunData, sizeof raw);
  double userX = 0.0, toolY = 0.0, ratio = 0.0;
  std::memcpy(&userX, raw + 768, sizeof userX);
  std::memcpy(&toolY, raw + 816 + 8, sizeof toolY);
  std::memcpy(&ratio, raw + 864, sizeof ratio);
  EXPECT_DOUBLE_EQ(userX, 10.0);
  EXPECT_DOUBLE_EQ(toolY, 5.0);
  EXPECT_DOUBLE_EQ(ratio, block.speedFactor);
  EXPECT_EQ(raw[949], 2);
  EXPECT_EQ(raw[950], 3);
}

TEST_F(RobotSetup, GroupsFilledFromTheBlock) {
  Start();
  for (int j = 0; j < 4; ++j) {
    EXPECT_DOUBLE_EQ(gSoftLimitPara[j], block.jointMax[j]);
    EXPECT_DOUBLE_EQ(gSoftLimitPara[4 + j], block.jointMin[j]);
    EXPECT_DOUBLE_EQ(gAxisSpeedOver[j], block.overSpeedRpm[j]);
    // The jerk limits take the acceleration limits.
    EXPECT_FLOAT_EQ(gJointSpAcJkLimit.jerk[j], block.ptpJoint.acceleration[j]);
    EXPECT_FLOAT_EQ(gJointSpAcJkLimit.velocity[j], block.ptpJoint.velocity[j]);
    EXPECT_DOUBLE_EQ(joint(j).m_GearNum, block.gearNum[j]);
    EXPECT_DOUBLE_EQ(joint(j).m_GearDen, block.gearDen[j]);
    EXPECT_EQ(joint(j).m_EncoderResolution, block.encoderResolution[j]);
    EXPECT_EQ(joint(j).m_DriveWord, block.driveWord[j]);
    const std::int32_t adjust = gSysParams.adjust[j];
    const std::int32_t expected = block.adjust[j];
    EXPECT_EQ(adjust, expected);
  }
  EXPECT_FLOAT_EQ(gCoorSpAcJkLimit.xyzJerk, block.ptpCoordinate.xyzAcceleration);
  EXPECT_FLOAT_EQ(gCoorSpAcJkLimit.rJerk, block.ptpCoordinate.rAcceleration);
  EXPECT_DOUBLE_EQ(gScaraMechPara[2], block.mechanism[2]);
  EXPECT_FLOAT_EQ(gSysParams.speedFactorRatio, block.speedFactor);
  EXPECT_FLOAT_EQ(gSysParams.speedFactorRatioCopy, block.speedFactor);
  EXPECT_STREQ(gSysParams.deviceSN, "00000001");
  EXPECT_STREQ(gSysParams.deviceName, "Scara");
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_EQ(gHandTeachFlag, 1);
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_EQ(gConveyor0.dataSource, 2);
  EXPECT_TRUE(logged("ServoShapingSwitch: 0"));
}

TEST_F(RobotSetup, SimulatedFlagsReachKernelAndRecord) {
  block.simulated[1] = 1;
  Start();
  EXPECT_EQ(gSimulatedFlag[1], 1);
  EXPECT_EQ(joint(1).m_Simulated, 1u);
  EXPECT_EQ(joint(0).m_Simulated, 0u);
}

TEST_F(RobotSetup, RunBeforeParameterLoadDoesNothing) {
  // A fresh process state: no block loaded yet is modelled by a record
  // that the cycle must not touch when no parameters were ever loaded.
  sim = std::make_unique<zelor::sim::SimAxesGroup>(rec());
  if (VantrelParamsLoaded()) GTEST_SKIP() << "parameters already loaded in this process";
  AxesGroupRef before;
  std::memcpy(&before, &rec(), sizeof before);
  core.post(makePacket(52, 1, std::vector<std::uint8_t>{50}));
  vantrel_run();
  EXPECT_EQ(std::memcmp(&before, &rec(), sizeof before), 0);
  EXPECT_TRUE(core.replies.empty());
  core.pending.clear();
}

TEST_F(RobotSetup, JointMoveQueuedRightAfterStartIsPlanned) {
  Start();
  // No id 80 sent: the block's point-to-point joint record is in force.
  const tagPTPCmd move{4, 10.0f, 80.0f, 90.0f, 5.0f};
  client.post([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
  gSysParams.runQueuedCmd = 1;  // queued execution on, as id 240 leaves it
  Cycle(2);
  EXPECT_EQ(core.replies.size(), 1u);
  EXPECT_FALSE(AlarmIsSet(26)) << "limits below 1e-5";
  const std::uint32_t motionType = gPreDealData.motionType;
  EXPECT_EQ(motionType, 4u) << "the move was planned and started";
  EXPECT_EQ(gRobotPrfMode, kPrfExecute);
}

}  // namespace
}  // namespace zelor::test
