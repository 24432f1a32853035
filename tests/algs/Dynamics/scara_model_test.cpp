// Rigid-body model: smoothed sign, inertia matrix, Coriolis terms, friction, gravity.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "Dynamics/scara_jacobian.h"
#include "Dynamics/scara_model.h"
#include "arm_fixture.h"

namespace {

namespace ds = dyn_slot;
constexpr double kPi = 3.141592653589793;

TEST(SignModified, SaturatesOutsideTheBandAndScalesInside) {
  struct Case {
    float x, eps;
    double want;
  } const cases[] = {
      {0.05f, 0.1f, 0.5}, {0.2f, 0.1f, 1.0},   {-0.2f, 0.1f, -1.0},    {0.0f, 0.1f, 0.0},
      {-0.005f, 0.01f, -0.5}, {0.1f, 0.1f, 1.0}, {0.02f, 0.01f, 1.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(SignModified(c.x, c.eps), c.want, 1e-6) << "SignModified(" << c.x << ", " << c.eps << ")";
  }
}

using MassMatrix = ArmFixture;

TEST_F(MassMatrix, PayloadAloneAtZeroGivesTheWorkedEntries) {
  struct Case {
    double inertia, m11, m12, m22, m44;
  } const cases[] = {{0.01, 0.33, 0.15, 0.07125, 0.01}, {0.0, 0.32, 0.14, 0.06125, 0.0}};
  for (const Case& c : cases) {
    double q[4] = {};
    double M[4][4];
    MassInertiaMatrix(q, M, payloadOnly(2.0, c.inertia));
    EXPECT_NEAR(M[0][0], c.m11, 1e-12) << "IL " << c.inertia;
    EXPECT_NEAR(M[0][1], c.m12, 1e-12) << "IL " << c.inertia;
    EXPECT_NEAR(M[1][1], c.m22, 1e-12) << "IL " << c.inertia;
    EXPECT_NEAR(M[2][2], 2.0, 1e-12) << "IL " << c.inertia;
    EXPECT_NEAR(M[3][3], c.m44, 1e-12) << "IL " << c.inertia;
    EXPECT_NEAR(M[0][3], c.m44, 1e-12) << "IL " << c.inertia;
    EXPECT_NEAR(M[1][3], c.m44, 1e-12) << "IL " << c.inertia;
  }
}

// A point mass with an inertia about the vertical has M = J4ᵀ·diag(m, m, m, I)·J4.
TEST_F(MassMatrix, PayloadAloneMatchesTheJacobianOfItsPoint) {
  std::mt19937 rng(1301);
  for (int trial = 0; trial < 50; ++trial) {
    double q[4];
    randomJoints(rng, q);
    const double mass = 1.0 + trial * 0.1;
    const double inertia = 0.002 * (trial + 1);
    double M[4][4];
    MassInertiaMatrix(q, M, payloadOnly(mass, inertia));
    double J[4][4];
    double Jd[4][4];
    double qd[4] = {};
    Jacobdot_SCARA(q, qd, J, Jd, nullptr);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        const double want =
            mass * (J[0][i] * J[0][j] + J[1][i] * J[1][j] + J[2][i] * J[2][j]) + inertia * J[3][i] * J[3][j];
        ASSERT_NEAR(M[i][j], want, 1e-12) << "seed trial " << trial << " entry " << i << "," << j;
      }
    }
  }
}

// Cholesky without pivoting succeeds exactly for symmetric positive definite matrices.
bool positiveDefinite(double (*M)[4]) {
  double L[4][4] = {};
  for (int j = 0; j < 4; ++j) {
    double s = M[j][j];
    for (int k = 0; k < j; ++k) s -= L[j][k] * L[j][k];
    if (!(s > 0.0)) return false;
    L[j][j] = std::sqrt(s);
    for (int i = j + 1; i < 4; ++i) {
      double t = M[i][j];
      for (int k = 0; k < j; ++k) t -= L[i][k] * L[j][k];
      L[i][j] = t / L[j][j];
    }
  }
  return true;
}

TEST_F(MassMatrix, IsSymmetricPositiveDefiniteWithTheDecoupledVerticalAxis) {
  std::mt19937 rng(1302);
  for (int trial = 0; trial < 200; ++trial) {
    const DynPara P = randomArm(rng);
    double q[4];
    randomJoints(rng, q);
    double M[4][4];
    MassInertiaMatrix(q, M, P);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < i; ++j) ASSERT_EQ(M[i][j], M[j][i]) << "trial " << trial << " entry " << i << "," << j;
    }
    EXPECT_EQ(M[0][2], 0.0);
    EXPECT_EQ(M[1][2], 0.0);
    EXPECT_EQ(M[2][3], 0.0);
    const double* p = P.para;
    const double lifted = p[ds::link(3, ds::kM)] + p[ds::link(4, ds::kM)] + p[ds::kPayloadMass];
    EXPECT_NEAR(M[2][2], p[ds::link(3, ds::kIA)] + lifted, 1e-12);
    ASSERT_TRUE(positiveDefinite(M)) << "trial " << trial;
  }
}

using Coriolis = ArmFixture;

TEST_F(Coriolis, PayloadAtRightAngleElbowGivesTheWorkedTorque) {
  double q[4] = {0.0, kPi / 2, 0.0, 0.0};
  double qd[4] = {1.0, 0.0, 0.0, 0.0};
  double h[4];
  CenCorMatrix(q, qd, h, payloadOnly(2.0, 0.01));
  EXPECT_NEAR(h[0], 0.0, 1e-12);
  EXPECT_NEAR(h[1], 0.07875, 1e-12);
  EXPECT_NEAR(h[2], 0.0, 1e-12);
  EXPECT_NEAR(h[3], 0.0, 1e-12);
}

// h = Ṁ·q̇ - ½·∂(q̇ᵀMq̇)/∂q, both sides from central differences of M alone.
TEST_F(Coriolis, MatchesFiniteDifferencesOfTheInertiaMatrix) {
  std::mt19937 rng(1303);
  constexpr double eps = 1e-6;
  for (int trial = 0; trial < 100; ++trial) {
    const DynPara P = randomArm(rng);
    double q[4];
    double qd[4];
    randomJoints(rng, q);
    randomRates(rng, qd, 3.0);

    auto massAt = [&](const double* dq, double s, double (*M)[4]) {
      double x[4];
      for (int j = 0; j < 4; ++j) x[j] = q[j] + s * dq[j];
      MassInertiaMatrix(x, M, P);
    };
    auto energy2 = [&](double (*M)[4]) {
      double e = 0.0;
      for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) e += qd[i] * M[i][j] * qd[j];
      }
      return e;
    };
    double Mp[4][4];
    double Mm[4][4];
    massAt(qd, eps, Mp);
    massAt(qd, -eps, Mm);
    double want[4];
    for (int i = 0; i < 4; ++i) {
      want[i] = 0.0;
      for (int j = 0; j < 4; ++j) want[i] += (Mp[i][j] - Mm[i][j]) / (2 * eps) * qd[j];
    }
    for (int i = 0; i < 4; ++i) {
      double unit[4] = {};
      unit[i] = 1.0;
      massAt(unit, eps, Mp);
      massAt(unit, -eps, Mm);
      want[i] -= 0.5 * (energy2(Mp) - energy2(Mm)) / (2 * eps);
    }
    double h[4];
    CenCorMatrix(q, qd, h, P);
    for (int i = 0; i < 4; ++i) ASSERT_NEAR(h[i], want[i], 1e-6) << "trial " << trial << " joint " << i + 1;
    EXPECT_EQ(h[2], 0.0);
  }
}

TEST_F(Coriolis, RotorInertiasPlayNoPart) {
  std::mt19937 rng(1304);
  DynPara P = randomArm(rng);
  double q[4] = {0.3, -1.1, -0.05, 0.7};
  double qd[4] = {1.5, -2.0, 0.1, 3.0};
  double h1[4];
  double h2[4];
  CenCorMatrix(q, qd, h1, P);
  for (int j = 1; j <= 4; ++j) P.para[ds::link(j, ds::kIA)] += 5.0;
  CenCorMatrix(q, qd, h2, P);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(h1[i], h2[i]) << "joint " << i + 1;
}

TEST(FrictionAndGravity, FrictionUsesEachJointsDeadBand) {
  DynPara P = {};
  for (int j = 1; j <= 4; ++j) {
    P.para[ds::link(j, ds::kFV)] = 2.0 * j;
    P.para[ds::link(j, ds::kFS)] = 10.0 * j;
  }
  // 0.05 lies inside the band of joints 1, 2 and 4 but outside joint 3's.
  double qd[4] = {0.05, -0.5, 0.05, -0.05};
  double fv[4];
  double fc[4];
  Friction(qd, P, fv, fc);
  const double wantFv[4] = {0.1, -2.0, 0.3, -0.4};
  const double wantFc[4] = {5.0, -20.0, 30.0, -20.0};
  for (int j = 0; j < 4; ++j) {
    EXPECT_NEAR(fv[j], wantFv[j], 1e-12) << "joint " << j + 1;
    EXPECT_NEAR(fc[j], wantFc[j], 1e-5) << "joint " << j + 1;
  }
}

TEST(FrictionAndGravity, OnlyTheVerticalAxisCarriesTheLoadOfLinks3And4AndThePayload) {
  DynPara P = {};
  P.para[ds::link(1, ds::kM)] = 7.0;
  P.para[ds::link(2, ds::kM)] = 5.0;
  double g[4] = {-1, -1, -1, -1};
  Gravity(g, P);
  for (double v : g) EXPECT_EQ(v, 0.0) << "links 1 and 2 hang on the base";

  P = payloadOnly(2.0, 0.01);
  Gravity(g, P);
  EXPECT_NEAR(g[2], 19.6, 1e-12);
  P.para[ds::link(3, ds::kM)] = 1.0;
  P.para[ds::link(4, ds::kM)] = 0.5;
  Gravity(g, P);
  EXPECT_NEAR(g[2], 9.8 * 3.5, 1e-12);
  EXPECT_EQ(g[0], 0.0);
  EXPECT_EQ(g[1], 0.0);
  EXPECT_EQ(g[3], 0.0);
}

}  // namespace
