// Re-plans of a running circle: after a speed change from where the arm
// stands, and after a path stop from what the stop left in the entry.

#include <bit>
#include <cmath>
#include <numbers>

#include "PTP/path/circle_geometry.h"
#include "circle_fixture.h"
#include "common/kernel/alarms.h"

namespace zelor::test {
namespace {

constexpr double kTwoPiF = 6.2831854820251465;

int RaisedAlarms() {
  int n = 0;
  for (int i = 1; i < kAlarmMapBytes; ++i) n += std::popcount(gAlarmSysState[i]);
  return n;
}

double AngleAbout(const WCSPosition& p, double previous) {
  double a = std::atan2(p.y, p.x - 250.0);
  while (a < previous - std::numbers::pi) a += 2 * std::numbers::pi;
  while (a > previous + std::numbers::pi) a -= 2 * std::numbers::pi;
  return a;
}

void ExpectJerksOfTheProfile(const PreDealData& e) {
  EXPECT_EQ(e.pathJerk, e.trajPlan.jerk);
  EXPECT_EQ(e.baseJerk, e.trajPlan.jerk);
}

// Runs the rest of the circle: every set point on it, turning on from
// `angle`; the last one is the entry's targetAngle. Returns the angle turned.
double RunToTheEnd(EntryRunner& runner, SetPoints& points, double angle) {
  const double start = angle;
  runner.Run(200000, [&] {
    points.Take();
    const WCSPosition p = points.Pose(points.joints.size() - 1);
    EXPECT_NEAR(std::hypot(p.x - 250.0, p.y), 50.0, 1e-6) << "cycle " << points.joints.size();
    const double a = AngleAbout(p, angle);
    // A re-planned path counts its whole turns in single precision too, and
    // may pass the stored end by that turn's excess before the last cycle
    // lands on it: 1.75e-7 rad per turn.
    EXPECT_GE(a, angle - 1e-6) << "cycle " << points.joints.size();
    angle = a;
  });
  EXPECT_EQ(gCmdFinishFlag, 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(points.joints.back()[i], gPreDealData.targetAngle[i]) << "joint " << i + 1;
  return angle - start;
}

TEST_F(CircleMoves, FreshPlanSetsThePathStopJerks) {
  PlanAboutTheCentre(1);
  ExpectJerksOfTheProfile(*PlannedEntry(0));
}

TEST_F(CircleMoves, SpeedChangeAtThirtyPercentOfTwoTurnsKeepsCircleTurnsAndEnd) {
  PlanAboutTheCentre(2);
  double targetAngle[4];
  std::memcpy(targetAngle, PlannedEntry(0)->targetAngle, sizeof targetAngle);
  SetPoints points;
  EntryRunner runner(&RunCircle);
  RunUntil(runner, 0.3, points);
  const PreDealData& e = gPreDealData;
  const double remaining = e.arcAngle - e.arcTravelled * e.arcShare / e.arcRadius;
  const double angleSoFar = AngleAbout(points.Pose(points.joints.size() - 1), 0.0);

  std::memcpy(&gSysParams.joint, gRobotAxisMove.nextPos, sizeof gSysParams.joint);
  SetSpeed(60);
  SpeedChangeRePlan();
  ASSERT_EQ(RaisedAlarms(), 0);
  EXPECT_EQ(std::floor(e.arcAngle / kTwoPiF), 1.0) << "one whole turn plus the rest";
  EXPECT_NEAR(e.arcAngle, remaining, 1e-5);
  EXPECT_NEAR(e.arcRadius, 50.0, 1e-9);
  EXPECT_NEAR(e.arcCentre.x, 250.0, 1e-9);
  EXPECT_NEAR(e.arcCentre.y, 0.0, 1e-9);
  ExpectJerksOfTheProfile(e);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(e.targetAngle[i], targetAngle[i]) << "the same end, joint " << i + 1;

  const double turned = RunToTheEnd(runner, points, angleSoFar);
  EXPECT_NEAR(turned, remaining, 1e-5);
  EXPECT_LT(DistanceXYZ(points.Pose(points.joints.size() - 1), {300, 0, -50, 0}), 1e-4);
}

TEST_F(CircleMoves, StopRePlanStartsAtThePresentPointWithTheNewBlendTime) {
  SetTransition(50);
  PlanAboutTheCentre(2, 60.0f);
  SetPoints points;
  EntryRunner runner(&RunCircle);
  RunUntil(runner, 0.3, points);
  PreDealData& e = gPreDealData;
  const double p = e.pathParam;
  const double remainingArc = e.arcRadius * e.arcAngle - p * e.arcShare;
  StopAt(e, p);
  const WCSPosition present = ForwardOf(gRobotAxisMove.nextPos);

  CirclePreDealTemp(&e.packedCmd, nullptr, &e);
  ASSERT_EQ(RaisedAlarms(), 0);
  EXPECT_LT(DistanceXYZ(e.arcOrigin, present), 1e-9);
  WCSPosition first;
  TP_CalcCirclePtForScara(e.arcOrigin, e.arcRotation, e.arcCentre, e.arcRadius, 0.0, 0.0, &first);
  EXPECT_LT(DistanceXYZ(first, present), 1e-9) << "the turned plan starts at the present point";
  EXPECT_NEAR(first.r, present.r, 1e-9);
  EXPECT_NEAR(e.arcRadius * e.arcAngle, remainingArc, 1e-9);
  EXPECT_NEAR(e.arcRDir * e.arcRTravel, 60.0 - present.r, 1e-6) << "the rest of the r change";
  EXPECT_EQ(e.blendTime, e.trajPlan.tAcc * 50 / 100.0);
  EXPECT_GT(e.blendTime, 0.0);
  EXPECT_EQ(e.arcTravelled, 0.0);
  EXPECT_EQ(e.trajPlan.vCurrent, 0.0);
  EXPECT_EQ(e.trajPlan.variableSpeed, 0);
  ExpectJerksOfTheProfile(e);

  gPeriodCount = 0;
  const double turned = RunToTheEnd(runner, points, AngleAbout(present, 0.0));
  EXPECT_NEAR(turned, remainingArc / 50.0, 1e-5);
  EXPECT_NEAR(points.Pose(points.joints.size() - 1).r, 60.0, 1e-6);
}

TEST_F(CircleMoves, StopRePlanWithNothingLeftRaisesNineteen) {
  PlanAboutTheCentre(1);
  PreDealData e = *PlannedEntry(0);
  std::memcpy(&gSysParams.joint, &gPreDealPos.joint, sizeof gSysParams.joint);
  e.arcRemaining = 0.0;
  e.arcRemainingR = 0.0;
  CirclePreDealTemp(&e.packedCmd, nullptr, &e);
  EXPECT_TRUE(AlarmIsSet(19));
  EXPECT_EQ(RaisedAlarms(), 1);
  EXPECT_EQ(gCmdFinishFlag, 1);
}

TEST_F(CircleMoves, NoTurnsTurnsTheToolInPlaceAndCannotBeReplannedAsACircle) {
  PlanAboutTheCentre(0, 90.0f);
  SetPoints points;
  EntryRunner runner(&RunCircle);
  RunUntil(runner, 0.5, points);
  for (std::size_t i = 0; i < points.joints.size(); ++i) {
    ASSERT_LT(DistanceXYZ(points.Pose(i), {300, 0, -50, 0}), 1e-6) << "cycle " << i;
  }
  EXPECT_NEAR(points.Pose(points.joints.size() - 1).r, 45.0, 0.5);

  std::memcpy(&gSysParams.joint, gRobotAxisMove.nextPos, sizeof gSysParams.joint);
  const PreDealData before = gPreDealData;
  SpeedChangeRePlan();
  EXPECT_TRUE(AlarmIsSet(19));
  EXPECT_EQ(RaisedAlarms(), 1);
  EXPECT_EQ(gCmdFinishFlag, 1);
  EXPECT_EQ(gPreDealData.arcRemaining, before.arcRemaining) << "nothing undefined is written";
}

// A pause stops the circle on its path, the stop re-plans it at rest, the
// speed changes while paused, and the resume re-plans it once more.
class CircleResume : public CircleMoves, public ::testing::WithParamInterface<int> {};

TEST_P(CircleResume, KeepsItsTurnsEndsAtTargetAndStartsGently) {
  gAccType = GetParam();
  PlanAboutTheCentre(2);
  SetPoints points;
  EntryRunner runner(&RunCircle);
  RunUntil(runner, 0.3, points);
  PreDealData& e = gPreDealData;
  StopAt(e, e.pathParam);
  CirclePreDealTemp(&e.packedCmd, nullptr, &e);
  ASSERT_EQ(RaisedAlarms(), 0);
  const double left = e.arcAngle;
  const WCSPosition present = ForwardOf(gRobotAxisMove.nextPos);

  gSysParams.runQueuedCmd = 0;
  SetSpeed(40);
  gSysParams.runQueuedCmd = 1;
  SpeedChangeRePlan();
  ASSERT_EQ(RaisedAlarms(), 0);
  EXPECT_EQ(std::floor(e.arcAngle / kTwoPiF), std::floor(left / kTwoPiF)) << "the whole turns it had left";
  EXPECT_NEAR(e.arcAngle, left, 1e-5);
  ExpectJerksOfTheProfile(e);

  const std::size_t resumedAt = points.joints.size();
  const double turned = RunToTheEnd(runner, points, AngleAbout(present, 0.0));
  EXPECT_NEAR(turned, left, 1e-5);
  const double firstStep = DistanceXYZ(points.Pose(resumedAt), present);
  EXPECT_LE(firstStep, e.trajPlan.aMax * gPeriodTime * gPeriodTime * (1 + 1e-9))
      << "no more than one cycle at the planned acceleration from rest";
}

INSTANTIATE_TEST_SUITE_P(AccTypes, CircleResume, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "AccType" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace zelor::test
