#include <gtest/gtest.h>

#include <cmath>

#include "PTP/planners/cart_fixture.h"

namespace zelor::test {
namespace {

using LineReplans = CartMoves;

const JointTheta kStart{10.0, 90.0, -20.0, 5.0};

// Distance along the line between two set points.
double Step(const JointTheta& a, const JointTheta& b) {
  const WCSPosition p = PoseOf(a), q = PoseOf(b);
  return std::hypot(q.x - p.x, q.y - p.y, q.z - p.z);
}

// After a stop re-plan, and a speed change made while paused, the line
// resumes from rest: its first step is no larger than one cycle at the
// planned acceleration. The run before left its speed, position and
// variable-speed flag in the profile.
TEST_F(LineReplans, ResumingAfterAStopStartsFromRest) {
  for (int accType : {0, 1}) {
    SCOPED_TRACE(accType);
    SetUp();
    gAccType = accType;
    StartAt(kStart);
    const WCSPosition a = PoseOf(kStart);
    ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 120), static_cast<float>(a.y - 90), static_cast<float>(a.z),
                          static_cast<float>(a.r + 20)));
    const auto before = RunAll(60);
    ASSERT_EQ(gCmdFinishFlag, 0);
    ASSERT_GT(gPreDealData.trajPlan.vCurrent, 10.0) << "the line was running";
    gPreDealData.trajPlan.variableSpeed = 1;  // an earlier speed change

    // The arm has come to rest where it stood; the stop re-plans from there.
    MOVLPreDealTemp(&gPreDealData.packedCmd, nullptr, &gPreDealData);
    gPeriodCount = gPeriodCount1 = 0;
    // A speed change while paused: re-planned on resume from the profile's speed.
    gSysParams.speedFactorRatio = 60.0f;
    gPreDealPos.joint = before.back().joints;
    gPreDealData.trajPlan.variableSpeed = 1;
    MOVLNewPlan(&gPreDealData.packedCmd, nullptr, &gPreDealData);
    gPeriodCount = gPeriodCount1 = 0;
    ASSERT_EQ(AlarmCount(), 0);
    EXPECT_EQ(gPreDealData.pathJerk, gPreDealData.trajPlan.jerk);
    EXPECT_EQ(gPreDealData.baseJerk, gPreDealData.trajPlan.jerk);

    CycleStartNow();
    MOVL(&gPreDealData, nullptr);
    const JointTheta first = JointsOf(gRobotAxisMove.nextPos);
    const double bound = gPreDealData.trajPlan.aMax * 0.004 * 0.004;
    EXPECT_LE(Step(before.back().joints, first), bound + 1e-9);
  }
}

TEST_F(LineReplans, ASpeedChangeKeepsTheLineAndItsTarget) {
  StartAt(kStart);
  const WCSPosition a = PoseOf(kStart);
  ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 120), static_cast<float>(a.y - 90), static_cast<float>(a.z + 15),
                        static_cast<float>(a.r - 20)));
  const PreDealData planned = *PlannedEntry(0);
  const auto before = RunAll(50);
  gSysParams.speedFactorRatio = 30.0f;
  gPreDealPos.joint = before.back().joints;
  gPreDealData.trajPlan.variableSpeed = 1;
  MOVLNewPlan(&gPreDealData.packedCmd, nullptr, &gPreDealData);
  gPeriodCount = gPeriodCount1 = 0;
  ASSERT_EQ(AlarmCount(), 0);
  EXPECT_LT(gPreDealData.trajPlan.vMax, planned.trajPlan.vMax);
  const WCSPosition b = planned.targetPose;
  const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
  const double len = std::hypot(d[0], d[1], d[2]);
  for (int n = 0; n < 5000 && gCmdFinishFlag == 0; ++n) {
    CycleStartNow();
    MOVL(&gPreDealData, nullptr);
    const WCSPosition p = PoseOf(JointsOf(gRobotAxisMove.nextPos));
    const double v[3] = {p.x - a.x, p.y - a.y, p.z - a.z};
    const double f = (v[0] * d[0] + v[1] * d[1] + v[2] * d[2]) / (len * len);
    EXPECT_LT(std::hypot(v[0] - f * d[0], v[1] - f * d[1], v[2] - f * d[2]), 1e-6);
    EXPECT_NEAR(p.r, a.r + f * (b.r - a.r), 1e-6);
  }
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(gRobotAxisMove.nextPos[i], planned.targetAngle[i], 1e-9);
}

TEST_F(LineReplans, AStopWithNothingLeftFinishesAndChangesNothing) {
  StartAt(kStart);
  const WCSPosition a = PoseOf(kStart);
  ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 50), static_cast<float>(a.y), static_cast<float>(a.z),
                        static_cast<float>(a.r)));
  RunAll();
  const PreDealData done = gPreDealData;
  MOVLPreDealTemp(&gPreDealData.packedCmd, nullptr, &gPreDealData);
  EXPECT_EQ(gPreDealData.trajPlan.noMotion, 1);
  EXPECT_EQ(gPreDealData.trajPlan.tTotal, done.trajPlan.tTotal);
  EXPECT_EQ(gPreDealData.lineStart.x, done.lineStart.x);
  EXPECT_EQ(AlarmCount(), 0);
}

}  // namespace
}  // namespace zelor::test
