// Torque bounds at set-up and the dynamic path acceleration limits.
#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/kernel_log_capture.h"
#include "Dynamics/dynamic_optimal.h"
#include "Dynamics/scara_chain.h"
#include "Dynamics/scara_jacobian.h"
#include "Dynamics/scara_torque.h"
#include "PTP/path/path.h"
#include "common/kernel/kernel_state.h"
#include "json/parameter_globals.h"

namespace {

namespace ds = dyn_slot;
namespace ps = path_slot;

// Kernel log capture on the 225/175 mm arm with a 20 mm lead.
class DynOpt : public KernelLogCapture {
 protected:
  void SetUp() override {
    KernelLogCapture::SetUp();
    for (int i = 0; i < 3; ++i) savedMech_[i] = gScaraMechPara[i];
    savedDyn_ = m_st_basicdynamicparams6;
    gScaraMechPara[0] = 225.0;
    gScaraMechPara[1] = 175.0;
    gScaraMechPara[2] = 20.0;
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) gScaraMechPara[i] = savedMech_[i];
    m_st_basicdynamicparams6 = savedDyn_;
    KernelLogCapture::TearDown();
  }

 private:
  double savedMech_[3] = {};
  st_basicdynamicparams6 savedDyn_{};
};

PathInfo jointPath(const double (&start)[4], const double (&change)[4]) {
  PathInfo p = {};
  p.kind = kPathJoint;
  for (int j = 0; j < 4; ++j) {
    p.para[ps::kJointStart + j] = start[j];
    p.para[ps::kJointChange + j] = change[j];
  }
  return p;
}

// A line in metres with r in radians, as the planners build it for this use.
PathInfo linePath(const double (&from)[4], const double (&to)[4]) {
  MotionCmd cmd = {};
  cmd.kind = kPathLine;
  for (int k = 0; k < 4; ++k) {
    cmd.start[k] = from[k];
    cmd.end[k] = to[k];
    cmd.linear[k] = 1.0;
    cmd.rotation[k] = 1.0;
  }
  PathInfo p = {};
  getPath(cmd, p);
  return p;
}

DynPara payload(double mass, double inertia) {
  DynPara P = {};
  P.para[ds::kPayloadMass] = mass;
  P.para[ds::kPayloadInertia] = inertia;
  return P;
}

TEST_F(DynOpt, InitTakesTheTorqueLimitsAndTurnsJointThreeIntoAForce) {
  for (double& v : dynParam.para) v = 3.0;
  m_st_basicdynamicparams6.torqueLimit[0] = 10.0f;
  m_st_basicdynamicparams6.torqueLimit[1] = 8.0f;
  m_st_basicdynamicparams6.torqueLimit[2] = 1.0f;
  m_st_basicdynamicparams6.torqueLimit[3] = 2.0f;
  InitDynParam();
  const double want[4] = {10.0, 8.0, 314.1592741012573, 2.0};
  for (int j = 0; j < 4; ++j) {
    EXPECT_DOUBLE_EQ(torMax[j], want[j]) << "joint " << j + 1;
    EXPECT_EQ(torMin[j], -torMax[j]) << "joint " << j + 1;
  }
  for (double v : dynParam.para) ASSERT_EQ(v, 0.0);
  EXPECT_TRUE(lines().empty());
}

TEST_F(DynOpt, InitWithoutAScrewLeadLeavesJointThreeUnboundedAndSaysSo) {
  m_st_basicdynamicparams6.torqueLimit[2] = 0.0f;
  gScaraMechPara[2] = 0.0;
  InitDynParam();
  EXPECT_EQ(torMax[2], kNoDynamicBound);
  EXPECT_EQ(torMin[2], -kNoDynamicBound);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NE(lines()[0].find("screw lead"), std::string::npos) << lines()[0];
}

TEST(PathMaxAcc, BoundsFromEachJointsCoefficients) {
  struct Case {
    const char* what;
    double a[4], d[4];
    double ud;
    double wantAcc, wantDec;
  } const cases[] = {
      {"one joint, a = 2, r = 4", {2, 0, 0, 0}, {4, 0, 0, 0}, 0.0, 3.0, -7.0},
      {"negative a swaps the bounds", {-2, 0, 0, 0}, {4, 0, 0, 0}, 0.0, 7.0, -3.0},
      {"no joint affected", {0, 0, 0, 0}, {4, 4, 4, 4}, 1.0, 1e10, -1e10},
      {"NaN a imposes nothing", {NAN, 0, 0, 2}, {0, 0, 0, 0}, 0.0, 5.0, -5.0},
      {"the tightest joint wins", {1, 4, 0, 0}, {0, 0, 0, 0}, 0.0, 2.5, -2.5},
      {"a torque that cannot hold the speed", {1, 0, 0, 0}, {20, 0, 0, 0}, 0.0, -10.0, -30.0},
  };
  double tauMax[4] = {10, 10, 10, 10};
  double tauMin[4] = {-10, -10, -10, -10};
  for (const Case& c : cases) {
    double a[4], b[4] = {}, cc[4] = {}, d[4];
    for (int j = 0; j < 4; ++j) {
      a[j] = c.a[j];
      d[j] = c.d[j];
    }
    EXPECT_DOUBLE_EQ(calcPathMaxAcc(c.ud, a, b, cc, d, tauMax, tauMin, true), c.wantAcc) << c.what;
    EXPECT_DOUBLE_EQ(calcPathMaxAcc(c.ud, a, b, cc, d, tauMax, tauMin, false), c.wantDec) << c.what;
  }
}

TEST(PathMaxAcc, SpeedTermsEnterAsCUdPlusBUdSquared) {
  double a[4] = {1, 0, 0, 0}, b[4] = {0.5, 0, 0, 0}, c[4] = {2, 0, 0, 0}, d[4] = {1, 0, 0, 0};
  double tauMax[4] = {20, 1, 1, 1};
  double tauMin[4] = {-20, -1, -1, -1};
  // r = 2·2 + 0.5·4 + 1 = 7
  EXPECT_DOUBLE_EQ(calcPathMaxAcc(2.0, a, b, c, d, tauMax, tauMin, true), 13.0);
  EXPECT_DOUBLE_EQ(calcPathMaxAcc(2.0, a, b, c, d, tauMax, tauMin, false), -27.0);
}

TEST_F(DynOpt, JointPathWorkedCases) {
  struct Case {
    const char* what;
    DynPara P;
    double ud;
    double tauMax[4];
    double wantAcc, wantDec;
  };
  DynPara inertia = {};
  inertia.para[ds::link(1, ds::kZZ)] = 2.0;
  inertia.para[ds::link(1, ds::kFV)] = 4.0;
  const Case cases[] = {
      {"payload only: joint 1 at M11 = 0.32", payload(2.0, 0.0), 0.0, {10, 10, 300, 5}, 31.25, 31.25},
      {"a = 2 and r = 4 on joint 1", inertia, 1.0, {10, 10, 10, 10}, 3.0, 7.0},
  };
  for (const Case& c : cases) {
    double tMax[4], tMin[4];
    for (int j = 0; j < 4; ++j) {
      tMax[j] = c.tauMax[j];
      tMin[j] = -c.tauMax[j];
    }
    const PathInfo path = jointPath({0, 0, 0, 0}, {1, 0, 0, 0});
    double acc = -1;
    double dec = -1;
    DynamicOptimal(0.3, c.ud, true, path, c.P, tMax, tMin, acc);
    DynamicOptimal(0.3, c.ud, false, path, c.P, tMax, tMin, dec);
    EXPECT_NEAR(acc, c.wantAcc, 1e-12) << c.what;
    EXPECT_NEAR(dec, c.wantDec, 1e-12) << c.what;
  }
  EXPECT_TRUE(lines().empty());
}

TEST_F(DynOpt, NoLoadNoBound) {
  double tMax[4] = {10, 10, 300, 5};
  double tMin[4] = {-10, -10, -300, -5};
  for (const PathInfo& path : {jointPath({0.1, 0.5, 0, 0}, {1, -1, 0.05, 2}),
                               linePath({0.3, 0.0, -0.05, 0}, {0.1, 0.25, -0.1, 1})}) {
    for (bool isAcc : {true, false}) {
      double limit = 0;
      DynamicOptimal(0.5, 0.7, isAcc, path, payload(0.0, 0.0), tMax, tMin, limit);
      EXPECT_EQ(limit, kNoDynamicBound) << "kind " << path.kind << (isAcc ? " acc" : " dec");
    }
  }
}

// At the returned acceleration the torque of the binding joint sits on its
// bound and no joint leaves its bounds.
TEST_F(DynOpt, LineLimitPutsTheBindingJointOnItsBound) {
  std::mt19937 rng(1331);
  std::uniform_real_distribution<double> coord(-0.25, 0.25);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int checked = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const double from[4] = {0.1 + coord(rng), coord(rng), -0.05, coord(rng)};
    const double to[4] = {0.1 + coord(rng), coord(rng), -0.1, coord(rng)};
    const PathInfo path = linePath(from, to);
    const double u = unit(rng);
    const double ud = 0.5 * unit(rng);
    double pos[6];
    getPos(path, u, pos);
    double q[6];
    if (ikineScara(pos, q, 0) != 1 || std::hypot(pos[0], pos[1]) < 0.1) continue;
    // Stay clear of the stretched arm, where J4 turns singular.
    if (std::fabs(std::sin(q[1])) < 0.2) continue;
    ++checked;

    const DynPara P = payload(2.0 + unit(rng), 0.01);
    double tMax[4] = {10, 8, 300, 2};
    double tMin[4] = {-10, -8, -300, -2};
    for (bool isAcc : {true, false}) {
      double limit = 0;
      DynamicOptimal(u, ud, isAcc, path, P, tMax, tMin, limit);
      ASSERT_GT(limit, 0.0);
      ASSERT_LT(limit, kNoDynamicBound);

      double t[6], c[6], A[6], B[6];
      getTangent(u, t, path);
      getCurvature(u, c, path);
      t[5] = t[3];
      calcAB_SCARA(q, t, c, A, B);
      double a[4], b[4], cc[4], d[4];
      calcDynCoef(q, A, B, a, b, cc, d, P);
      const double udd = isAcc ? limit : -limit;
      bool onBound = false;
      for (int j = 0; j < 4; ++j) {
        const double tau = a[j] * udd + b[j] * ud * ud + cc[j] * ud + d[j];
        ASSERT_LE(tau, tMax[j] * (1 + 1e-9)) << "trial " << trial << " joint " << j + 1;
        ASSERT_GE(tau, tMin[j] * (1 + 1e-9)) << "trial " << trial << " joint " << j + 1;
        onBound = onBound || std::fabs(tau - tMax[j]) < 1e-9 * tMax[j] || std::fabs(tau - tMin[j]) < 1e-9 * tMax[j];
      }
      EXPECT_TRUE(onBound) << "trial " << trial << (isAcc ? " acc" : " dec");
    }
  }
  EXPECT_GT(checked, 50);
}

// A pure rotation of the tool on a line of zero length: only joint 4 moves,
// and its 2 N·m bound is the tightest (IL·ü·Δr <= 2 N·m).
TEST_F(DynOpt, ToolRotationOfTheLineReachesJointFour) {
  const PathInfo path = linePath({0.3, 0.1, -0.05, 0.0}, {0.3, 0.1, -0.05, 0.5});
  double tMax[4] = {10, 10, 300, 2};
  double tMin[4] = {-10, -10, -300, -2};
  double limit = 0;
  DynamicOptimal(0.5, 0.0, true, path, payload(0.0, 0.01), tMax, tMin, limit);
  EXPECT_NEAR(limit, 2.0 / (0.01 * 0.5), 1e-6);
}

TEST_F(DynOpt, UnreachablePointsAndUnknownKindsGiveNoBoundWithOneLine) {
  double tMax[4] = {10, 10, 300, 5};
  double tMin[4] = {-10, -10, -300, -5};
  struct Case {
    const char* what;
    PathInfo path;
    const char* logged;
  };
  PathInfo none = {};
  PathInfo odd = {};
  odd.kind = 7;
  const Case cases[] = {
      {"line beyond the reach", linePath({0.3, 0.0, 0, 0}, {0.6, 0.0, 0, 0}), "out of reach"},
      {"line given in millimetres", linePath({300, 100, 0, 0}, {250, 0, 0, 0}), "out of reach"},
      {"empty kind", none, "path kind 0"},
      {"unknown kind", odd, "path kind 7"},
  };
  for (const Case& c : cases) {
    lines().clear();
    double limit = -1;
    DynamicOptimal(0.9, 0.5, true, c.path, payload(2.0, 0.01), tMax, tMin, limit);
    EXPECT_EQ(limit, kNoDynamicBound) << c.what;
    ASSERT_EQ(lines().size(), 1u) << c.what;
    EXPECT_NE(lines()[0].find(c.logged), std::string::npos) << c.what << ": " << lines()[0];
  }
}

}  // namespace
