// The joint move's run phase cycle by cycle: the target reached in the first
// cycle past the profile's end within the joint limits for every profile
// kind, joint 1's acceleration across blends of two joint moves, blends into
// lines, arcs and circles, and a following line that must not blend.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/kinematics/frames.h"
#include "movj_fixture.h"

namespace {

using zelor::test::AlarmCount;
using zelor::test::JointMoves;
using zelor::test::Joints;
using zelor::test::kAcceleration;
using zelor::test::kVelocity;
using zelor::test::PlannedEntry;

WCSPosition forwardOf(const Joints& j) {
  tagGPose at{};
  at.joint = {j[0], j[1], j[2], j[3]};
  WCSPosition pose;
  const tagToolParams tool{};
  ForwardCalBase(&at, &pose, &tool);
  return pose;
}

Joints targetOf(const PreDealData& e) { return {e.targetAngle[0], e.targetAngle[1], e.targetAngle[2], e.targetAngle[3]}; }

// The set points with the arm at rest before and after them.
std::vector<Joints> withRest(const Joints& start, std::vector<Joints> points) {
  points.insert(points.begin(), {start, start});
  const Joints end = points.back();
  points.push_back(end);
  points.push_back(end);
  return points;
}

// Largest |second difference| / period² of joint i.
double peakAcceleration(const std::vector<Joints>& q, int i) {
  double peak = 0.0;
  const double p2 = gPeriodTime * gPeriodTime;
  for (std::size_t n = 1; n + 1 < q.size(); ++n) peak = std::max(peak, std::fabs(q[n + 1][i] - 2 * q[n][i] + q[n - 1][i]) / p2);
  return peak;
}

double peakSpeed(const std::vector<Joints>& q, int i) {
  double peak = 0.0;
  for (std::size_t n = 1; n < q.size(); ++n) peak = std::max(peak, std::fabs(q[n][i] - q[n - 1][i]) / gPeriodTime);
  return peak;
}

TEST_F(JointMoves, AMoveReachesItsTargetInTheFirstCyclePastItsEndWithinItsLimits) {
  for (int accType : {0, 1, 2}) {
    SCOPED_TRACE("gAccType " + std::to_string(accType));
    SetUp();
    gAccType = accType;
    const Joints start = {10, 60, -20, 0};
    ASSERT_TRUE(planMove(4, {70, 20, 40, -90}));
    const PreDealData planned = *PlannedEntry(0);
    const std::vector<Joints> points = runAll();

    const std::size_t expectedCycles = static_cast<std::size_t>(std::ceil(planned.trajPlan.tTotal / gPeriodTime - 1e-9));
    ASSERT_EQ(points.size(), expectedCycles) << "finished in the first cycle with t >= T";
    EXPECT_EQ(points.back(), targetOf(planned));
    EXPECT_EQ(gCmdFinishFlag, 1);
    EXPECT_EQ(gPeriodCount, 0u);

    const std::vector<Joints> q = withRest(start, points);
    for (int i = 0; i < 4; ++i) {
      EXPECT_LE(peakSpeed(q, i), kVelocity[i] * (1 + 1e-9) + 1e-6) << "joint " << i + 1;
      if (accType == 1) {
        EXPECT_LE(peakAcceleration(q, i), kAcceleration[i] * (1 + 1e-9) + 1e-6) << "joint " << i + 1;
      }
    }
    TearDown();
  }
}

struct PairRow {
  std::string name;
  Joints first;   // joints of the first target (queued as the pose they give)
  Joints second;  // joints of the second target
};

// Two joint moves blended, then the commanded acceleration of each joint.
TEST_F(JointMoves, JointOneStaysWithinItsAccelerationWhileTwoJointMovesBlend) {
  const std::vector<PairRow> rows = {
      {"same direction", {40, 80, 0, 30}, {70, 100, 20, 60}},
      {"joint 1 reverses", {50, 70, -10, 10}, {20, 80, 0, 20}},
      {"joint 2 reverses", {20, 100, -10, 10}, {30, 70, 0, 20}},
      {"joint 3 reverses", {20, 70, 40, 10}, {30, 80, -30, 20}},
      {"joint 4 reverses", {20, 70, -10, 90}, {30, 80, 0, -40}},
      {"joint 1 dominates", {90, 62, -20, 0}, {-30, 64, -18, 5}},
      {"joint 2 dominates", {12, 130, -20, 0}, {14, 20, -20, 0}},
      {"second move shorter than the blend", {80, 90, 0, 40}, {80.5, 90.3, 0, 40}},
  };
  for (std::uint8_t transition : {50, 100}) {
    for (const PairRow& row : rows) {
      const std::string trace = row.name + ", transition " + std::to_string(transition);
      SCOPED_TRACE(trace);
      SetUp();
      setTransition(transition);
      const Joints start = {10, 60, -20, 0};
      const WCSPosition firstPose = forwardOf(row.first);
      setArm(row.first[1] >= 0 ? 1 : 0);
      ASSERT_TRUE(planMove(1, {firstPose.x, firstPose.y, firstPose.z, firstPose.r}));
      ASSERT_TRUE(planMove(4, row.second));
      ASSERT_GT(PlannedEntry(0)->blendTime, 0.0);
      const Joints end = targetOf(*PlannedEntry(1));

      int blendCycles = 0;
      std::vector<Joints> points;
      zelor::test::EntryRunner runner(&zelor::test::PlayBackStandIn);
      runner.Run(20000, [&] {
        points.push_back(zelor::test::SetPoint());
        if (gPeriodCount1 > 0) ++blendCycles;
      });
      EXPECT_GT(blendCycles, 0) << "the moves overlap";
      EXPECT_EQ(runner.started(), 2);
      EXPECT_EQ(points.back(), end);
      EXPECT_EQ(AlarmCount(), 0);

      const std::vector<Joints> q = withRest(start, points);
      std::printf("[ ratios   ] %-36s trans %3u:", row.name.c_str(), transition);
      for (int i = 0; i < 4; ++i) std::printf(" j%d %.4f", i + 1, peakAcceleration(q, i) / kAcceleration[i]);
      std::printf("\n");
      EXPECT_LE(peakAcceleration(q, 0), kAcceleration[0] * (1 + 1e-9) + 1e-6);
      TearDown();
    }
  }
}

// A Cartesian entry waiting behind the joint moves, built as its planner
// would: motion type, origin and its joints, shares and a planned profile
// over its length (so one unit of s is one millimetre).
PreDealData cartesianEntry(std::uint32_t motionType, const Joints& startJoints, double length) {
  PreDealData e{};
  e.type = motionType == 10 ? kPackedARC : (motionType == 11 ? kPackedCircle : kPackedPTP);
  e.motionType = motionType;
  e.armOrientation = startJoints[1] >= 0 ? 1 : 0;
  const WCSPosition origin = forwardOf(startJoints);
  std::copy(startJoints.begin(), startJoints.end(), e.lineStartJoints);
  std::copy(startJoints.begin(), startJoints.end(), e.arcStartJoints);
  e.lineStart = origin;
  e.arcOrigin = origin;
  e.lineDir[0] = 0.6;
  e.lineDir[1] = -0.8;
  e.lineLength = 1.0;
  e.trajPlan.dist = length;
  e.trajPlan.vMax = 300;
  e.trajPlan.aMax = e.trajPlan.aMaxDec = 2000;
  e.trajPlan.jerk = 20000;
  e.trajPlan.period = gPeriodTime;
  TrajPlan(&e.trajPlan);
  e.targetPose = {origin.x + 0.6 * length, origin.y - 0.8 * length, origin.z, origin.r};
  return e;
}

// An arc (or full circle) of radius 30 mm in the horizontal plane, starting
// at the origin and turning towards +y around the centre 30 mm in -x.
void makeArc(PreDealData& e, double sweep) {
  const double R = 30.0;
  e.arcRadius = R;
  e.arcAngle = sweep;
  e.arcShare = 1.0;
  e.arcRotation = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  e.arcCentre = {e.arcOrigin.x - R, e.arcOrigin.y, e.arcOrigin.z};
  e.arcRDir = 1.0;
  e.trajPlan.dist = R * sweep;
  TrajPlan(&e.trajPlan);
  e.targetPose = {e.arcCentre.x + R * std::cos(sweep), e.arcCentre.y + R * std::sin(sweep), e.arcOrigin.z,
                  e.arcOrigin.r};
}

struct CartesianRow {
  std::string name;
  std::uint32_t motionType;
  double sweep;  // arcs and circles
};

TEST_F(JointMoves, BlendsIntoLinesArcsAndCirclesGiveFiniteSetPointsOnTheNextPath) {
  const std::vector<CartesianRow> rows = {
      {"line", 2, 0.0},
      {"arc", 10, M_PI / 2},
      {"circle", 11, 2 * M_PI},
  };
  for (const CartesianRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    setTransition(100);
    ASSERT_TRUE(planMove(4, {40, 80, 0, 30}));
    const Joints joint = targetOf(*PlannedEntry(0));
    PreDealData next = cartesianEntry(row.motionType, joint, 60.0);
    if (row.motionType != 2) makeArc(next, row.sweep);
    RingBufferEnqueue(&gPreDealDataQueue, &next);

    int blendCycles = 0;
    std::vector<Joints> points;
    double worstOffPath = 0.0;
    zelor::test::EntryRunner runner(&zelor::test::PlayBackStandIn);
    runner.Run(20000, [&] {
      const Joints q = zelor::test::SetPoint();
      for (double v : q) ASSERT_TRUE(std::isfinite(v));
      points.push_back(q);
      if (gPeriodCount1 > 0) ++blendCycles;
      if (gPreDealData.motionType != row.motionType) return;
      const WCSPosition p = forwardOf(q);
      const double off = row.motionType == 2
                             ? std::fabs((p.x - next.lineStart.x) * 0.8 + (p.y - next.lineStart.y) * 0.6)
                             : std::fabs(std::hypot(p.x - next.arcCentre.x, p.y - next.arcCentre.y) - 30.0);
      worstOffPath = std::max(worstOffPath, std::max(off, std::fabs(p.z - next.arcOrigin.z)));
    });
    EXPECT_GT(blendCycles, 0);
    EXPECT_EQ(runner.started(), 2);
    EXPECT_EQ(AlarmCount(), 0);
    EXPECT_LT(worstOffPath, 1e-6) << "after the hand-over the set point lies on the next path";

    const std::vector<Joints> q = withRest({10, 60, -20, 0}, points);
    std::printf("[ ratios   ] blend into the %-25s trans 100:", row.name.c_str());
    for (int i = 0; i < 4; ++i) std::printf(" j%d %.4f", i + 1, peakAcceleration(q, i) / kAcceleration[i]);
    std::printf("\n");
    TearDown();
  }
}

TEST_F(JointMoves, ALineOfTypeSevenStartsFromItsOwnStartAfterTheJointMove) {
  setTransition(100);
  ASSERT_TRUE(planMove(4, {40, 80, 0, 30}));
  const PreDealData joint = *PlannedEntry(0);
  PreDealData line = cartesianEntry(7, targetOf(joint), 60.0);
  RingBufferEnqueue(&gPreDealDataQueue, &line);

  std::vector<std::uint32_t> lineCounts;
  bool countedBlend = false;
  zelor::test::EntryRunner runner(&zelor::test::PlayBackStandIn);
  runner.Run(20000, [&] {
    if (gPeriodCount1 != 0) countedBlend = true;
    if (gPreDealData.motionType == 7 && lineCounts.size() < 1) lineCounts.push_back(gPeriodCount);
  });
  EXPECT_FALSE(countedBlend) << "gPeriodCount1 stays 0";
  ASSERT_EQ(lineCounts.size(), 1u);
  EXPECT_EQ(lineCounts[0], 1u) << "the line runs its first cycle from its own start";
  EXPECT_EQ(runner.started(), 2);
}

TEST_F(JointMoves, AnUnreachableBlendPoseEndsTheCycleWithItsAlarm) {
  setTransition(100);
  ASSERT_TRUE(planMove(4, {40, 80, 0, 30}));
  PreDealData line = cartesianEntry(2, targetOf(*PlannedEntry(0)), 600.0);  // runs out of reach
  line.lineDir[0] = 1.0;
  line.lineDir[1] = 0.0;
  line.trajPlan.vMax = 5000;
  line.trajPlan.aMax = line.trajPlan.aMaxDec = 200000;
  line.trajPlan.jerk = 2e7;
  TrajPlan(&line.trajPlan);
  RingBufferEnqueue(&gPreDealDataQueue, &line);
  zelor::test::EntryRunner runner(&zelor::test::PlayBackStandIn);
  bool raised = false;
  runner.Run(20000, [&] {
    if (!raised && AlarmIsSet(33)) {
      raised = true;
      EXPECT_EQ(gCmdFinishFlag, 1);
    }
  });
  EXPECT_TRUE(raised) << "alarm 33: the blend pose is out of reach";
}

TEST_F(JointMoves, TheLoadOfTheRunningMoveIsPublishedEveryCycle) {
  gSysParams.loadFlag = 1;
  gSysParams.loadParams = {2.5, 0.125};
  gSysParams.loadFullParams = {3, {}, 4.5, 0.25};
  ASSERT_TRUE(planMove(6, {5, 0, 0, 0}));
  gSysParams.loadFlag = 0;
  ASSERT_TRUE(planMove(6, {5, 0, 0, 0}));
  zelor::test::EntryRunner runner(&zelor::test::PlayBackStandIn);
  ASSERT_TRUE(runner.Cycle());
  EXPECT_EQ(gLoad.payload, 2.5);
  EXPECT_EQ(gLoad.inertia, 0.125);
  EXPECT_EQ(gLoadFullParams.weight, 4.5);
  runner.Run(20000, [] {});
  EXPECT_EQ(gLoad.payload, 0.0) << "a move without a load publishes zeros";
  EXPECT_EQ(gLoadFullParams.weight, 4.5) << "the full-load record is published either way";
}

}  // namespace
