#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "PTP/planners/cart_fixture.h"

namespace zelor::test {
namespace {

// A start with the elbow on the j2 >= 0 side.
const JointTheta kStart{10.0, 90.0, -20.0, 5.0};

// Distance of p from the segment a-b (x, y, z) and the fraction along it.
double OffSegment(const WCSPosition& p, const WCSPosition& a, const WCSPosition& b, double* fraction) {
  const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
  const double v[3] = {p.x - a.x, p.y - a.y, p.z - a.z};
  const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  const double f = dd > 0 ? (v[0] * d[0] + v[1] * d[1] + v[2] * d[2]) / dd : 0.0;
  *fraction = f;
  const double e[3] = {v[0] - f * d[0], v[1] - f * d[1], v[2] - f * d[2]};
  return std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
}

using Lines = CartMoves;

TEST_F(Lines, EveryCycleLiesOnTheSegmentWithRLinearInThePathParameter) {
  struct Case {
    const char* name;
    int accType;
    double dx, dy, dz, dr;
  };
  const Case cases[] = {
      {"translation, seven-segment", 1, 80.0, -60.0, 20.0, 0.0},
      {"translation and rotation, five-segment", 0, -50.0, 40.0, 0.0, 30.0},
      {"translation and rotation, cosine", 2, 30.0, 70.0, -10.0, -45.0},
      {"rotation only", 1, 0.0, 0.0, 0.0, 40.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    gAccType = c.accType;
    StartAt(kStart);
    const WCSPosition a = PoseOf(kStart);
    const WCSPosition b{a.x + c.dx, a.y + c.dy, a.z + c.dz, a.r + c.dr};
    ASSERT_TRUE(QueueLine(2, static_cast<float>(b.x), static_cast<float>(b.y), static_cast<float>(b.z),
                          static_cast<float>(b.r)));
    const WCSPosition target = PlannedEntry(0)->targetPose;  // the float target as planned
    const PreDealData planned = *PlannedEntry(0);
    EXPECT_EQ(planned.pathJerk, planned.trajPlan.jerk);
    EXPECT_EQ(planned.baseJerk, planned.trajPlan.jerk);
    const auto samples = RunAll();
    ASSERT_FALSE(samples.empty());
    const double L = std::sqrt(c.dx * c.dx + c.dy * c.dy + c.dz * c.dz);
    for (const Sample& s : samples) {
      const WCSPosition p = PoseOf(s.joints);
      if (L > 0) {
        double f;
        EXPECT_LT(OffSegment(p, a, target, &f), 1e-6);
        // r follows the same fraction of the way.
        EXPECT_NEAR(p.r, a.r + f * (target.r - a.r), 1e-6);
      } else {
        // The packet's float target may lie up to 1e-5 off: no translation.
        EXPECT_NEAR(p.x, a.x, 1e-5);
        EXPECT_NEAR(p.y, a.y, 1e-5);
        EXPECT_NEAR(p.z, a.z, 1e-5);
      }
    }
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(gRobotAxisMove.nextPos[i], planned.targetAngle[i], 1e-9);
    EXPECT_EQ(AlarmCount(), 0);
  }
}

TEST_F(Lines, ShareLimitsFollowTheMixOfTranslationAndRotation) {
  struct Case {
    const char* name;
    double dx, dr;
    double v, a;  // expected profile limits
  };
  // 30 mm and 40 deg: s = 50, translation share 0.6, rotation share 0.8.
  const Case cases[] = {
      {"translation only", 50.0, 0.0, kVL, kAL},
      {"rotation only", 0.0, 40.0, kVR, kAR},
      {"both", 30.0, 40.0, std::min(kVL / 0.6, kVR / 0.8), std::min(kAL / 0.6, kAR / 0.8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    StartAt(kStart);
    const WCSPosition a = PoseOf(kStart);
    ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + c.dx), static_cast<float>(a.y), static_cast<float>(a.z),
                          static_cast<float>(a.r + c.dr)));
    const TrajPlanData& plan = PlannedEntry(0)->trajPlan;
    EXPECT_NEAR(plan.vMax, c.v, 1e-3);
    EXPECT_NEAR(plan.aMax, c.a, 1e-3);
    EXPECT_EQ(plan.aMaxDec, plan.aMax);
  }
}

TEST_F(Lines, HalvingOnlyWhenTheMoveMayBlend) {
  gAccType = 0;
  StartAt(kStart);
  const WCSPosition a = PoseOf(kStart);
  gSysParams.transition = 0;
  ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 50), static_cast<float>(a.y), static_cast<float>(a.z),
                        static_cast<float>(a.r)));
  EXPECT_DOUBLE_EQ(PlannedEntry(0)->trajPlan.aMax, kAL);
  EXPECT_DOUBLE_EQ(PlannedEntry(0)->trajPlan.jerk, kJL);
  gSysParams.transition = 1;
  ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 50), static_cast<float>(a.y + 50), static_cast<float>(a.z),
                        static_cast<float>(a.r)));
  EXPECT_DOUBLE_EQ(PlannedEntry(1)->trajPlan.aMax, kAL / 2);
  EXPECT_DOUBLE_EQ(PlannedEntry(1)->trajPlan.jerk, kJL / 2);
}

TEST_F(Lines, ALineOfNoLengthFinishesAtOnceWithoutAlarm) {
  StartAt(kStart);
  const WCSPosition a = PoseOf(kStart);
  gSysParams.transition = 50;
  ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 50), static_cast<float>(a.y), static_cast<float>(a.z),
                        static_cast<float>(a.r)));
  ASSERT_GT(PlannedEntry(0)->blendTime, 0.0);
  const WCSPosition end = gPreDealPos.pose;
  ASSERT_TRUE(QueueLine(2, static_cast<float>(end.x), static_cast<float>(end.y), static_cast<float>(end.z),
                        static_cast<float>(end.r)));
  EXPECT_EQ(PlannedEntry(1)->trajPlan.noMotion, 1);
  EXPECT_EQ(PlannedEntry(0)->blendTime, 0.0) << "the predecessor stops instead of blending into nothing";
  const PreDealData first = *PlannedEntry(0);
  const auto samples = RunAll();
  EXPECT_EQ(samples.back().entry, 2);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(gRobotAxisMove.nextPos[i], first.targetAngle[i], 1e-9);
  EXPECT_EQ(AlarmCount(), 0);
}

TEST_F(Lines, RefusedMovesRaiseOneAlarm) {
  struct Case {
    const char* name;
    JointTheta start;
    std::uint8_t mode;
    WCSPosition target;  // pose, or joints for mode 5
    std::uint8_t arm;
    float speedFactor;
    unsigned alarm;
  };
  const WCSPosition reachable{300.0, 50.0, -20.0, 10.0};
  const Case cases[] = {
      {"mode 2, arm 1 with the elbow on the other side", {10, -60, -20, 5}, 2, reachable, 1, 100, 22},
      {"mode 2, arm 0 with the elbow on j2 >= 0", {10, 60, -20, 5}, 2, reachable, 0, 100, 22},
      {"mode 5, target joints across the elbow", {10, 60, -20, 5}, 5, {10, -60, -20, 5}, 1, 100, 22},
      {"start beyond a soft limit", {10, 155, -20, 5}, 2, reachable, 1, 100, 18},
      {"start inside the singularity margin", {10, 2, -20, 5}, 2, reachable, 1, 100, 18},
      {"target out of reach", {10, 60, -20, 5}, 2, {500, 0, -20, 0}, 1, 100, 17},
      {"speed factor 0", {10, 60, -20, 5}, 2, reachable, 1, 0, 26},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    StartAt(c.start);
    gSysParams.armOrientation = c.arm;
    gSysParams.speedFactorRatio = c.speedFactor;
    EXPECT_FALSE(QueueLine(c.mode, static_cast<float>(c.target.x), static_cast<float>(c.target.y),
                           static_cast<float>(c.target.z), static_cast<float>(c.target.r)));
    EXPECT_TRUE(AlarmIsSet(c.alarm));
    EXPECT_EQ(AlarmCount(), 1);
    EXPECT_EQ(gCmdFinishFlag, 1);
    EXPECT_EQ(std::uint32_t{gPreDealDataQueue.count}, 0u);
  }
}

TEST_F(Lines, JointTargetOnTheSameSideRunsAsAStraightLine) {
  StartAt(kStart);
  const JointTheta goal{-20.0, 80.0, -40.0, 30.0};
  ASSERT_TRUE(QueueLine(5, static_cast<float>(goal.j1), static_cast<float>(goal.j2), static_cast<float>(goal.j3),
                        static_cast<float>(goal.j4)));
  const WCSPosition a = PoseOf(kStart);
  const WCSPosition b = PoseOf(goal);
  for (const Sample& s : RunAll()) {
    double f;
    EXPECT_LT(OffSegment(PoseOf(s.joints), a, b, &f), 1e-6);
  }
  EXPECT_NEAR(gRobotAxisMove.nextPos[0], goal.j1, 1e-6);
  EXPECT_NEAR(gRobotAxisMove.nextPos[1], goal.j2, 1e-6);
  EXPECT_NEAR(gRobotAxisMove.nextPos[2], goal.j3, 1e-6);
  EXPECT_NEAR(gRobotAxisMove.nextPos[3], goal.j4, 1e-6);
}

TEST_F(Lines, IncrementIsTakenInTheUserFrame) {
  StartAt(kStart);
  gSysParams.localParams = {1, 100.0f, 50.0f, 0.0f, 90.0f};
  ASSERT_TRUE(QueueLine(7, 10.0f, 0.0f, 0.0f, 0.0f));
  const WCSPosition a = PoseOf(kStart);
  // +10 along the user x axis is +10 along the base y axis.
  const WCSPosition end = PlannedEntry(0)->targetPose;
  EXPECT_NEAR(end.x, a.x, 1e-4);
  EXPECT_NEAR(end.y, a.y + 10.0, 1e-4);
  EXPECT_NEAR(end.r, a.r, 1e-4);
}

// Wide soft limits, so that only the reach of the arm (50..400 mm) decides.
void SetWideLimits() {
  const double limits[9] = {400, 179.9, 200, 720, -400, -179.9, -200, -720, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
}

TEST_F(Lines, AnUnreachableSamplePointRefusesTheLineBeforeAnyMotion) {
  SetWideLimits();
  // Along y = 20 from x = -150 to 150: the fourth tenth (x = -30) lies 36 mm
  // from the axis, inside the hole the arm cannot reach; the third does not.
  StartAt(SolveBase({-150.0, 20.0, -20.0, 0.0}, true));
  EXPECT_FALSE(QueueLine(2, 150.0f, 20.0f, -20.0f, 0.0f));
  EXPECT_TRUE(AlarmIsSet(23));
  EXPECT_EQ(AlarmCount(), 1);
  EXPECT_EQ(std::uint32_t{gPreDealDataQueue.count}, 0u);
}

TEST_F(Lines, LeavingTheReachBetweenSamplePointsFailsInTheRun) {
  SetWideLimits();
  // Along x = 49.9 from y = -54 to 66: every tenth lies 50.26 mm or more from
  // the axis, the stretch around y = 0 closer than 50 mm.
  StartAt(SolveBase({49.9, -54.0, -20.0, 0.0}, true));
  ASSERT_TRUE(QueueLine(2, 49.9f, 66.0f, -20.0f, 0.0f));
  const auto samples = RunAll();
  for (const Sample& s : samples) {
    EXPECT_TRUE(std::isfinite(s.joints.j1) && std::isfinite(s.joints.j2) && std::isfinite(s.joints.j4));
  }
  EXPECT_EQ(AlarmCount(), 1);
  EXPECT_TRUE(AlarmIsSet(32) || AlarmIsSet(33) || AlarmIsSet(34));
  EXPECT_TRUE(logged("MOVL calerror\r\n"));
  EXPECT_EQ(gCmdFinishFlag, 1);
}

}  // namespace
}  // namespace zelor::test
