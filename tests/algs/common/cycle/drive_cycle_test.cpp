// The cycle's drive supervision on the simulated axes group: group errors,
// homing, the enable check, drive faults and their reset, operational
// flags and the encoder-reset words.

#include <gtest/gtest.h>

#include "common/kernel/alarms.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class DriveCycle : public CycleRig {};

struct GroupErrorCase {
  std::uint32_t error;
  int simulatedJoint;  // 0..3, or -1
  int alarm;           // -1: none of 1-5
};

TEST_F(DriveCycle, GroupErrors) {
  const GroupErrorCase cases[] = {
      {0xEE20, -1, 1}, {0xEE21, -1, 2}, {0xEE22, -1, 3}, {0xEE22, 1, -1}, {0xEE24, -1, 5},
      {0xEE24, 3, -1}, {0xEE25, -1, -1}, {0, -1, -1},
  };
  for (const GroupErrorCase& c : cases) {
    block = FixtureParamBlock();
    if (c.simulatedJoint >= 0) block.simulated[c.simulatedJoint] = 1;
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    Start();
    sim->SetGroupError(c.error);
    Cycle();
    for (int a = 1; a <= 5; ++a) {
      EXPECT_EQ(AlarmIsSet(a), a == c.alarm) << std::hex << "error 0x" << c.error << " alarm " << std::dec << a;
    }
  }
}

TEST_F(DriveCycle, HomingWithJointNotReadyFailsAtOnce) {
  Start();
  Enable();
  sim->HoldState(2, 2);
  g_single_joint_mode = 0x0F;
  gRobotPrfMode = kPrfHoming;
  Cycle();
  EXPECT_TRUE(AlarmIsSet(104));
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_EQ(rec().m_DriveCmd.HomeFlag, 0u);
  EXPECT_TRUE(logged("run gRobotPrfMode 353\r\n"));
}

TEST_F(DriveCycle, HomingThatNeverEndsFailsAfter501Cycles) {
  zelor::sim::SimAxesGroup::Config config;
  config.homingCycles = zelor::sim::SimAxesGroup::kNever;
  Start(config);
  Enable();
  g_single_joint_mode = 0x03;
  gRobotPrfMode = kPrfHoming;
  Cycle();
  EXPECT_EQ(rec().m_DriveCmd.HomeFlag, 0x03u);
  Cycle(499);
  EXPECT_FALSE(AlarmIsSet(104)) << "cycle 500";
  EXPECT_EQ(gRobotPrfMode, kPrfHoming);
  Cycle();
  EXPECT_TRUE(AlarmIsSet(104)) << "cycle 501";
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_EQ(rec().m_DriveCmd.HomeFlag, 0u);
  EXPECT_TRUE(logged("run gRobotPrfMode 354\r\n"));
}

TEST_F(DriveCycle, HomingEndsWhenDrivesReportDone) {
  Start();
  Enable();
  joint(0).m_HomePosition = 12.0;
  g_single_joint_mode = 0x01;
  gRobotPrfMode = kPrfHoming;
  Cycle();
  EXPECT_DOUBLE_EQ(joint(0).m_HomePosition, 0.0) << "cleared on the first cycle";
  Cycle(40);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_FALSE(AlarmIsSet(104));
  EXPECT_EQ(rec().m_DriveCmd.HomeFlag, 0u);
  EXPECT_NEAR(gRobotAxisMove.nextPos[0], 0.0, 1e-9) << "set point follows the homed joint";
}

TEST_F(DriveCycle, PoseResetWritesHomeOffset) {
  Start();
  Enable();
  homeOffset = 33.0;
  gRobotPrfMode = kPrfPoseReset;
  Cycle();
  EXPECT_EQ(rec().m_DriveCmd.HomeFlag, 2u);
  EXPECT_DOUBLE_EQ(joint(1).m_HomePosition, 33.0);
  Cycle(40);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_NEAR(gRobotAxisMove.nextPos[1], 33.0, 1e-9);
  EXPECT_FALSE(AlarmIsSet(104));
}

TEST_F(DriveCycle, EnableCheckReportsAtItsFiftyFirstCycle) {
  Start();
  gHandTeachFlag = 0;
  Cycle();
  EXPECT_EQ(gRobotPrfMode, kPrfEnableCheck);
  EXPECT_EQ(rec().m_EnableRequest, 1u);
  Cycle(49);
  EXPECT_EQ(gRobotPrfMode, kPrfEnableCheck) << "cycle 50";
  EXPECT_FALSE(logged("run ERR_OTHER_ENBLE_sucess!!!!!!\r\n"));
  Cycle();
  EXPECT_EQ(gRobotPrfMode, kPrfIdle) << "cycle 51";
  EXPECT_TRUE(logged("run ERR_OTHER_ENBLE_sucess!!!!!!\r\n"));
  EXPECT_EQ(gRobotEnableFlag, 1);
  EXPECT_EQ(gDriverAlarmFlag, 0);
}

TEST_F(DriveCycle, EnableCheckFailsWithOneDriveHeldOff) {
  Start();
  sim->HoldState(3, 0);
  gHandTeachFlag = 0;
  Cycle(51);
  EXPECT_TRUE(AlarmIsSet(105));
  EXPECT_EQ(gDriverAlarmFlag, 1);
  EXPECT_TRUE(logged("run ERR_OTHER_ENBLE_FAIL\r\n"));
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
}

TEST_F(DriveCycle, FaultRaisesAlarmAndResetWaitsForDrive) {
  Start();
  Enable();
  sim->InjectFault(2, 0x7305);
  Cycle();
  EXPECT_TRUE(AlarmIsSet(100));
  EXPECT_EQ(gDriverAlarmFlag, 1);
  EXPECT_EQ(gHandTeachFlag, 1);
  EXPECT_TRUE(logged("MOVJ t0 0 t1 0 Driver 3 DRV_ALARM 5 ErrorCode:0x7305/29445\r\n"));
  EXPECT_EQ(Count("gDriverAlarm gMaxTorque 0.000 0.000 0.000 0.000\r\n"), 1u);

  // The reset request is held until the drive clears its fault.
  gDriverResetFlag = 1;
  Cycle();
  EXPECT_EQ(rec().m_DriveCmd.ResetFlag, 1u);
  EXPECT_EQ(rec().m_EnableRequest, 0u);
  Cycle();
  EXPECT_EQ(rec().m_DriveCmd.ResetFlag, 0u);
  EXPECT_EQ(gDriverAlarmFlag, 0);
  EXPECT_EQ(gDriverResetFlag, 0);
  EXPECT_TRUE(logged("end clear servo alarm, axesGroup->m_DriveCmd.ResetFlag: 0\r\n"));
}

TEST_F(DriveCycle, FaultWithoutResetRequestStaysLatched) {
  Start();
  Enable();
  sim->InjectFault(0, 1);
  Cycle(5);
  EXPECT_EQ(gDriverAlarmFlag, 1);
  EXPECT_EQ(rec().m_DriveCmd.ResetFlag, 0u);
}

TEST_F(DriveCycle, JointNotOperationalStopsMotionControl) {
  Start();
  Enable();
  sim->SetOperational(1, false);
  gRobotPrfMode = kPrfJogJoint;
  Cycle();
  EXPECT_TRUE(AlarmIsSet(85));
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_EQ(gHandTeachFlag, 1);
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
}

TEST_F(DriveCycle, SafetyInputsRaiseAlarmsEveryCycle) {
  Start();
  gEmergencyStop = 1;
  gSafeGuardStop = 1;
  Cycle(3);
  EXPECT_TRUE(AlarmIsSet(85));
  EXPECT_TRUE(AlarmIsSet(86));
  EXPECT_EQ(Count("AlarmSysSetBit(index=86,isOn=1) executed \r\n"), 3u);
}

TEST_F(DriveCycle, EncoderResetWordsRaisedForOneCycle) {
  Start();
  sim->SetConveyorCount(0, 500);
  gEncoderResetFlag = 1;
  vantrel_run();
  EXPECT_EQ(rec().m_EncoderReset[0], 1u);
  EXPECT_EQ(rec().m_EncoderReset[1], 1u);
  EXPECT_EQ(gEncoderResetFlag, 0);
  Cycle();
  EXPECT_EQ(rec().m_EncoderReset[0], 0u) << "the drive took it";
  EXPECT_EQ(rec().m_EncoderCount[0], 0);
  vantrel_run();
  EXPECT_EQ(rec().m_EncoderReset[0], 0u) << "raised once only";
}

TEST_F(DriveCycle, IdleUnderHandTeachingDropsEnableRequest) {
  Start();
  Enable();
  gHandTeachFlag = 1;
  Cycle(100);
  EXPECT_EQ(rec().m_EnableRequest, 1u);
  Cycle();
  EXPECT_EQ(rec().m_EnableRequest, 0u);
  EXPECT_TRUE(logged("stop disableCount 101\r\n"));
}

}  // namespace
}  // namespace zelor::test
