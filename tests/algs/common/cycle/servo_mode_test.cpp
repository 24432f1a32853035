// Servo-mode switch and enable compensation on the simulated drives, and
// the record fields the kernel writes, found at their byte offsets.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "common/cycle/cycle_steps.h"
#include "common/kernel/alarms.h"
#include "json/parameter_globals.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class ServoMode : public CycleRig {};

template <typename T>
T At(const AxesGroupRef& g, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const std::uint8_t*>(&g) + offset, sizeof value);
  return value;
}

TEST_F(ServoMode, TorqueRequestWithDrivesEnabled) {
  Start();
  Enable();
  gServoMode = 1;
  gServoModeSwitch = 1;
  Cycle();
  EXPECT_EQ(rec().m_ModeWord, 1u);
  EXPECT_EQ(rec().m_ModeExecute, 0u);
  for (int j = 0; j < 4; ++j) {
    EXPECT_DOUBLE_EQ(joint(j).m_Limits.m_MaxVelocityAppl, block.ptpJoint.velocity[j] * 0.4) << j;
  }
  Cycle();
  EXPECT_EQ(rec().m_ModeExecute, 1u);
  EXPECT_EQ(gServoModeSwitch, 0);
  Cycle();
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(joint(j).m_OpMode, 10u);
    EXPECT_EQ(joint(j).m_GroupState, 10u);
  }
  EXPECT_EQ(rec().m_ModeExecute, 0u) << "no request, no execute";
  EXPECT_EQ(gActualServoMode, 0x01010101u) << "every joint's byte mirrors torque mode";

  gServoMode = 0;
  gServoModeSwitch = 1;
  Cycle(3);
  EXPECT_EQ(gActualServoMode, 0u) << "every joint back in position mode";
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(joint(j).m_OpMode, 8u);
    EXPECT_DOUBLE_EQ(joint(j).m_TorqueModeFactor, 0.0) << "cleared at the mode change";
  }
  EXPECT_EQ(gHandTeachFlag, 1);
}

TEST_F(ServoMode, RefusedRequests) {
  struct Case {
    const char* name;
    bool enable;
    std::uint8_t mode;
    std::uint8_t prfMode;
    const char* line;
  };
  const Case cases[] = {
      {"torque with drives off", false, 1, kPrfIdle, "can not switch ct mode when servo off"},
      {"while jogging", true, 1, kPrfJogJoint, nullptr},
  };
  for (const Case& c : cases) {
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    std::memset(&rec(), 0, sizeof(AxesGroupRef));
    Start();
    if (c.enable) Enable();
    gServoMode = c.mode;
    gServoModeSwitch = 1;
    gRobotPrfMode = c.prfMode;
    ServoModeSwitch(rec());
    EXPECT_TRUE(AlarmIsSet(161)) << c.name;
    EXPECT_EQ(gServoModeSwitch, 0) << c.name;
    EXPECT_EQ(rec().m_ModeWord, 0u) << c.name;
    if (c.line != nullptr) {
      EXPECT_TRUE(logged(c.line)) << c.name;
    }
  }
}

TEST_F(ServoMode, EnableCompensationOnFirstEnabledCycle) {
  m_st_loadParams.loadValue = 2.0f;
  Start();
  gHandTeachFlag = 0;
  int first = -1;
  for (int n = 0; n < 30 && first < 0; ++n) {
    Cycle();
    if (joint(1).m_State > 2) first = n;
  }
  ASSERT_GE(first, 0);
  const double j2 = gRobotAxisMove.nextPos[1];
  EXPECT_DOUBLE_EQ(joint(1).m_NewSetValues.m_TorqueOffset, ((j2 / 30.0 + 0.2) * 0.32 / 4.6) * 1000.0);
  const double s = gRobotAxisMove.nextPos[2] < 0.0 ? 1.0 : (gRobotAxisMove.nextPos[2] == 0.0 ? 0.0 : -1.0);
  EXPECT_DOUBLE_EQ(joint(2).m_NewSetValues.m_TorqueOffset, (s * (2.0 * 2.2 + 1.5) * 0.32 / 4.6) * 1000.0);
  EXPECT_DOUBLE_EQ(joint(0).m_NewSetValues.m_TorqueOffset, 0.0);
  Cycle(61);
  EXPECT_NE(joint(1).m_NewSetValues.m_TorqueOffset, 0.0) << "61 cycles later";
  Cycle();
  EXPECT_DOUBLE_EQ(joint(1).m_NewSetValues.m_TorqueOffset, 0.0) << "62 cycles later";
  EXPECT_DOUBLE_EQ(joint(2).m_NewSetValues.m_TorqueOffset, 0.0);
  m_st_loadParams.loadValue = 0.0f;
}

TEST_F(ServoMode, KernelFieldsAtTheirOffsets) {
  Start();
  const AxesGroupRef& g = rec();
  // Written by the set-up.
  EXPECT_EQ(At<std::uint32_t>(g, 3744), 1u) << "parameter-write request";
  for (int j = 0; j < 4; ++j) {
    const std::size_t base = 928 * static_cast<std::size_t>(j);
    EXPECT_EQ(At<std::uint32_t>(g, base + 180), j < 2 ? (1000u | 1000u << 16) : 0u) << "filter word 0, axis " << j + 1;
    EXPECT_EQ(At<std::uint32_t>(g, base + 184), j < 2 ? (2u | 2u << 16) : 0u) << "filter word 1, axis " << j + 1;
    EXPECT_DOUBLE_EQ(At<double>(g, base + 128), block.gearNum[j]);
    EXPECT_DOUBLE_EQ(At<double>(g, base + 136), block.gearDen[j]);
    EXPECT_DOUBLE_EQ(At<double>(g, base + 144), block.posScaleNum[j]);
    EXPECT_DOUBLE_EQ(At<double>(g, base + 152), block.posScaleDen[j]);
    EXPECT_EQ(At<std::int32_t>(g, base + 160), block.encoderResolution[j]);
    EXPECT_EQ(At<std::int32_t>(g, base + 164), block.driveWord[j]);
  }
  EXPECT_DOUBLE_EQ(At<double>(g, 2784 + 128), block.gearNum[3]);
  // Written by the cycle.
  gLatchEnable = 1;
  gLatchType = 2;
  Enable();
  EXPECT_EQ(At<std::uint32_t>(g, 3724), 1u) << "enable request";
  for (int j = 0; j < 4; ++j) {
    const std::size_t base = 928 * static_cast<std::size_t>(j);
    EXPECT_DOUBLE_EQ(At<double>(g, base + 72), gRobotAxisMove.nextPos[j]) << "set position " << j + 1;
    EXPECT_EQ(At<std::uint32_t>(g, base + 120), 1u);
    EXPECT_EQ(At<std::uint32_t>(g, base + 124), 2u);
  }
  EXPECT_DOUBLE_EQ(At<double>(g, 928 + 72), gRobotAxisMove.nextPos[1]);
  gServoMode = 1;
  gServoModeSwitch = 1;
  Cycle();
  EXPECT_EQ(At<std::uint32_t>(g, 3728), 1u) << "mode word";
  EXPECT_DOUBLE_EQ(At<double>(g, 96), block.ptpJoint.velocity[0] * 0.4);
  Cycle();
  EXPECT_EQ(At<std::uint32_t>(g, 3732), 1u) << "execute word";
  gEncoderResetFlag = 1;
  vantrel_run();
  EXPECT_EQ(At<std::uint32_t>(g, 3736), 1u);
  EXPECT_EQ(At<std::uint32_t>(g, 3740), 1u);
}

TEST_F(ServoMode, LatchOfAllFourJointsGivesPose) {
  Start();
  Enable();
  gLatchEnable = 1;
  Cycle();
  EXPECT_TRUE(logged("gLatchEnable reset \r\n"));
  sim->TriggerLatch();
  Cycle();
  EXPECT_EQ(gstLatchPose.valid, 1u);
  const JointTheta latched{joint(0).m_LatchedPos, joint(1).m_LatchedPos, joint(2).m_LatchedPos,
                           joint(3).m_LatchedPos};
  WCSPosition pose;
  ForwardCal(&latched, &pose);
  EXPECT_FLOAT_EQ(gstLatchPose.x, static_cast<float>(pose.x));
  EXPECT_FLOAT_EQ(gstLatchPose.y, static_cast<float>(pose.y));
  gLatchEnable = 0;
  Cycle();
  EXPECT_TRUE(logged("gLatchEnable clean \r\n"));
  for (int j = 0; j < 4; ++j) EXPECT_EQ(joint(j).m_LatchDone, 0u);
  EXPECT_EQ(gstLatchPose.valid, 0u);
}

}  // namespace
}  // namespace zelor::test
