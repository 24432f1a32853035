// Inching, one cycle per call: one step per press along a planned profile,
// landing exactly on the step; no repeat while the key is held; presses
// during a step are lost; the soft limits and the coordinate step's inverse
// solution failures.
#include "PTP/teach/inch_teach.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "support/kernel_commands.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr int kCycleBound = 5000;
constexpr JointTheta kMeasured = {10.0, 20.0, 30.0, 40.0};

class Inching : public ::testing::Test {
 protected:
  void SetUp() override {
    zelor::test::ResetMotionKernel();
    gSysParams.jogJointParams = {{20, 20, 20, 20}, {50, 50, 50, 50}};
    gSysParams.jogCoordinateParams = {{30, 30, 30, 30}, {60, 60, 60, 60}};
    gSysParams.jogCommonParams = {100, 100};
    gSysParams.inchParams = {1, 2.0f, 7.0f};
    zelor::test::SetTestArm();
    setMeasured(kMeasured);
    std::memcpy(gRobotAxisMove.nextPos, &kMeasured, sizeof kMeasured);
  }
  void TearDown() override { zelor::test::ResetMotionKernel(); }

  static void setMeasured(const JointTheta& joints) { zelor::test::SetMeasured(joints); }
  static void press(std::uint8_t command) { gSysParams.jogCmd.cmd = command; }

  // Runs the mover until its step ends; the cycles the step took (0: none started).
  static int runStep(InchTeach& mover) {
    mover.Inch();
    if (mover.IsIdle()) return 0;
    int cycles = 0;
    while (!mover.IsIdle() && cycles < kCycleBound) {
      mover.Inch();
      ++cycles;
    }
    return cycles;
  }

  bool logged(const std::string& line) const { return zelor::test::Logged(core, line); }

  zelor::test::CoreStandIn core;
};

TEST_F(Inching, OneStepPerPressLandingExactlyOnTheStep) {
  press(1);
  gInchJoint.Inch();
  ASSERT_FALSE(gInchJoint.IsIdle());
  EXPECT_TRUE(logged("inch start. state:1,axisIndex:0,dir:1 \r\n"));
  double previous = gRobotAxisMove.nextPos[0];
  int cycles = 0;
  while (!gInchJoint.IsIdle() && cycles < kCycleBound) {
    gInchJoint.Inch();
    ++cycles;
    EXPECT_GE(gRobotAxisMove.nextPos[0], previous) << "cycle " << cycles;
    EXPECT_LE(gRobotAxisMove.nextPos[0], kMeasured.j1 + 2.0);
    previous = gRobotAxisMove.nextPos[0];
  }
  ASSERT_GT(cycles, 1);
  EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1 + 2.0) << "the last cycle lands on the step";
  EXPECT_EQ(gRobotAxisMove.nextPos[1], kMeasured.j2) << "other joints stay";

  // Held: no second step.
  for (int n = 0; n < 200; ++n) gInchJoint.Inch();
  EXPECT_TRUE(gInchJoint.IsIdle());
  EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1 + 2.0);

  // Released, then pressed again: the next step starts where the arm is.
  setMeasured({kMeasured.j1 + 2.0, kMeasured.j2, kMeasured.j3, kMeasured.j4});
  press(0);
  gInchJoint.Inch();
  press(2);
  EXPECT_GT(runStep(gInchJoint), 1);
  EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1) << "back by one step";
}

TEST_F(Inching, APressDuringAStepIsLost) {
  press(1);
  gInchJoint.Inch();
  for (int n = 0; n < 5; ++n) gInchJoint.Inch();
  press(0);
  for (int n = 0; n < 5; ++n) gInchJoint.Inch();
  press(3);  // joint 2, pressed and released while joint 1 still steps
  for (int n = 0; n < 5; ++n) gInchJoint.Inch();
  press(0);
  ASSERT_FALSE(gInchJoint.IsIdle());
  int cycles = 0;
  while (!gInchJoint.IsIdle() && cycles < kCycleBound) {
    gInchJoint.Inch();
    ++cycles;
  }
  for (int n = 0; n < 50; ++n) gInchJoint.Inch();
  EXPECT_TRUE(gInchJoint.IsIdle());
  EXPECT_EQ(gRobotAxisMove.nextPos[1], kMeasured.j2) << "joint 2 never moved";
  EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1 + 2.0);
}

TEST_F(Inching, JointThreeStepsByTheAngleStep) {
  press(5);
  EXPECT_GT(runStep(gInchJoint), 1);
  EXPECT_EQ(gRobotAxisMove.nextPos[2], kMeasured.j3 + 2.0);
}

TEST_F(Inching, AJointTargetBeyondItsSoftLimitRaisesAlarm30) {
  gSoftLimitPara[3] = kMeasured.j4 + 1.0;
  press(7);
  EXPECT_EQ(runStep(gInchJoint), 0);
  EXPECT_TRUE(AlarmIsSet(30));
  EXPECT_TRUE(gInchJoint.IsIdle());
  EXPECT_EQ(gRobotAxisMove.nextPos[3], kMeasured.j4);

  // Down is allowed, and a step that ends exactly on the limit too.
  press(0);
  gInchJoint.Inch();
  gSoftLimitPara[3] = kMeasured.j4 + 2.0;
  press(7);
  EXPECT_GT(runStep(gInchJoint), 1);
  EXPECT_EQ(gRobotAxisMove.nextPos[3], kMeasured.j4 + 2.0);
}

TEST_F(Inching, ZeroStepOrZeroSpeedMovesNothing) {
  gSysParams.inchParams.distanceANG = 0.0f;
  press(1);
  EXPECT_EQ(runStep(gInchJoint), 0);
  EXPECT_FALSE(AlarmIsSet(30));

  press(0);
  gInchJoint.Inch();
  gSysParams.inchParams.distanceANG = 2.0f;
  gSysParams.jogJointParams.velocity[0] = 0.0f;
  press(1);
  EXPECT_EQ(runStep(gInchJoint), 0);
  EXPECT_TRUE(AlarmIsSet(26));
  EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1);
}

// A step whose profile cannot be planned must not be output whole in one
// cycle (nor run for ever): it ends at once with the jog-speed alarm and the
// arm stays, whatever the profile type.
TEST_F(Inching, AStepThatCannotBePlannedRaisesTheSpeedAlarm) {
  const std::int32_t savedType = gAccType;
  gSysParams.jogJointParams.velocity[0] = INFINITY;  // passes the speed check, plans nothing
  for (std::int32_t type : {0, 1, 2, 5}) {
    gAccType = type;
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    press(0);
    gInchJoint.Inch();
    press(1);
    EXPECT_EQ(runStep(gInchJoint), 0) << type;
    EXPECT_TRUE(AlarmIsSet(26)) << type;
    EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1) << type;
  }
  gAccType = savedType;
}

// A profile type the dispatch does not plan is planned as the default
// seven-segment profile: the step still takes many cycles and lands on it.
TEST_F(Inching, AnUnknownProfileTypeStepsWithTheDefaultProfile) {
  const std::int32_t savedType = gAccType;
  for (std::int32_t type : {3, -1}) {
    gAccType = type;
    setMeasured(kMeasured);
    std::memcpy(gRobotAxisMove.nextPos, &kMeasured, sizeof kMeasured);
    press(0);
    gInchJoint.Inch();
    press(1);
    double previous = kMeasured.j1;
    gInchJoint.Inch();
    int cycles = 0;
    while (!gInchJoint.IsIdle() && cycles < kCycleBound) {
      gInchJoint.Inch();
      ++cycles;
      EXPECT_LE(gRobotAxisMove.nextPos[0] - previous, 0.2) << "type " << type << " cycle " << cycles;
      previous = gRobotAxisMove.nextPos[0];
    }
    EXPECT_GT(cycles, 10) << type;
    EXPECT_EQ(gRobotAxisMove.nextPos[0], kMeasured.j1 + 2.0) << type;
    EXPECT_FALSE(AlarmIsSet(26)) << type;
  }
  gAccType = savedType;
}

TEST_F(Inching, CoordinateStepFollowsTheLineAndLandsOnIt) {
  setMeasured({0.0, 90.0, 50.0, 0.0});
  WCSPosition start;
  std::memcpy(&start, &gSysParams.pose, sizeof start);
  press(3);  // y up by the distance step
  EXPECT_GT(runStep(gInchCoord), 1);
  JointTheta joints;
  std::memcpy(&joints, gRobotAxisMove.nextPos, sizeof joints);
  WCSPosition reached;
  ForwardCal(&joints, &reached);
  EXPECT_NEAR(reached.y, start.y + 7.0, 1e-6);
  EXPECT_NEAR(reached.x, start.x, 1e-6);
  EXPECT_NEAR(reached.r, start.r, 1e-6);

  // r moves by the angle step.
  setMeasured(joints);
  press(0);
  gInchCoord.Inch();
  press(8);
  EXPECT_GT(runStep(gInchCoord), 1);
  std::memcpy(&joints, gRobotAxisMove.nextPos, sizeof joints);
  ForwardCal(&joints, &reached);
  EXPECT_NEAR(reached.r, start.r - 2.0, 1e-6);
}

TEST_F(Inching, CoordinateStepsThatCannotBeSolvedEndWithTheirAlarm) {
  struct Case {
    JointTheta measured;
    std::uint8_t command;
    double singularityMargin;
    unsigned alarm;
    const char* line;
  };
  // x up from a nearly stretched arm, z up close to joint 3's maximum.
  const Case cases[] = {
      {{0.0, 4.0, 50.0, 0.0}, 1, 0.0, 33, "inch ERR_MOVE_INV_CALC \r\n"},
      {{0.0, 4.0, 50.0, 0.0}, 1, 3.0, 32, "inch ERR_MOVE_INV_SINGULARITY \r\n"},
      {{0.0, 90.0, 199.0, 0.0}, 5, 3.0, 18, "inch ERR_PLAN_INV_LIMIT \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    press(0);
    gInchCoord.Inch();
    gSoftLimitPara[8] = c.singularityMargin;
    setMeasured(c.measured);
    std::memcpy(gRobotAxisMove.nextPos, &c.measured, sizeof c.measured);
    press(c.command);
    runStep(gInchCoord);
    EXPECT_TRUE(AlarmIsSet(c.alarm));
    EXPECT_TRUE(logged(c.line));
    EXPECT_TRUE(gInchCoord.IsIdle());
  }
}

}  // namespace
