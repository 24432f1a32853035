// The profile stage's checks and bookkeeping: motor speed and soft-limit
// alarms, the jog-off-limit rule, set points by hand-teach and drive state,
// the conveyor-synchronised target, coupling and the drive-alarm return.

#include <gtest/gtest.h>

#include <cmath>

#include "PTP/teach/jog_teach.h"
#include "common/cycle/cycle_steps.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_queues.h"
#include "common/kinematics/conveyor_track.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class ProfileStage : public CycleRig {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    Start();
    gHandTeachFlag = 0;
  }
  void SetCommanded(const double (&joints)[4]) { std::memcpy(&gSysParams.joint, joints, sizeof joints); }
  double Commanded(int j) const {
    double joints[4];
    std::memcpy(joints, &gSysParams.joint, sizeof joints);
    return joints[j];
  }
  // The travel in one period that gives `rpm` on joint j by the fixture's
  // gear ratio and, for joint 3, its screw lead.
  double TravelFor(int j, double rpm) const {
    const double unit = j == 2 ? block.mechanism[2] : 360.0;
    return rpm * block.jointPara[5 + j] / 60.0 * unit * gPeriodTime;
  }
};

TEST_F(ProfileStage, OverSpeedJudgedAgainstGearAndLead) {
  struct Case {
    int joint;
    double share;  // of the over-speed limit
    bool alarm;
  };
  const Case cases[] = {{0, 0.99, false}, {0, 1.01, true},  {1, -1.01, true}, {2, 0.99, false},
                        {2, 1.01, true},  {3, 0.5, false},  {3, -1.2, true}};
  for (const Case& c : cases) {
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    const double start[4] = {0.0, 90.0, 100.0, 0.0};
    SetCommanded(start);
    std::memcpy(gRobotAxisMove.nextPos, start, sizeof start);
    gRobotAxisMove.nextPos[c.joint] += TravelFor(c.joint, c.share * block.overSpeedRpm[c.joint]);
    gRobotPrfMode = kPrfIdle;
    AxisCheck();
    EXPECT_EQ(AlarmIsSet(48 + c.joint), c.alarm) << "joint " << c.joint + 1 << " at " << c.share;
  }
  // By 360 instead of the lead, joint 3's 1.01 share would read as far below the limit.
  EXPECT_LT(TravelFor(2, 1.01 * block.overSpeedRpm[2]) / gPeriodTime / 360.0 * 60.0 / block.jointPara[7],
            block.overSpeedRpm[2]);
}

TEST_F(ProfileStage, SoftLimitAlarmWithMarginAndSelfClearing) {
  struct Step {
    double beyond;
    bool alarm;
  };
  const Step steps[] = {{0.0005, false}, {0.002, true}, {0.0015, true}, {0.0009, false}, {-1.0, false}};
  for (int j = 0; j < 4; ++j) {
    for (const Step& s : steps) {
      double joints[4] = {0.0, 90.0, 100.0, 0.0};
      joints[j] = block.jointMax[j] + s.beyond;
      SetCommanded(joints);
      std::memcpy(gRobotAxisMove.nextPos, joints, sizeof joints);
      gRobotPrfMode = kPrfIdle;
      AxisCheck();
      EXPECT_EQ(AlarmIsSet(64 + 2 * j), s.alarm) << "joint " << j + 1 << " max + " << s.beyond;
      joints[j] = block.jointMin[j] - s.beyond;
      SetCommanded(joints);
      std::memcpy(gRobotAxisMove.nextPos, joints, sizeof joints);
      AxisCheck();
      EXPECT_EQ(AlarmIsSet(65 + 2 * j), s.alarm) << "joint " << j + 1 << " min - " << s.beyond;
    }
  }
}

TEST_F(ProfileStage, ChecksSkippedUnderHandTeachingAndLimitsInHoming) {
  double joints[4] = {block.jointMax[0] + 1.0, 90.0, 100.0, 0.0};
  SetCommanded(joints);
  std::memcpy(gRobotAxisMove.nextPos, joints, sizeof joints);
  gRobotAxisMove.nextPos[1] += 30.0;
  gHandTeachFlag = 1;
  AxisCheck();
  EXPECT_FALSE(AlarmIsSet(64));
  EXPECT_FALSE(AlarmIsSet(49));
  gHandTeachFlag = 0;
  gRobotPrfMode = kPrfHoming;
  AxisCheck();
  EXPECT_FALSE(AlarmIsSet(64)) << "limits skipped while homing";
  EXPECT_TRUE(AlarmIsSet(49)) << "speed still checked";
}

TEST_F(ProfileStage, JogOffLimitLetsJointMoveBackOnly) {
  struct Case {
    double step;
    bool stops;
  };
  for (const Case c : {Case{-0.1, false}, Case{0.0, false}, Case{0.1, true}}) {
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    double joints[4] = {block.jointMax[0] + 0.01, 90.0, 100.0, 0.0};
    SetCommanded(joints);
    std::memcpy(gRobotAxisMove.nextPos, joints, sizeof joints);
    gRobotAxisMove.nextPos[0] += c.step;
    gRobotPrfMode = kPrfJogJoint;
    AxisCheck();
    EXPECT_TRUE(AlarmIsSet(64));
    EXPECT_EQ(gRobotPrfMode == kPrfStop && gStopMode == kStopTeach, c.stops) << "step " << c.step;
    EXPECT_EQ(gRobotPrfMode == kPrfJogJoint, !c.stops) << "step " << c.step;
  }
}

TEST_F(ProfileStage, OtherAlarmWhileJoggingTeachStops) {
  AlarmSysSetBit(105, true);
  gRobotPrfMode = kPrfJogCartesian;
  AxisCheck();
  EXPECT_EQ(gRobotPrfMode, kPrfStop);
  EXPECT_EQ(gStopMode, kStopTeach);
  EXPECT_TRUE(logged(" other alarm stop   \r\n"));
}

TEST_F(ProfileStage, AlarmDuringExecutionStartsEmergencyStop) {
  AlarmSysSetBit(105, true);
  gRobotPrfMode = kPrfExecute;
  gSysParams.runQueuedCmd = 1;
  AxisCheck();
  EXPECT_EQ(gRobotPrfMode, kPrfStop);
  EXPECT_EQ(gStopMode, kStopEmergency);
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
  EXPECT_EQ(gSysParams.resetWord, 1u);
  EXPECT_TRUE(logged("alarm EMERGENCY_STOP   \r\n"));
}

TEST_F(ProfileStage, SetPointBookkeepingByHandTeachAndDriveState) {
  Enable();
  struct Case {
    const char* name;
    std::uint8_t handTeach;
    int drivesOff;  // joints held disabled, from joint 4 down
    bool commandedTakesSetPoint;
    bool takesActual;
  };
  const Case cases[] = {
      {"motion control", 0, 0, true, false},
      {"hand teaching, all enabled", 1, 0, true, false},
      {"hand teaching, partly enabled", 1, 2, false, false},
      {"hand teaching, all disabled", 1, 4, false, true},
  };
  for (const Case& c : cases) {
    for (int j = 0; j < 4; ++j) {
      if (j >= 4 - c.drivesOff) {
        joint(j).m_State = 0;
      } else {
        joint(j).m_State = 4;
      }
    }
    const double commanded[4] = {1.0, 91.0, 101.0, 1.0};
    const double next[4] = {1.01, 91.01, 101.01, 1.01};
    SetCommanded(commanded);
    std::memcpy(gRobotAxisMove.nextPos, next, sizeof next);
    gHandTeachFlag = c.handTeach;
    JointAngleToPulse(rec());
    for (int j = 0; j < 4; ++j) {
      const double expected =
          c.takesActual ? joint(j).m_ActPosition : (c.commandedTakesSetPoint ? next[j] : commanded[j]);
      EXPECT_DOUBLE_EQ(Commanded(j), expected) << c.name << " joint " << j + 1;
    }
  }
}

TEST_F(ProfileStage, ConveyorTargetKeepsJoint4Within180) {
  const double zero[6] = {};
  ASSERT_EQ(track1.setTrack(zero, zero, zero, 1.0, 0.0, 0.0, 0.0, 0.004, 0.0, 0.0), 0);
  for (double current : {170.0, -170.0, 0.0}) {
    for (double rz : {0.0, 90.0, 179.0, -179.0, 270.0}) {
      std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
      const double joints[4] = {0.0, 90.0, 100.0, current};
      SetCommanded(joints);
      gOutObj = {};
      gOutObj.reached = 1;
      gOutObj.pose[0] = 250.0;
      gOutObj.pose[1] = 150.0;
      gOutObj.pose[3] = rz * kDegToRad;
      ConvSys();
      EXPECT_FALSE(AlarmIsSet(32) || AlarmIsSet(33) || AlarmIsSet(34)) << rz;
      EXPECT_LE(std::fabs(gRobotAxisMove.nextPos[3] - current), 180.0) << "current " << current << " rz " << rz;
    }
  }
  track1.desync();
}

TEST_F(ProfileStage, ConveyorTargetOutOfReachRaisesItsAlarm) {
  const double zero[6] = {};
  ASSERT_EQ(track1.setTrack(zero, zero, zero, 1.0, 0.0, 0.0, 0.0, 0.004, 0.0, 0.0), 0);
  gOutObj = {};
  gOutObj.reached = 1;
  gOutObj.pose[0] = 900.0;
  gCmdFinishFlag = 0;
  ConvSys();
  EXPECT_TRUE(AlarmIsSet(33));
  EXPECT_EQ(gCmdFinishFlag, 1);
  track1.desync();
}

TEST_F(ProfileStage, CouplingOnlyWithFourthFlag) {
  gRatioCompToThreeFromFour = 0.5;
  for (std::uint8_t flag : {0, 1}) {
    gCouplFlag[3] = flag;
    const double next[4] = {0.0, 90.0, 100.0, 40.0};
    std::memcpy(gRobotAxisMove.nextPos, next, sizeof next);
    WriteSetValues(rec());
    EXPECT_DOUBLE_EQ(joint(2).m_NewSetValues.m_Position, flag != 0 ? 100.0 - 40.0 * 0.5 : 100.0);
    EXPECT_DOUBLE_EQ(joint(3).m_NewSetValues.m_Position, 40.0);
  }
  gCouplFlag[3] = 0;
}

TEST_F(ProfileStage, DriveAlarmDispatchesNoMode) {
  for (std::uint8_t alarm : {0, 1}) {
    gDriverAlarmFlag = alarm;
    gTeachMove = {};
    gRobotPrfMode = kPrfJogJoint;
    gTeachMode = 1;  // joint 1 positive
    const double start[4] = {0.0, 90.0, 100.0, 0.0};
    SetCommanded(start);
    std::memcpy(gRobotAxisMove.nextPos, start, sizeof start);
    for (int j = 0; j < 4; ++j) gActualPosition[j] = start[j];
    for (int i = 0; i < 5; ++i) ProfileCalculate();
    if (alarm != 0) {
      EXPECT_DOUBLE_EQ(gRobotAxisMove.nextPos[0], 0.0) << "no jog with a drive alarm";
      EXPECT_EQ(gCmdFinishFlag, 1);
    } else {
      EXPECT_GT(gRobotAxisMove.nextPos[0], 0.0) << "the jog moves";
    }
  }
  gDriverAlarmFlag = 0;
}

TEST_F(ProfileStage, ZeroGearRatioOrScrewLeadGivesNoCrash) {
  struct Block {
    const char* name;
    int joint;  // whose motor speed divides by the zero
    bool zeroLead;
  };
  for (const Block b : {Block{"joint 1 gear ratio 0", 0, false}, Block{"screw lead 0", 2, true}}) {
    SCOPED_TRACE(b.name);
    block = FixtureParamBlock();
    if (b.zeroLead) {
      block.mechanism[2] = 0.0;
    } else {
      block.jointPara[5] = 0.0;
      block.gearDen[0] = 0.0;
    }
    Reload();
    Enable();
    struct Case {
      double travel;
      bool alarm;  // infinite rpm alarms, 0/0 does not
    };
    for (const Case c : {Case{0.0, false}, Case{0.1, true}}) {
      std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
      const double start[4] = {0.0, 90.0, 100.0, 0.0};
      SetCommanded(start);
      std::memcpy(gRobotAxisMove.nextPos, start, sizeof start);
      gRobotAxisMove.nextPos[b.joint] += c.travel;
      gRobotPrfMode = kPrfIdle;
      AxisCheck();
      EXPECT_EQ(AlarmIsSet(48 + static_cast<unsigned>(b.joint)), c.alarm) << c.travel;
    }
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    Cycle(3);
    for (double v : gAlgsRunData.actJointTorque) EXPECT_TRUE(std::isfinite(v));
    for (double v : gAlgsRunData.auxDriveSide) EXPECT_TRUE(std::isfinite(v));
  }
}

}  // namespace
}  // namespace zelor::test
