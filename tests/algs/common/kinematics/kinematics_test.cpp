// Forward and inverse solutions of the arm: round trips, reach tolerance,
// folded arm, checking modes, the reach check's alarm and the Cartesian speed.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "common/kernel/alarms.h"
#include "common/kernel/cycle_timing.h"
#include "common/kinematics/frames.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"
#include "common/kinematics/kinematics_state.h"
#include "common/kernel/sys_params.h"
#include "support/core_standin.h"

namespace {

constexpr double kL1 = 225.0;
constexpr double kL2 = 175.0;
constexpr double kZOffset = 10.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Joint limits: maxima j1..j4, minima j1..j4, singularity margin of |j2|.
constexpr double kLimits[9] = {132, 145, 10, 360, -132, -145, -250, -360, 3};

constexpr JointTheta kUntouched = {7, 7, 7, 7};

class Kinematics : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memcpy(savedMech_, gScaraMechPara, sizeof savedMech_);
    std::memcpy(savedLimits_, gSoftLimitPara, sizeof savedLimits_);
    setArm(kL1, kL2);
    std::memcpy(gSoftLimitPara, kLimits, sizeof kLimits);
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    CycleStartNow();
  }
  void TearDown() override {
    std::memcpy(gScaraMechPara, savedMech_, sizeof savedMech_);
    std::memcpy(gSoftLimitPara, savedLimits_, sizeof savedLimits_);
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
  }
  static void setArm(double l1, double l2) {
    gScaraMechPara[0] = l1;
    gScaraMechPara[1] = l2;
    gScaraMechPara[2] = 20.0;  // screw lead: not read by the kinematics
    gScaraMechPara[3] = kZOffset;
  }
  // Flange pose at distance rho from the joint 1 axis, direction theta (rad).
  static WCSPosition atRadius(double rho, double theta) {
    return {rho * std::cos(theta), rho * std::sin(theta), 0.0, 0.0};
  }
  // Radius at which the inverse solution's c takes the given value.
  static double radiusFor(double c) { return std::sqrt(c * 2 * kL1 * kL2 + kL1 * kL1 + kL2 * kL2); }

  double savedMech_[5]{};
  double savedLimits_[9]{};
  zelor::test::CoreStandIn core_;
};

void expectJoints(const JointTheta& got, const JointTheta& want, double tol) {
  EXPECT_NEAR(got.j1, want.j1, tol);
  EXPECT_NEAR(got.j2, want.j2, tol);
  EXPECT_NEAR(got.j3, want.j3, tol);
  EXPECT_NEAR(got.j4, want.j4, tol);
}

bool sameJoints(const JointTheta& a, const JointTheta& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

tagToolParams tool(float x, float y, float z, float r) { return {9, x, y, z, r}; }

}  // namespace

TEST_F(Kinematics, ForwardThenInverseReturnsTheJointsForBothElbows) {
  struct Case {
    JointTheta joints;
  };
  const Case table[] = {
      {{0, 90, -50, 0}},    {{30, -60, -100, 45}}, {{-120, 140, 5, -300}},
      {{90, -5, -250, 10}}, {{-45, 3.5, 0, 359}},  {{131, -144, -1, -359}},
  };
  for (const Case& c : table) {
    WCSPosition pose;
    W7ForwardCal(&c.joints, &pose);
    JointTheta back = kUntouched;
    ASSERT_EQ(W7InverseCal(&pose, c.joints.j2 >= 0, &back, kCheckAllJoints), kKinOk)
        << "joints " << c.joints.j1 << " " << c.joints.j2;
    expectJoints(back, c.joints, 1e-9);
  }
}

TEST_F(Kinematics, SeededRandomJointsRoundTripWithToolAndUserFrame) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> j1(-130, 130), j2mag(4, 143), j3(-249, 9), j4(-359, 359);
  std::uniform_real_distribution<double> off(-80, 80), ang(-180, 180);
  for (int i = 0; i < 2000; ++i) {
    const bool elbow = (i & 1) != 0;
    const JointTheta start = {j1(rng), elbow ? j2mag(rng) : -j2mag(rng), j3(rng), j4(rng)};

    WCSPosition flange;
    W7ForwardCal(&start, &flange);
    JointTheta back = kUntouched;
    ASSERT_EQ(W7InverseCal(&flange, elbow, &back, kCheckAllJoints), kKinOk) << "seed case " << i;
    expectJoints(back, start, 1e-9);
    if (elbow)
      EXPECT_GE(back.j2, 0.0);
    else
      EXPECT_LE(back.j2, 0.0);

    // The other elbow reaches the same flange pose.
    JointTheta other = kUntouched;
    const int code = W7InverseCal(&flange, !elbow, &other, kCheckWithoutJ4);
    if (code == kKinOk) {
      WCSPosition again;
      W7ForwardCal(&other, &again);
      EXPECT_NEAR(again.x, flange.x, 1e-9);
      EXPECT_NEAR(again.y, flange.y, 1e-9);
      EXPECT_NEAR(again.z, flange.z, 1e-9);
      EXPECT_NEAR(again.r, flange.r, 1e-9);
    }

    const tagToolParams t = tool(static_cast<float>(off(rng)), static_cast<float>(off(rng)),
                                 static_cast<float>(off(rng)), static_cast<float>(ang(rng)));
    const tagLocalParams user = {3, static_cast<float>(off(rng)), static_cast<float>(off(rng)),
                                 static_cast<float>(off(rng)), static_cast<float>(ang(rng))};
    WCSPosition inUser;
    ForwardCal(start, &inUser, t, user);
    JointTheta viaFrames = kUntouched;
    ASSERT_EQ(InverseCal(&inUser, elbow, &viaFrames, kCheckAllJoints, &t, &user), kKinOk) << "seed case " << i;
    expectJoints(viaFrames, start, 1e-9);
  }
}

TEST_F(Kinematics, ForwardUsesTheFramesInForceAndTheBaseVariantTheGivenTool) {
  const JointTheta joints = {20, 40, -30, 15};
  gToolParams = tool(30, 40, 5, 77);
  gLocalParams = {1, 100, -20, 3, 30};
  WCSPosition current, given;
  ForwardCal(&joints, &current);
  ForwardCal(joints, &given, gToolParams, gLocalParams);
  EXPECT_EQ(std::memcmp(&current, &given, sizeof current), 0);

  tagGPose g{};
  g.pose = {1e9, 1e9, 1e9, 1e9};  // neither the Cartesian part nor the record's frames are read
  g.toolParams = {0, 500, 500, 500, 0};
  g.localParams = {0, 500, 500, 500, 90};
  g.joint = joints;
  WCSPosition base;
  ForwardCalBase(&g, &base, &gToolParams);
  WCSPosition local = base;
  CalCordToLocal(&local, &local, &gLocalParams);
  EXPECT_NEAR(local.x, current.x, 1e-9);
  EXPECT_NEAR(local.y, current.y, 1e-9);
  EXPECT_NEAR(local.z, current.z, 1e-9);
  EXPECT_NEAR(local.r, current.r, 1e-9);
  gToolParams = {};
  gLocalParams = {};
}

TEST_F(Kinematics, ZeroJointsGiveTheStretchedArmAlongX) {
  const JointTheta zero = {0, 0, 0, 0};
  WCSPosition pose;
  W7ForwardCal(&zero, &pose);
  EXPECT_DOUBLE_EQ(pose.x, kL1 + kL2);
  EXPECT_DOUBLE_EQ(pose.y, 0.0);
  EXPECT_DOUBLE_EQ(pose.z, kZOffset);
  EXPECT_DOUBLE_EQ(pose.r, 0.0);
}

TEST_F(Kinematics, ForwardDoesNotWrapR) {
  const JointTheta joints = {100, 120, 0, 300};
  WCSPosition pose;
  W7ForwardCal(&joints, &pose);
  EXPECT_NEAR(pose.r, 520.0, 1e-9);
}

TEST_F(Kinematics, ReachToleranceAtTheOuterBoundary) {
  const double theta = 0.7;
  const double j1 = std::atan2(std::sin(theta), std::cos(theta)) * kRadToDeg;
  struct Case {
    double c;
    int code;
  };
  const Case table[] = {{1.0005, kKinOk}, {1.0009, kKinOk}, {1.0011, kKinOutOfReach}, {1.5, kKinOutOfReach}};
  for (const Case& c : table) {
    WCSPosition p = atRadius(radiusFor(c.c), theta);
    p.z = kZOffset - 20;
    p.r = 50;
    JointTheta out = kUntouched;
    ASSERT_EQ(W7InverseCal(&p, true, &out, kCheckAllJoints), c.code) << "c = " << c.c;
    if (c.code == kKinOk) {
      EXPECT_EQ(out.j2, 0.0) << "stretched arm at c = " << c.c;
      EXPECT_NEAR(out.j1, j1, 1e-9);
      EXPECT_NEAR(out.j3, -20.0, 1e-12);
      EXPECT_NEAR(out.j4, 50.0 - out.j1, 1e-9);
    } else {
      EXPECT_TRUE(sameJoints(out, kUntouched)) << "joints written although out of reach at c = " << c.c;
    }
  }
}

TEST_F(Kinematics, ExactlyStretchedPointSolvesWithZeroElbow) {
  // x² + y² = (L1 + L2)² exactly, so c = 1 exactly.
  const WCSPosition p = {0.0, kL1 + kL2, kZOffset, 0.0};
  for (bool arm : {true, false}) {
    JointTheta out = kUntouched;
    ASSERT_EQ(W7InverseCal(&p, arm, &out, kCheckAllJoints), kKinOk);
    EXPECT_EQ(out.j2, 0.0);
    EXPECT_DOUBLE_EQ(out.j1, std::atan2(p.y, p.x) * kRadToDeg);
  }
}

TEST_F(Kinematics, MissingArmLengthsAreOutOfReachWithJointsUntouched) {
  const WCSPosition p = {300, 100, 0, 0};
  const WCSPosition origin = {0, 0, 0, 0};
  struct Case {
    double l1, l2;
    WCSPosition pose;
  };
  const Case table[] = {{0, 0, p}, {0, 0, origin}, {kNaN, kNaN, p}, {kL1, kNaN, p}};
  for (const Case& c : table) {
    setArm(c.l1, c.l2);
    JointTheta out = kUntouched;
    EXPECT_EQ(W7InverseCal(&c.pose, true, &out, kCheckAllJoints), kKinOutOfReach);
    EXPECT_TRUE(sameJoints(out, kUntouched));
  }
}

TEST_F(Kinematics, PointNearTheInnerBoundaryFoldsTheArmInsteadOfStretchingIt) {
  gSoftLimitPara[0] = 180;
  gSoftLimitPara[4] = -180;
  gSoftLimitPara[1] = 180;  // let the elbow fold fully
  gSoftLimitPara[5] = -180;
  const double theta = -2.1;
  const double cs[] = {-1.0, -1.0005};
  for (double c : cs) {
    const WCSPosition p = atRadius(c == -1.0 ? kL1 - kL2 : radiusFor(c), theta);
    for (bool arm : {true, false}) {
      JointTheta out = kUntouched;
      ASSERT_EQ(W7InverseCal(&p, arm, &out, kCheckAllJoints), kKinOk) << "c = " << c;
      EXPECT_EQ(out.j2, arm ? 180.0 : -180.0);
      EXPECT_NEAR(out.j1 * kDegToRad, theta, 1e-6);
      WCSPosition reached;
      W7ForwardCal(&out, &reached);
      EXPECT_NEAR(std::hypot(reached.x - p.x, reached.y - p.y), 0.0, 0.5) << "arm sent elsewhere at c = " << c;
    }
  }
  // With the usual elbow limits the folded arm is refused.
  gSoftLimitPara[1] = 145;
  gSoftLimitPara[5] = -145;
  const WCSPosition p = atRadius(kL1 - kL2, 0.3);
  JointTheta out = kUntouched;
  EXPECT_EQ(W7InverseCal(&p, true, &out, kCheckAllJoints), kKinSoftLimit);
  EXPECT_EQ(out.j2, 180.0);
}

TEST_F(Kinematics, FoldedArmWithTheShorterInnerArmPointsAway) {
  setArm(150, 250);
  gSoftLimitPara[1] = 180;
  gSoftLimitPara[5] = -180;
  gSoftLimitPara[0] = 180;
  gSoftLimitPara[4] = -180;
  const WCSPosition p = atRadius(100, 0.4);
  JointTheta out = kUntouched;
  ASSERT_EQ(W7InverseCal(&p, false, &out, kCheckAllJoints), kKinOk);
  EXPECT_EQ(out.j2, -180.0);
  WCSPosition reached;
  W7ForwardCal(&out, &reached);
  EXPECT_NEAR(reached.x, p.x, 1e-4);
  EXPECT_NEAR(reached.y, p.y, 1e-4);
}

TEST_F(Kinematics, CheckingModesDecideTheCode) {
  struct Case {
    const char* what;
    JointTheta joints;
    int mode;
    int code;
  };
  const Case table[] = {
      {"elbow inside the singularity margin, mode 1", {10, 2, -50, 0}, kCheckSingularity, kKinSingular},
      {"same point, mode 0", {10, 2, -50, 0}, kCheckAllJoints, kKinOk},
      {"singular is decided before a joint 4 beyond its limit", {10, -2, -50, 400}, kCheckSingularity, kKinSingular},
      {"joint 4 beyond its limit, mode 0", {10, 60, -50, 400}, kCheckAllJoints, kKinSoftLimit},
      {"joint 4 beyond its limit, mode 2", {10, 60, -50, 400}, kCheckWithoutJ4, kKinOk},
      {"joint 4 beyond its limit, mode 1", {10, 60, -50, -400}, kCheckSingularity, kKinSoftLimit},
      {"joint 3 exactly on its lower limit", {10, 60, -250, 0}, kCheckAllJoints, kKinOk},
      {"joint 3 exactly on its upper limit", {10, 60, 10, 0}, kCheckAllJoints, kKinOk},
      {"joint 3 below its lower limit", {10, 60, -250.5, 0}, kCheckWithoutJ4, kKinSoftLimit},
      {"joint 1 beyond its limit", {140, 60, -50, 0}, kCheckAllJoints, kKinSoftLimit},
      {"joint 2 beyond its limit", {10, -150, -50, 0}, kCheckAllJoints, kKinSoftLimit},
  };
  for (const Case& c : table) {
    WCSPosition p;
    W7ForwardCal(&c.joints, &p);
    JointTheta out = kUntouched;
    EXPECT_EQ(W7InverseCal(&p, c.joints.j2 >= 0, &out, c.mode), c.code) << c.what;
    // The solution is written also when a limit refuses it.
    expectJoints(out, c.joints, 1e-9);
  }
}

TEST_F(Kinematics, PoseThatIsNotANumberNeverPassesAsSolved) {
  const JointTheta joints = {10, 60, -50, 0};
  WCSPosition p;
  W7ForwardCal(&joints, &p);
  for (int mode : {kCheckAllJoints, kCheckSingularity, kCheckWithoutJ4}) {
    WCSPosition badZ = p, badR = p;
    badZ.z = kNaN;
    badR.r = kNaN;
    JointTheta out;
    EXPECT_EQ(W7InverseCal(&badZ, true, &out, mode), kKinSoftLimit) << "mode " << mode;
    EXPECT_EQ(W7InverseCal(&badR, true, &out, mode), kKinSoftLimit) << "mode " << mode;
  }
}

TEST_F(Kinematics, PointCheckRaisesTheCodeAsAlarmEveryTime) {
  const tagToolParams t = tool(20, 0, 0, 0);
  const WCSPosition far = {900, 0, 0, 0};
  JointTheta out = kUntouched;
  EXPECT_EQ(PointCheck(&far, &out, true, kCheckAllJoints, &t), 1);
  EXPECT_TRUE(AlarmIsSet(17));
  EXPECT_EQ(PointCheck(&far, &out, true, kCheckAllJoints, &t), 1);
  ASSERT_EQ(core_.logs.size(), 2u);
  EXPECT_EQ(core_.logs[0], "AlarmSysSetBit(index=17,isOn=1) executed \r\n");
  EXPECT_TRUE(sameJoints(out, kUntouched));

  const JointTheta joints = {10, 60, -50, 400};
  tagGPose g{};
  g.joint = joints;
  WCSPosition tip;
  ForwardCalBase(&g, &tip, &t);
  EXPECT_EQ(PointCheck(&tip, &out, true, kCheckAllJoints, &t), 1);
  EXPECT_TRUE(AlarmIsSet(18));
  EXPECT_EQ(core_.logs.back(), "AlarmSysSetBit(index=18,isOn=1) executed \r\n");

  core_.logs.clear();
  std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
  EXPECT_EQ(PointCheck(&tip, &out, true, kCheckWithoutJ4, &t), 0);
  expectJoints(out, joints, 1e-9);
  EXPECT_TRUE(core_.logs.empty());
  for (std::uint8_t b : gAlarmSysState) EXPECT_EQ(b, 0);
}

TEST_F(Kinematics, CartesianSpeedMatchesTheMotionOfTheToolTip) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> j(-120, 120), q(-90, 90), t(-60, 60);
  for (int i = 0; i < 200; ++i) {
    const JointTheta joints = {j(rng), j(rng), -50, j(rng)};
    const double speeds[4] = {q(rng), q(rng), q(rng), q(rng)};
    const tagToolParams tl = tool(static_cast<float>(t(rng)), static_cast<float>(t(rng)), 0, 0);
    const double h = 1e-6;
    auto tipAt = [&](double s) {
      const JointTheta js = {joints.j1 + s * speeds[0], joints.j2 + s * speeds[1], joints.j3 + s * speeds[2],
                             joints.j4 + s * speeds[3]};
      tagGPose g{};
      g.joint = js;
      WCSPosition p;
      ForwardCalBase(&g, &p, &tl);
      return p;
    };
    const WCSPosition a = tipAt(-h), b = tipAt(h);
    const double expected = std::sqrt(std::pow((b.x - a.x) / (2 * h), 2) + std::pow((b.y - a.y) / (2 * h), 2) +
                                      std::pow((b.z - a.z) / (2 * h), 2));
    EXPECT_NEAR(JacobiForwardCal(&joints, speeds, &tl), expected, 1e-4 * (1 + expected)) << "case " << i;
  }
}

TEST_F(Kinematics, CartesianSpeedOfTheKernelUsesItsCurrentJointsAndTool) {
  const JointTheta joints = {30, -70, -20, 45};
  const double speeds[4] = {10, -25, 4, 60};
  JointTheta saved;
  std::memcpy(&saved, &gSysParams.joint, sizeof saved);
  std::memcpy(&gSysParams.joint, &joints, sizeof joints);
  gToolParams = tool(25, -15, 0, 0);
  const tagToolParams given = gToolParams;
  EXPECT_DOUBLE_EQ(JacobiForwardCal(speeds), JacobiForwardCal(&joints, speeds, &given));
  std::memcpy(&gSysParams.joint, &saved, sizeof saved);
  gToolParams = {};
}
