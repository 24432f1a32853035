#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "PTP/planners/cart_fixture.h"

namespace zelor::test {
namespace {

using Arcs = CartMoves;

const WCSPosition kCentre{250.0, 0.0, -50.0, 0.0};

double FromCentre(const WCSPosition& p) { return std::hypot(p.x - kCentre.x, p.y - kCentre.y, p.z - kCentre.z); }

// Runs the entry in execution alone with MOVC until it finishes.
int RunCurrent(std::vector<JointTheta>* out, int maxCycles = 5000) {
  int n = 0;
  while (n < maxCycles) {
    CycleStartNow();
    MOVC(&gPreDealData, nullptr);
    const JointTheta q = JointsOf(gRobotAxisMove.nextPos);
    SetActual(q);
    out->push_back(q);
    ++n;
    if (gCmdFinishFlag != 0) break;
  }
  return n;
}

class ThreeQuarterArc : public Arcs {
 protected:
  void SetUp() override {
    Arcs::SetUp();
    StartAt(SolveBase({300.0, 0.0, -50.0, 0.0}, true));
  }
  bool Queue() { return QueueArc({250.0, -50.0, -50.0, 0.0}, {250.0, 50.0, -50.0, 0.0}); }
};

TEST_F(ThreeQuarterArc, RunsClockwiseThroughTheMiddleOnTheCircle) {
  ASSERT_TRUE(Queue());
  const PreDealData planned = *PlannedEntry(0);
  EXPECT_NEAR(planned.arcAngle, 4.71238915523025, 1e-9);
  EXPECT_NEAR(planned.arcRadius, 50.0, 1e-9);
  EXPECT_EQ(planned.arcShare, 1.0) << "equal start and end r: the arc alone";
  EXPECT_DOUBLE_EQ(planned.trajPlan.vMax, kVL);
  EXPECT_DOUBLE_EQ(planned.trajPlan.aMax, kAL);
  EXPECT_EQ(planned.pathJerk, planned.trajPlan.jerk);
  EXPECT_EQ(planned.baseJerk, planned.trajPlan.jerk);

  double previous = 0.0;
  double unwrapped = 0.0;
  const auto samples = RunAll();
  ASSERT_GT(samples.size(), 10u);
  for (const Sample& s : samples) {
    const WCSPosition p = PoseOf(s.joints);
    EXPECT_NEAR(FromCentre(p), 50.0, 1e-6);
    const double angle = std::atan2(p.y, p.x - kCentre.x);
    double step = angle - previous;
    if (step > M_PI) step -= 2 * M_PI;
    if (step < -M_PI) step += 2 * M_PI;
    EXPECT_LE(step, 1e-12) << "clockwise seen from +z";
    unwrapped += step;
    previous = angle;
  }
  EXPECT_NEAR(unwrapped, -1.5 * M_PI, 1e-6);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(gRobotAxisMove.nextPos[i], planned.targetAngle[i], 1e-9);
  EXPECT_EQ(AlarmCount(), 0);
}

TEST_F(ThreeQuarterArc, ASpeedChangeMidArcStaysOnTheCircle) {
  ASSERT_TRUE(Queue());
  const PreDealData planned = *PlannedEntry(0);
  const auto before = RunAll(static_cast<int>(planned.trajPlan.tTotal / 0.004 / 2));
  ASSERT_EQ(gCmdFinishFlag, 0);
  // What the speed-change pass does around the planner.
  gSysParams.speedFactorRatio = 50.0f;
  gPreDealPos.joint = before.back().joints;
  gPreDealData.trajPlan.variableSpeed = 1;
  MOVCNewPlan(&gPreDealData.packedCmd, nullptr, &gPreDealData);
  gPeriodCount = gPeriodCount1 = 0;
  ASSERT_EQ(AlarmCount(), 0);
  EXPECT_NEAR(gPreDealData.arcCentre.x, kCentre.x, 1e-9);
  EXPECT_NEAR(gPreDealData.arcRadius, 50.0, 1e-9);
  std::vector<JointTheta> after;
  RunCurrent(&after);
  for (const JointTheta& q : after) EXPECT_NEAR(FromCentre(PoseOf(q)), 50.0, 1e-6);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(gRobotAxisMove.nextPos[i], planned.targetAngle[i], 1e-9);
}

TEST_F(ThreeQuarterArc, AStopReplanResumesFromThePresentPointOnTheOldCircle) {
  ASSERT_TRUE(Queue());
  const PreDealData planned = *PlannedEntry(0);
  const auto before = RunAll(60);
  ASSERT_EQ(gCmdFinishFlag, 0);
  // The path stop leaves the arm at rest and stores where it stands on the arc.
  const WCSPosition here = PoseOf(before.back().joints);
  gPreDealData.arcAngleRun = gPreDealData.arcTravelled * gPreDealData.arcShare / gPreDealData.arcRadius;
  MOVCPreDealTemp(&gPreDealData.packedCmd, nullptr, &gPreDealData);
  gPeriodCount = gPeriodCount1 = 0;
  ASSERT_EQ(AlarmCount(), 0);
  // The re-planned arc starts at the present point.
  WCSPosition start;
  TP_CalcArcPtForScara(gPreDealData.arcOrigin, gPreDealData.arcRotation, gPreDealData.arcCentre,
                       gPreDealData.arcRadius, 0.0, 0.0, &start);
  EXPECT_NEAR(start.x, here.x, 1e-6);
  EXPECT_NEAR(start.y, here.y, 1e-6);
  std::vector<JointTheta> after;
  RunCurrent(&after);
  const WCSPosition first = PoseOf(after.front());
  const double a = gPreDealData.trajPlan.aMax;
  EXPECT_LE(std::hypot(first.x - here.x, first.y - here.y), a * 0.004 * 0.004) << "from rest";
  for (const JointTheta& q : after) EXPECT_NEAR(FromCentre(PoseOf(q)), 50.0, 1e-6);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(gRobotAxisMove.nextPos[i], planned.targetAngle[i], 1e-9);
}

TEST_F(ThreeQuarterArc, NothingLeftAfterAStopFinishesWithFiniteValues) {
  ASSERT_TRUE(Queue());
  RunAll(30);
  gPreDealData.arcRemaining = 0.0;
  gPreDealData.arcRemainingR = 0.0;
  MOVCPreDealTemp(&gPreDealData.packedCmd, nullptr, &gPreDealData);
  EXPECT_EQ(gPreDealData.trajPlan.noMotion, 1);
  EXPECT_EQ(AlarmCount(), 0);
  gPeriodCount = 0;
  std::vector<JointTheta> after;
  EXPECT_EQ(RunCurrent(&after), 1);
  for (double v : gRobotAxisMove.nextPos) EXPECT_TRUE(std::isfinite(v));
  for (double v : {gPreDealData.arcShare, gPreDealData.arcDeltaR, gPreDealData.trajPlan.dist}) {
    EXPECT_TRUE(std::isfinite(v));
  }
}

TEST_F(Arcs, PointsThatAdmitNoArcAreRefused) {
  struct Case {
    const char* name;
    WCSPosition mid, end;
    unsigned alarm;
  };
  const WCSPosition start{300.0, 0.0, -50.0, 0.0};
  const Case cases[] = {
      {"collinear", {275.0, 25.0, -50.0, 0.0}, {250.0, 50.0, -50.0, 0.0}, 20},
      {"middle on the start", {300.0, 0.0, -50.0, 0.0}, {250.0, 50.0, -50.0, 0.0}, 19},
      {"middle on the end", {250.0, 50.0, -50.0, 0.0}, {250.0, 50.0, -50.0, 0.0}, 19},
      {"end on the start: a full turn", {250.0, 50.0, -50.0, 0.0}, start, 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    StartAt(SolveBase(start, true));
    EXPECT_FALSE(QueueArc(c.mid, c.end));
    EXPECT_TRUE(AlarmIsSet(c.alarm));
    EXPECT_EQ(AlarmCount(), 1);
  }
}

TEST_F(Arcs, AnArcWithRotationSharesTheProfile) {
  StartAt(SolveBase({300.0, 0.0, -50.0, 0.0}, true));
  ASSERT_TRUE(QueueArc({250.0, -50.0, -50.0, 10.0}, {200.0, 0.0, -50.0, 60.0}));
  const PreDealData planned = *PlannedEntry(0);
  const double A = 50.0 * M_PI;
  const double s = std::hypot(A, 60.0);
  EXPECT_NEAR(planned.arcShare, A / s, 1e-6);
  EXPECT_NEAR(planned.arcDeltaR, 60.0 / s, 1e-6);
  const auto samples = RunAll();
  for (const Sample& q : samples) {
    const WCSPosition p = PoseOf(q.joints);
    EXPECT_NEAR(FromCentre(p), 50.0, 1e-6);
    // r grows with the arc angle travelled.
    const double travelled = std::atan2(-(p.y), p.x - kCentre.x);
    const double angle = travelled < -1e-9 ? travelled + 2 * M_PI : travelled;
    EXPECT_NEAR(p.r, 60.0 * angle / M_PI, 1e-5);
  }
}

}  // namespace
}  // namespace zelor::test
