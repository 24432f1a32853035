// Planned jumps run cycle by cycle: the lift reaches zLimit, the joints start
// once the lift has risen startJumpHeight and arrive when the descent is
// endJumpHeight above the target, joint 3 stays between the start or target
// height and zLimit, and the jump ends on its target.
#include <algorithm>
#include <cmath>
#include <string>

#include "jump_fixture.h"

namespace {

using zelor::test::JumpMoves;
using zelor::test::Joints;
using zelor::test::StageTimesOf;
using zelor::test::EntryRunner;
using zelor::test::ResetQueuedMoveState;
using zelor::test::kJumpVelocity;

constexpr double kPeriod = 0.004;
constexpr double kZLimit = 50.0;
const Joints kStart = {10, 60, -20, 0};
const Joints kJumpAccelerationHigh = {4000, 400, 1000, 1200};

struct JumpRow {
  const char* name;
  int accType;
  Joints target;
  float startJumpHeight;
  float endJumpHeight;
};

std::string describe(const JumpRow& row) { return std::string(row.name) + " accType " + std::to_string(row.accType); }

TEST_F(JumpMoves, JointThreeOnlyRisesToTheLimitAndComesStraightDown) {
  for (int accType : {0, 1, 2}) {
    SCOPED_TRACE("accType " + std::to_string(accType));
    gAccType = accType;
    startAt(kStart);
    const Joints target = {10, 60, -40, 0};
    ASSERT_TRUE(planJump(3, target));
    const PreDealData& e = planned();
    const auto st = StageTimesOf(e);
    EXPECT_GT(st.lift, 0.0);
    EXPECT_EQ(st.jointStart, st.lift) << "nothing waits for the joints";
    EXPECT_EQ(st.descentStart, st.lift) << "the descent starts when the lift ends";
    EXPECT_EQ(st.duration, 0.0);

    const auto points = runAll();
    ASSERT_FALSE(points.empty());
    std::size_t peak = 0;
    for (std::size_t k = 0; k < points.size(); ++k) {
      for (int i : {0, 1, 3}) ASSERT_EQ(points[k][i], kStart[i]) << "joint " << i + 1 << " cycle " << k;
      ASSERT_LE(points[k][2], kZLimit + 1e-9) << "cycle " << k;
      ASSERT_GE(points[k][2], target[2] - 1e-9) << "cycle " << k;
      if (points[k][2] > points[peak][2]) peak = k;
    }
    const double peakTime = (peak + 1) * kPeriod;
    EXPECT_NEAR(peakTime, st.lift, kPeriod) << "the highest set point is where the lift ends";
    EXPECT_GE(points[peak][2], kZLimit - 500.0 * kPeriod * kPeriod) << "joint 3 gets to zLimit";
    for (std::size_t k = 1; k < points.size(); ++k) {
      if (k <= peak) {
        ASSERT_GE(points[k][2], points[k - 1][2]) << "rising until the peak, cycle " << k;
      } else {
        ASSERT_LE(points[k][2], points[k - 1][2]) << "falling after the peak, cycle " << k;
      }
    }
    EXPECT_EQ(points.back(), target) << "ends on the target";
    ResetQueuedMoveState();
  }
}

TEST_F(JumpMoves, JointsStartAtTheStartHeightAndArriveAtTheEndHeight) {
  const JumpRow rows[] = {
      {"long", 0, {60, 20, -40, 90}, 20, 20},     {"long", 1, {60, 20, -40, 90}, 20, 20},
      {"long", 2, {60, 20, -40, 90}, 20, 20},     {"short", 0, {12, 58, -30, 3}, 10, 30},
      {"short", 1, {12, 58, -30, 3}, 10, 30},     {"short", 2, {12, 58, -30, 3}, 10, 30},
      {"higher target", 1, {-30, 90, 10, -45}, 5, 15}, {"no heights", 1, {40, 30, -60, 20}, 0, 0},
      {"no heights", 0, {40, 30, -60, 20}, 0, 0},
  };
  for (const JumpRow& row : rows) {
    SCOPED_TRACE(describe(row));
    gAccType = row.accType;
    setHeights(row.startJumpHeight, row.endJumpHeight, kZLimit);
    startAt(kStart);
    ASSERT_TRUE(planJump(3, row.target));
    PreDealData e = planned();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.targetAngle[i], row.target[i]);
    const auto st = StageTimesOf(e);
    const double up = kZLimit - kStart[2];
    const double down = kZLimit - row.target[2];
    EXPECT_EQ(st.lift, e.jumpMove.lift.tTotal);
    EXPECT_GE(st.descentStart, st.lift - 1e-12) << "the descent never starts before the lift has ended";
    EXPECT_NEAR(JointCalc(&e.jumpMove.lift, st.jointStart), std::min<double>(row.startJumpHeight, up), 2e-3)
        << "the joints start when the lift has risen startJumpHeight";
    EXPECT_NEAR(JointCalc(&e.jumpMove.descent, st.jointStart + st.duration - st.descentStart),
                down - std::min<double>(row.endJumpHeight, down), 2e-3)
        << "the joints arrive when the descent is endJumpHeight above the target";

    const auto points = runAll();
    ASSERT_FALSE(points.empty());
    bool started = false;
    for (std::size_t k = 0; k < points.size(); ++k) {
      const double t = (k + 1) * kPeriod;
      const bool moved = points[k][0] != kStart[0] || points[k][1] != kStart[1] || points[k][3] != kStart[3];
      if (t <= st.jointStart) {
        ASSERT_FALSE(moved) << "joints still before their start, cycle " << k;
      }
      if (!started && t > st.jointStart) {
        EXPECT_TRUE(moved) << "the joints move in the first cycle after their start time, cycle " << k;
        started = true;
      }
      if (t >= st.jointStart + st.duration) {
        for (int i : {0, 1, 3}) ASSERT_EQ(points[k][i], row.target[i]) << "joint " << i + 1 << " has arrived";
      }
      ASSERT_LE(points[k][2], kZLimit + 1e-9) << "cycle " << k;
      ASSERT_GE(points[k][2], std::min(kStart[2], row.target[2]) - 1e-9) << "cycle " << k;
    }
    EXPECT_EQ(points.back(), row.target) << "ends exactly on the target";
    ResetQueuedMoveState();
  }
}

TEST_F(JumpMoves, AShortMoveIsStretchedToTheLiftAndDescentALongOneKeepsItsTime) {
  struct Row {
    const char* name;
    Joints target;
    bool stretched;
  };
  const Row rows[] = {{"short", {11, 60, -20, 0}, true}, {"long", {120, -60, -20, 150}, false}};
  for (int accType : {0, 1, 2}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + " accType " + std::to_string(accType));
      gAccType = accType;
      startAt(kStart);
      ASSERT_TRUE(planJump(3, row.target));
      PreDealData e = planned();
      const auto st = StageTimesOf(e);
      const double rest = st.lift - st.jointStart;
      const double down = kZLimit - row.target[2];
      const double toEndHeight = TimeCalc(&e.jumpMove.descent, down - 20.0);
      // The joint profile alone, as planned before any stretching.
      TrajPlanData alone = e.trajPlan;
      alone.vStart = 0.0;
      alone.variableSpeed = 0;
      TrajPlan(&alone);
      if (row.stretched) {
        // The stretched limits plan again to whole periods: at most one period past the stretch.
        EXPECT_GT(rest + toEndHeight + kPeriod, alone.tTotal);
        EXPECT_NEAR(st.duration, rest + toEndHeight, 1e-9);
        EXPECT_NEAR(st.descentStart, st.lift, 1e-9) << "the descent follows the lift at once";
      } else {
        EXPECT_NEAR(st.duration, alone.tTotal, 1e-9) << "the joint move keeps its own time";
        EXPECT_GT(st.descentStart, st.lift);
      }
      ResetQueuedMoveState();
    }
  }
}

TEST_F(JumpMoves, EmptyLiftOrDescentAndAHighStartHeight) {
  struct Row {
    const char* name;
    Joints start;
    Joints target;
    float startJumpHeight;
    bool liftEmpty;
    bool descentEmpty;
    bool jointsAtOnce;
    bool jointsAfterLift;
  };
  const Row rows[] = {
      {"start at zLimit", {10, 60, 50, 0}, {40, 30, -60, 20}, 20, true, false, true, false},
      {"target at zLimit", {10, 60, -20, 0}, {40, 30, 50, 20}, 20, false, true, false, false},
      // Clearing startJumpHeight takes the whole lift: the joints start as it ends.
      {"start height above the lift", {10, 60, -20, 0}, {40, 30, -60, 20}, 200, false, false, false, true},
  };
  for (int accType : {0, 1, 2}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + " accType " + std::to_string(accType));
      gAccType = accType;
      setHeights(row.startJumpHeight, 20, kZLimit);
      startAt(row.start);
      ASSERT_TRUE(planJump(3, row.target));
      const PreDealData e = planned();
      const auto st = StageTimesOf(e);
      EXPECT_EQ(e.jumpMove.lift.noMotion != 0, row.liftEmpty);
      EXPECT_EQ(e.jumpMove.descent.noMotion != 0, row.descentEmpty);
      if (row.liftEmpty) {
        EXPECT_EQ(st.lift, 0.0);
      }
      if (row.jointsAtOnce) {
        EXPECT_EQ(st.jointStart, 0.0) << "the joints start at once";
      }
      if (row.jointsAfterLift) {
        EXPECT_EQ(st.jointStart, st.lift) << "the joints start when the lift ends";
      }
      const auto points = runAll();
      ASSERT_GT(points.size(), 1u);
      if (row.jointsAtOnce) {
        EXPECT_NE(points[0][0], row.start[0]) << "joint 1 moves in the first cycle";
      }
      for (const Joints& p : points) ASSERT_LE(p[2], kZLimit + 1e-9);
      EXPECT_EQ(points.back(), row.target);
      ResetQueuedMoveState();
    }
  }
}

// The tool tip's z holds the flange offset and the tool: heights taken from it
// would step joint 3 at the start of the lift and land it off its target.
TEST_F(JumpMoves, FlangeOffsetAndToolLeaveNoStepOnJointThree) {
  gScaraMechPara[3] = 40.0;
  gSysParams.toolParams = {1, 30.0f, 0.0f, -25.0f, 0.0f};
  for (int accType : {0, 1}) {
    SCOPED_TRACE("accType " + std::to_string(accType));
    gAccType = accType;
    startAt(kStart);
    const WCSPosition pose{150.0, 250.0, -30.0, 45.0};  // base frame: no user frame set
    ASSERT_TRUE(planJump(0, {pose.x, pose.y, pose.z, pose.r}));
    const PreDealData e = planned();
    JointTheta expected{};
    const tagToolParams tool = gSysParams.toolParams;
    ASSERT_EQ(InverseCalBase(&pose, false, &expected, kCheckAllJoints, &tool), kKinOk);
    const Joints want = {expected.j1, expected.j2, expected.j3, expected.j4};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.targetAngle[i], want[i]);
    EXPECT_EQ(e.jumpMove.initialPos[2], kStart[2]) << "origin height is joint 3";
    EXPECT_NE(e.jumpMove.origin.z, kStart[2]) << "the origin pose is the tool tip";

    const auto points = runAll();
    ASSERT_FALSE(points.empty());
    const double v3 = kJumpVelocity[2];
    EXPECT_LE(std::fabs(points[0][2] - kStart[2]), v3 * kPeriod) << "no step in the first cycle of the lift";
    for (std::size_t k = 1; k < points.size(); ++k) {
      ASSERT_LE(std::fabs(points[k][2] - points[k - 1][2]), v3 * kPeriod * 1.001) << "cycle " << k;
    }
    EXPECT_EQ(points.back(), want) << "ends exactly on targetAngle";
    ResetQueuedMoveState();
  }
}

TEST_F(JumpMoves, ALongJointProfileIsDumped) {
  setSpeedFactor(1);
  gAccType = 1;
  core.logs.clear();
  ASSERT_TRUE(planJump(3, {100, -40, -20, 90}));
  ASSERT_GT(planned().trajPlan.tTotal, 5.0);
  for (const char* tag : {"JUMPDEBUG1", "JUMPDEBUG3"}) {
    EXPECT_EQ(std::count(core.logs.begin(), core.logs.end(), std::string(tag)), 8) << tag << " precedes each of 8 lines";
  }
  EXPECT_TRUE(logged("jump2Params->startJumpHeight: 20.000000 ,jump2Params->endJumpHeight: 20.000000 "
                     ",jump2Params->zLimit: 50.000000 \r\n"));
  EXPECT_EQ(std::count(core.logs.begin(), core.logs.end(), std::string("JUMPDEBUG2")), 0)
      << "no short-jerk re-plan outside the five-segment profile";

  core.logs.clear();
  ResetQueuedMoveState();
  setSpeedFactor(100);
  startAt(kStart);
  ASSERT_TRUE(planJump(3, {100, -40, -20, 90}));
  EXPECT_EQ(std::count(core.logs.begin(), core.logs.end(), std::string("JUMPDEBUG1")), 0) << "a short move is not dumped";
}

TEST_F(JumpMoves, ShapingHoldsTheTargetForItsDelayAndEndsThere) {
  gInputShaping = 1;
  for (int i = 0; i < 4; ++i) vInitShape(i, {0.05, 5.0, kPeriod});
  const int delay = strLocalVar[0].delay2;
  ASSERT_GT(delay, 0);
  ASSERT_TRUE(planJump(3, {40, 30, -60, 20}));
  const PreDealData e = planned();
  const auto st = StageTimesOf(e);
  const double end = st.descentStart + e.jumpMove.descent.tTotal;
  const auto points = runAll();
  ASSERT_FALSE(points.empty());
  EXPECT_NEAR(points.size() * kPeriod, end + delay * kPeriod, 1.5 * kPeriod) << "runs on for the shaping delay";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(points.back()[i], e.targetAngle[i]);
  for (const Joints& p : points) ASSERT_LE(p[2], kZLimit + 1e-6);
  EXPECT_EQ(strLocalVar[0].endFlag, 0) << "the started flag is cleared at the end";
}

TEST_F(JumpMoves, RunPhaseTakesTheEntrysLoad) {
  gSysParams.loadFlag = 1;
  gSysParams.loadParams = {2.5, 0.125};
  gSysParams.loadFullParams = {3, {}, 4.5, 0.25};
  ASSERT_TRUE(planJump(3, {40, 30, -60, 20}));
  EntryRunner runner(&zelor::test::JumpRunStep);
  ASSERT_TRUE(runner.Cycle());
  EXPECT_EQ(gLoad.payload, 2.5);
  EXPECT_EQ(gLoad.inertia, 0.125);
  EXPECT_EQ(gLoadFullParams.weight, 4.5);
  EXPECT_EQ(gLoadFullParams.inertia, 0.25);

  ResetQueuedMoveState();
  gSysParams.loadFlag = 0;
  startAt(kStart);
  ASSERT_TRUE(planJump(3, {40, 30, -60, 20}));
  EntryRunner second(&zelor::test::JumpRunStep);
  ASSERT_TRUE(second.Cycle());
  EXPECT_EQ(gLoad.payload, 0.0) << "no load without the load flag";
  EXPECT_EQ(gLoadFullParams.weight, 4.5) << "the full load is taken either way";
}

}  // namespace

namespace {

// A short, stiff acceleration of joint 1 under the five-segment profile gets
// the minimum jerk time; the other profile types keep their plan.
TEST_F(JumpMoves, ShortJerkOfJointOneGetsTheMinimumJerkTime) {
  setJointParams({150, 200, 500, 600}, kJumpAccelerationHigh, {100000, 4000, 10000, 12000});
  setHeights(60, 60, kZLimit);
  for (int accType : {0, 1}) {
    SCOPED_TRACE("accType " + std::to_string(accType));
    gAccType = accType;
    startAt(kStart);
    ASSERT_TRUE(planJump(3, {110, 60, -20, 0}));
    const PreDealData e = planned();
    const auto st = StageTimesOf(e);
    ASSERT_GT(st.descentStart - st.lift, 0.05) << "a long move: the profile keeps its own time";
    if (accType == 0) {
      EXPECT_NEAR(e.trajPlan.t1, gMinAccT1, 2e-3);
      EXPECT_NEAR(e.trajPlan.jerk, 150.0 / (gMinAccT1 * gMinAccT1), 1e-6);
    } else {
      EXPECT_GT(e.trajPlan.jerk, 90000.0) << "planned with its own jerk";
    }
    EXPECT_EQ(runAll().back(), (Joints{110, 60, -20, 0}));
    ResetQueuedMoveState();
  }
}

}  // namespace
