// Chain, inverse solution, task Jacobian, path derivatives and TCP acceleration.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "Dynamics/scara_chain.h"
#include "Dynamics/scara_jacobian.h"
#include "arm_fixture.h"

namespace {

constexpr double kPi = 3.141592653589793;

using Chain = ArmFixture;

// x, y, z, r of frame 4 from the product of the four chain transforms.
void forwardChain(const double* q, double* p) {
  double T[4][16];
  DHTransMat(0.0, 0.0, 0.0, q[0], T[0]);
  DHTransMat(0.0, 0.225, 0.0, q[1], T[1]);
  DHTransMat(0.0, 0.175, q[2], 0.0, T[2]);
  DHTransMat(0.0, 0.0, 0.0, q[3], T[3]);
  double acc[16];
  double next[16];
  for (int k = 0; k < 16; ++k) acc[k] = T[0][k];
  for (int i = 1; i < 4; ++i) {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        next[4 * r + c] = 0.0;
        for (int k = 0; k < 4; ++k) next[4 * r + c] += acc[4 * r + k] * T[i][4 * k + c];
      }
    }
    for (int k = 0; k < 16; ++k) acc[k] = next[k];
  }
  p[0] = acc[3];
  p[1] = acc[7];
  p[2] = acc[11];
  p[3] = std::atan2(acc[4], acc[0]);
}

double wrap(double a) { return std::remainder(a, 2 * kPi); }

TEST_F(Chain, DHTransformOfATiltedRowFollowsTheModifiedConvention) {
  double T[16];
  DHTransMat(kPi / 2, 0.1, 0.2, kPi / 2, T);
  const double want[16] = {0, -1, 0, 0.1, 0, 0, -1, -0.2, 1, 0, 0, 0, 0, 0, 0, 1};
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(T[k], want[k], 1e-15) << "element " << k;
}

TEST_F(Chain, InverseSolutionOfTheWorkedPointForBothElbows) {
  double p[4] = {0.3, 0.1, 0.05, 0.2};
  double q[6] = {9, 9, 9, 9, 9, 9};
  ASSERT_EQ(ikineScara(p, q, 0), 1);
  EXPECT_NEAR(q[0], -0.24569992088219483, 1e-12);
  EXPECT_NEAR(q[1], 1.3303921100256373, 1e-12);
  EXPECT_NEAR(q[2], 0.05, 1e-12);
  EXPECT_NEAR(q[3], -0.8846921891434425, 1e-12);
  EXPECT_EQ(q[4], 0.0);
  EXPECT_EQ(q[5], 0.0);

  double other[6];
  ASSERT_EQ(ikineScara(p, other, 1), 1);
  EXPECT_NEAR(other[1], -1.3303921100256373, 1e-12) << "the other elbow";
  for (const double* s : {q, other}) {
    double back[4];
    forwardChain(s, back);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], p[k], 1e-12) << "coordinate " << k;
    EXPECT_NEAR(wrap(back[3] - p[3]), 0.0, 1e-12);
  }
}

TEST_F(Chain, ForwardAfterInverseReturnsTheStartOverTheWorkspace) {
  std::mt19937 rng(1311);
  std::uniform_real_distribution<double> radius(0.06, 0.399);
  std::uniform_real_distribution<double> angle(-kPi, kPi);
  for (int trial = 0; trial < 300; ++trial) {
    const double rho = radius(rng);
    const double phi = angle(rng);
    double p[4] = {rho * std::cos(phi), rho * std::sin(phi), -0.1 + 0.001 * (trial % 100), angle(rng)};
    for (int flag : {0, 1}) {
      double q[6];
      ASSERT_EQ(ikineScara(p, q, flag), 1);
      EXPECT_TRUE(flag == 0 ? q[1] >= 0.0 : q[1] <= 0.0) << "trial " << trial;
      double back[4];
      forwardChain(q, back);
      for (int k = 0; k < 3; ++k) ASSERT_NEAR(back[k], p[k], 1e-10) << "trial " << trial << " flag " << flag;
      ASSERT_NEAR(wrap(back[3] - p[3]), 0.0, 1e-10) << "trial " << trial;
    }
  }
}

TEST_F(Chain, PointsJustBeyondTheReachAreStretchedTowardsFartherOnesRejected) {
  double q[6] = {7, 7, 7, 7, 7, 7};
  double near[4] = {0.4 - 0.001, 0.0, 0.0, 0.0};
  ASSERT_EQ(ikineScara(near, q, 0), 1);
  EXPECT_NEAR(q[0], 0.0, 0.1);
  EXPECT_NEAR(q[1], 0.0, 0.15);

  double beyond[4] = {0.0, 0.4005, 0.0, 0.0};
  ASSERT_EQ(ikineScara(beyond, q, 0), 1) << "half a millimetre beyond keeps the stretched arm";
  EXPECT_EQ(q[1], 0.0);
  EXPECT_NEAR(q[0], kPi / 2, 1e-12);

  struct Rejected {
    double x, y;
  } const rejected[] = {{0.4015, 0.0}, {0.0, -0.4015}, {300.0, 100.0}, {NAN, 0.0}, {0.1, INFINITY}};
  for (const Rejected& r : rejected) {
    double p[4] = {r.x, r.y, 0.0, 0.0};
    double untouched[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_EQ(ikineScara(p, untouched, 0), -1) << "(" << r.x << ", " << r.y << ")";
    for (double v : untouched) EXPECT_EQ(v, 7.0);
  }
}

using Jacobian = ArmFixture;

TEST_F(Jacobian, TcpSpeedAndAccelerationOfJoint1AtTheStretchedArm) {
  double q[4] = {};
  double qd[4] = {1, 0, 0, 0};
  double qdd[4] = {};
  double v[4];
  double a[4];
  calcTCPAcc(q, qd, qdd, v, a, nullptr);
  const double wantV[4] = {0, 0.4, 0, 1};
  const double wantA[4] = {-0.4, 0, 0, 0};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(v[k], wantV[k], 1e-12) << "v[" << k << "]";
    EXPECT_NEAR(a[k], wantA[k], 1e-12) << "a[" << k << "]";
  }
}

// Position of the tool point (frame 4 followed by the tool offset) and its rotation.
void toolPoint(const double* q, const double* offset, double* p) {
  const double c1 = std::cos(q[0]), s1 = std::sin(q[0]);
  const double c12 = std::cos(q[0] + q[1]), s12 = std::sin(q[0] + q[1]);
  const double r = q[0] + q[1] + q[3];
  p[0] = 0.225 * c1 + 0.175 * c12 + std::cos(r) * offset[0] - std::sin(r) * offset[1];
  p[1] = 0.225 * s1 + 0.175 * s12 + std::sin(r) * offset[0] + std::cos(r) * offset[1];
  p[2] = q[2] + offset[2];
  p[3] = r;
}

// Along q(t) = q0 + q̇0·t + q̈·t²/2 the TCP velocity and acceleration match
// central differences of the tool point, with and without a tool.
TEST_F(Jacobian, VelocityAndAccelerationMatchDifferencesOfTheToolPoint) {
  std::mt19937 rng(1312);
  constexpr double h = 1e-4;
  for (int trial = 0; trial < 100; ++trial) {
    auto [q, qd, qdd] = randomState(rng);
    const bool withTool = trial % 2 == 1;
    const double offset[3] = {withTool ? 0.05 : 0.0, withTool ? -0.02 : 0.0, withTool ? 0.03 : 0.0};
    double tool[4][4] = {{1, 0, 0, offset[0]}, {0, 1, 0, offset[1]}, {0, 0, 1, offset[2]}, {0, 0, 0, 1}};

    double pts[3][4];
    for (int s = -1; s <= 1; ++s) {
      double x[4];
      const double dt = s * h;
      for (int j = 0; j < 4; ++j) x[j] = q[j] + qd[j] * dt + 0.5 * qdd[j] * dt * dt;
      toolPoint(x, offset, pts[s + 1]);
    }
    double v[4];
    double a[4];
    calcTCPAcc(q, qd, qdd, v, a, withTool ? tool : nullptr);
    for (int k = 0; k < 4; ++k) {
      const double fdV = (pts[2][k] - pts[0][k]) / (2 * h);
      const double fdA = (pts[2][k] - 2 * pts[1][k] + pts[0][k]) / (h * h);
      ASSERT_NEAR(v[k], fdV, 1e-6) << "trial " << trial << " v[" << k << "]";
      ASSERT_NEAR(a[k], fdA, 2e-4) << "trial " << trial << " a[" << k << "]";
    }
  }
}

TEST_F(Jacobian, JacobdotGivesTheMatricesBehindTheTcpAcceleration) {
  double q[4] = {0.4, -1.2, -0.03, 0.9};
  double qd[4] = {0.7, 1.3, 0.2, -2.0};
  double qdd[4] = {1.0, -0.5, 0.3, 0.0};
  double J[4][4];
  double Jd[4][4];
  Jacobdot_SCARA(q, qd, J, Jd, nullptr);
  double v[4];
  double a[4];
  calcTCPAcc(q, qd, qdd, v, a, nullptr);
  for (int r = 0; r < 4; ++r) {
    double jv = 0.0;
    double ja = 0.0;
    for (int c = 0; c < 4; ++c) {
      jv += J[r][c] * qd[c];
      ja += J[r][c] * qdd[c] + Jd[r][c] * qd[c];
    }
    EXPECT_NEAR(jv, v[r], 1e-14) << "row " << r;
    EXPECT_NEAR(ja, a[r], 1e-14) << "row " << r;
  }
  // Vertical axes: joint 3 moves straight up and turns nothing.
  EXPECT_EQ(J[2][2], 1.0);
  EXPECT_EQ(J[3][2], 0.0);
  EXPECT_EQ(Jd[2][2], 0.0);
}

using PathDerivatives = ArmFixture;

// For a Cartesian path x(u), A and B are the derivatives of ikine(x(u)) by u.
// Points on the x axis make the unpivoted LU fail (J4's first pivot is -y),
// so they run through the pseudo-inverse.
TEST_F(PathDerivatives, MatchDifferencesOfTheInverseSolutionAlongAPath) {
  struct Case {
    const char* what;
    double x0, y0;
  } const cases[] = {{"general point", 0.21, 0.17}, {"on the x axis: pseudo-inverse", 0.3, 0.0}};
  // x(u) = x0 + t0·u + c0·u²/2 with a rotation rate carried in element 5.
  const double t0[6] = {0.03, -0.02, 0.01, 99.0, 0.0, 0.4};
  const double c0[6] = {0.01, 0.02, -0.005, 0.0, 0.0, 0.0};
  for (const Case& cs : cases) {
    auto jointsAt = [&](double u, double* q) {
      double p[4] = {cs.x0 + t0[0] * u + 0.5 * c0[0] * u * u, cs.y0 + t0[1] * u + 0.5 * c0[1] * u * u,
                     -0.05 + t0[2] * u + 0.5 * c0[2] * u * u, 0.3 + t0[5] * u};
      ASSERT_EQ(ikineScara(p, q, 0), 1);
    };
    double q[6];
    jointsAt(0.0, q);
    double t[6];
    double c[6];
    for (int k = 0; k < 6; ++k) {
      t[k] = t0[k];
      c[k] = c0[k];
    }
    double A[4];
    double B[4];
    calcAB_SCARA(q, t, c, A, B);
    EXPECT_EQ(t[3], t0[5]) << "the rotation rate is taken from element 5 into element 3";

    constexpr double h = 1e-4;
    double qp[6];
    double qm[6];
    jointsAt(h, qp);
    jointsAt(-h, qm);
    for (int j = 0; j < 4; ++j) {
      EXPECT_NEAR(A[j], (qp[j] - qm[j]) / (2 * h), 1e-7) << cs.what << " A[" << j << "]";
      EXPECT_NEAR(B[j], (qp[j] - 2 * q[j] + qm[j]) / (h * h), 1e-5) << cs.what << " B[" << j << "]";
    }
  }
}

}  // namespace
