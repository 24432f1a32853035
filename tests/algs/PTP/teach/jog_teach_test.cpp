// Continuous jog, one cycle per call: the ramp to the target speed in steps
// of acceleration x period, the deceleration after release, the joint-limit
// rule, alarms that hold the arm, and the Cartesian jog through the inverse
// solution.
#include "PTP/teach/jog_teach.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "support/kernel_commands.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr double kPeriod = 0.004;
// Configured 20 and 50 at a jog ratio of 50 %: 10 units/s and 25 units/s².
constexpr double kTarget = 10.0;
constexpr double kAcc = 25.0;
constexpr double kStep = kAcc * kPeriod;
constexpr JointTheta kMeasured = {10.0, 20.0, 30.0, 40.0};
// More cycles than any ramp here takes.
constexpr int kCycleBound = 1000;

class JogTeach : public ::testing::Test {
 protected:
  void SetUp() override {
    zelor::test::ResetMotionKernel();
    gSysParams.jogJointParams = {{20, 20, 20, 20}, {50, 50, 50, 50}};
    gSysParams.jogCoordinateParams = {{20, 20, 20, 20}, {50, 50, 50, 50}};
    gSysParams.jogCommonParams = {50, 100};
    setMeasured(kMeasured);
    gRobotPrfMode = kPrfJogJoint;
  }
  void TearDown() override { zelor::test::ResetMotionKernel(); }

  static void setMeasured(const JointTheta& joints) { zelor::test::SetMeasured(joints); }
  static WCSPosition measuredPose() {
    WCSPosition pose;
    std::memcpy(&pose, &gSysParams.pose, sizeof pose);
    return pose;
  }
  static JointTheta setPoint() {
    JointTheta joints;
    std::memcpy(&joints, gRobotAxisMove.nextPos, sizeof joints);
    return joints;
  }
  static void expectHeldAt(const JointTheta& joints) {
    const double* want = &joints.j1;
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(gRobotAxisMove.nextPos[j], want[j]) << "joint " << j + 1;
      EXPECT_EQ(gRobotAxisMove.nextVel[j], 0.0) << "joint " << j + 1;
    }
  }
  // Jogs until the velocity reaches the target; the cycles it took.
  static int rampUp(int command) {
    for (int n = 1; n <= kCycleBound; ++n) {
      JointTeach(command);
      if (std::fabs(gTeachMove.velocity) == kTarget) return n;
    }
    return -1;
  }

  zelor::test::CoreStandIn core;
};

TEST_F(JogTeach, FromRestReachesTheTargetAfterTargetOverAcceleration) {
  for (const int command : {1, 4}) {
    SCOPED_TRACE(command);
    gTeachMove = {};
    const int axis = (command - 1) / 2;
    const double sign = command % 2 == 1 ? 1.0 : -1.0;
    double previous = 0.0;
    int cycles = 0;
    for (int n = 1; n <= kCycleBound && std::fabs(gTeachMove.velocity) < kTarget; ++n) {
      JointTeach(command);
      cycles = n;
      const double v = gTeachMove.velocity;
      if (std::fabs(v) < kTarget) {
        EXPECT_NEAR(v - previous, sign * kStep, 1e-9) << "cycle " << n;
      }
      EXPECT_EQ(gRobotAxisMove.nextVel[axis], v);
      EXPECT_DOUBLE_EQ(gRobotAxisMove.nextPos[axis], (&kMeasured.j1)[axis] + kPeriod * v)
          << "measured position plus one period of travel";
      previous = v;
    }
    EXPECT_EQ(gTeachMove.velocity, sign * kTarget);
    // Rounding in the steps may leave the last one to the snap onto the target.
    EXPECT_NEAR(cycles, kTarget / kAcc / kPeriod, 1.0 + 1e-9) << "ramp time in cycles";
    EXPECT_EQ(gTeachMove.cmd, command);
    for (int j = 0; j < 4; ++j) {
      if (j != axis) {
        EXPECT_EQ(gRobotAxisMove.nextVel[j], 0.0) << "only the jogged joint moves";
      }
    }
  }
}

TEST_F(JogTeach, ReleaseDeceleratesOverVelocityOverAcceleration) {
  ASSERT_GT(rampUp(3), 0);
  int cycles = 0;
  double previous = gTeachMove.velocity;
  while (gTeachMove.cmd != 0 && cycles < kCycleBound) {
    JointTeach(0);
    ++cycles;
    if (gTeachMove.cmd != 0) {
      EXPECT_NEAR(previous - gTeachMove.velocity, kStep, 1e-9);
      EXPECT_GT(gTeachMove.velocity, 0.0);
      EXPECT_EQ(gRobotAxisMove.nextVel[1], gTeachMove.velocity);
      EXPECT_EQ(gRobotPrfMode, kPrfJogJoint);
    }
    previous = gTeachMove.velocity;
  }
  EXPECT_NEAR(cycles, kTarget / kAcc / kPeriod, 1.0 + 1e-9) << "deceleration time in cycles";
  EXPECT_EQ(gTeachMove.velocity, 0.0);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  expectHeldAt(kMeasured);
}

TEST_F(JogTeach, AJointOnItsPositiveLimitMovesOnlyBack) {
  AlarmSysSetBit(64, true);  // joint 1 above its maximum
  for (int n = 0; n < 10; ++n) JointTeach(2);
  EXPECT_EQ(gTeachMove.cmd, 2) << "jogging back off the limit goes on";
  EXPECT_EQ(gRobotPrfMode, kPrfJogJoint);
  EXPECT_LT(gRobotAxisMove.nextPos[0], kMeasured.j1);

  gTeachMove = {};
  JointTeach(1);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle) << "jogging further up ends the jog";
  EXPECT_EQ(gTeachMove.cmd, 0);
  EXPECT_EQ(gTeachMove.velocity, 0.0);
  expectHeldAt(kMeasured);

  // The same for joint 3 below its minimum.
  std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
  AlarmSysSetBit(69, true);
  gRobotPrfMode = kPrfJogJoint;
  JointTeach(5);
  EXPECT_EQ(gTeachMove.cmd, 5);
  JointTeach(6);
  EXPECT_EQ(gRobotPrfMode, kPrfJogJoint) << "the first step back only cancels the upward speed";
  for (int n = 0; n < 3 && gRobotPrfMode != kPrfIdle; ++n) JointTeach(6);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  expectHeldAt(kMeasured);
}

TEST_F(JogTeach, AnAlarmOutsideTheLimitBytesHoldsTheArmAtOnce) {
  ASSERT_GT(rampUp(1), 0);
  AlarmSysSetBit(85, true);  // emergency stop
  JointTeach(1);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  expectHeldAt(kMeasured);
  EXPECT_TRUE(zelor::test::Logged(core, "[ALARM]ID Occur:10\r\n"));
}

TEST_F(JogTeach, SpeedOrAccelerationBelowTheMinimumRaisesAlarm26) {
  gSysParams.jogJointParams.acceleration[2] = 0.0f;
  gRobotAxisMove.nextPos[2] = 7.0;
  JointTeach(5);
  EXPECT_TRUE(AlarmIsSet(26));
  EXPECT_EQ(gRobotAxisMove.nextPos[2], 7.0) << "no set point this cycle";
  EXPECT_TRUE(zelor::test::Logged(core, "jog speedparams error jogVelRatio:50.000 jogVelMax:20.000 jogAcc:0.000 \r\n"));
}

class CartesianJog : public JogTeach {
 protected:
  void SetUp() override {
    JogTeach::SetUp();
    zelor::test::SetTestArm();
    setMeasured({0.0, 90.0, 50.0, 0.0});
    gRobotPrfMode = kPrfJogCartesian;
  }
};

TEST_F(CartesianJog, TheSetPointSolvesTheAdvancedPose) {
  const WCSPosition start = measuredPose();
  for (int n = 0; n < 20; ++n) CrdTeach(3);  // y up
  EXPECT_DOUBLE_EQ(gDistPos.y, start.y + kPeriod * gTeachMove.velocity);
  EXPECT_EQ(gDistPos.x, start.x);
  const JointTheta joints = setPoint();
  WCSPosition reached;
  ForwardCal(&joints, &reached);
  EXPECT_NEAR(reached.x, gDistPos.x, 1e-6);
  EXPECT_NEAR(reached.y, gDistPos.y, 1e-6);
  EXPECT_NEAR(reached.z, gDistPos.z, 1e-6);
  EXPECT_GT(joints.j2, 0.0) << "the arm stays on its side";

  // Released: decelerates, then the jog ends.
  int cycles = 0;
  while (gRobotPrfMode != kPrfIdle && cycles < kCycleBound) {
    CrdTeach(0);
    ++cycles;
  }
  EXPECT_NEAR(cycles, 20, 1) << "as many cycles down as up";
  EXPECT_EQ(gTeachMove.cmd, 0);
  EXPECT_EQ(gTeachMove.velocity, 0.0);
}

TEST_F(CartesianJog, UnreachableAndSingularTargetsRaiseTheirAlarms) {
  setMeasured({0.0, 10.0, 0.0, 0.0});
  gSysParams.pose.x = 410.0;  // beyond L1 + L2
  gRobotAxisMove.nextPos[0] = 1.0;
  CrdTeach(1);
  EXPECT_TRUE(AlarmIsSet(33));
  EXPECT_EQ(gRobotAxisMove.nextPos[0], 1.0) << "the set point stays";

  setMeasured({0.0, 2.0, 0.0, 0.0});  // inside the singularity margin
  gTeachMove = {};
  CrdTeach(2);
  EXPECT_TRUE(AlarmIsSet(32));
  EXPECT_EQ(gRobotAxisMove.nextPos[0], 1.0);
}

}  // namespace
