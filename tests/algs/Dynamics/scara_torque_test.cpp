// Path-torque coefficients, the full model's motor torques and the identified model.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/kernel_log_capture.h"
#include "Dynamics/scara_model.h"
#include "Dynamics/scara_torque.h"
#include "arm_fixture.h"
#include "json/parameter_globals.h"

namespace {

namespace ds = dyn_slot;
// Joint 3 force to screw motor torque at a 20 mm lead, with the kernel's single-precision pi.
constexpr double kScrew = 20.0 / (1000.0 * 2.0 * 3.1415927410125732);

using DynCoef = ArmFixture;

TEST_F(DynCoef, StandingStillLeavesOnlyGravity) {
  std::mt19937 rng(1321);
  const DynPara P = randomArm(rng);
  double q[4] = {0.2, 1.0, -0.1, -0.4};
  double A[4] = {};
  double B[4] = {};
  double a[4];
  double b[4];
  double c[4];
  double d[4];
  calcDynCoef(q, A, B, a, b, c, d, P);
  double g[4];
  Gravity(g, P);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(a[j], 0.0) << "joint " << j + 1;
    EXPECT_EQ(b[j], 0.0) << "joint " << j + 1;
    EXPECT_EQ(c[j], 0.0) << "joint " << j + 1;
    EXPECT_EQ(d[j], g[j]) << "joint " << j + 1;
  }
}

// Along q(u) with q̇ = A·u̇ and q̈ = A·ü + B·u̇², the coefficients rebuild the
// model's torques: tau = a·ü + b·u̇² + c·u̇ + d (for u̇ > 0 and joints outside
// the friction band, where the friction signs of A and of q̇ agree).
TEST_F(DynCoef, RebuildTheModelTorqueAlongAPath) {
  std::mt19937 rng(1322);
  std::uniform_real_distribution<double> speed(0.3, 3.0);
  std::uniform_real_distribution<double> accel(-10.0, 10.0);
  for (int trial = 0; trial < 100; ++trial) {
    const DynPara P = randomArm(rng);
    auto [q, A, B] = randomState(rng);
    // Each joint still or moving clearly outside its friction band.
    for (double& x : A) {
      if (std::fabs(x) < 0.5) x = 0.0;
    }
    const double ud = speed(rng);
    const double udd = accel(rng);
    double a[4], b[4], c[4], d[4];
    calcDynCoef(q, A, B, a, b, c, d, P);

    double qd[4];
    double qdd[4];
    for (int j = 0; j < 4; ++j) {
      qd[j] = A[j] * ud;
      qdd[j] = A[j] * udd + B[j] * ud * ud;
    }
    double tau[4];
    calcTorque(q, qd, qdd, tau, P);
    for (int j = 0; j < 4; ++j) {
      double want = a[j] * udd + b[j] * ud * ud + c[j] * ud + d[j];
      if (j == 2) want *= kScrew;
      ASSERT_NEAR(tau[j], want, 1e-9 * (1.0 + std::fabs(want))) << "trial " << trial << " joint " << j + 1;
    }
  }
}

using FullTorque = ArmFixture;

TEST_F(FullTorque, JointThreeForceBecomesScrewMotorTorque) {
  // Payload only, holding still: joint 3 carries 19.6 N.
  double q[4] = {};
  double qd[4] = {};
  double qdd[4] = {};
  double tau[4];
  calcTorque(q, qd, qdd, tau, payloadOnly(2.0, 0.0));
  EXPECT_NEAR(tau[2], 19.6 * kScrew, 1e-15);
  EXPECT_EQ(tau[0], 0.0);
  EXPECT_EQ(tau[1], 0.0);
  EXPECT_EQ(tau[3], 0.0);
}

// Power balance of the rigid body: q̇ᵀ(M·q̈ + h) = d/dt(½ q̇ᵀ M q̇).
TEST_F(FullTorque, PowerEqualsTheRateOfKineticEnergy) {
  std::mt19937 rng(1323);
  constexpr double h = 1e-5;
  for (int trial = 0; trial < 100; ++trial) {
    const DynPara P0 = randomArm(rng);
    DynPara P = P0;
    for (int j = 1; j <= 4; ++j) {
      P.para[ds::link(j, ds::kFS)] = 0.0;
      P.para[ds::link(j, ds::kFV)] = 0.0;
      P.para[ds::link(j, ds::kM)] = j < 3 ? P.para[ds::link(j, ds::kM)] : 0.0;
    }
    P.para[ds::kPayloadMass] = 0.0;  // no gravity
    auto [q, qd, qdd] = randomState(rng);
    auto energy = [&](double s) {
      double x[4];
      double v[4];
      for (int j = 0; j < 4; ++j) {
        x[j] = q[j] + qd[j] * s + 0.5 * qdd[j] * s * s;
        v[j] = qd[j] + qdd[j] * s;
      }
      double M[4][4];
      MassInertiaMatrix(x, M, P);
      double e = 0.0;
      for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) e += 0.5 * v[i] * M[i][j] * v[j];
      }
      return e;
    };
    double tau[4];
    calcTorque(q, qd, qdd, tau, P);
    tau[2] /= kScrew;
    double power = 0.0;
    for (int j = 0; j < 4; ++j) power += qd[j] * tau[j];
    ASSERT_NEAR(power, (energy(h) - energy(-h)) / (2 * h), 1e-6) << "trial " << trial;
  }
}

class IdentifiedTorque : public KernelLogCapture {
 protected:
  void SetUp() override {
    KernelLogCapture::SetUp();
    savedDyn_ = m_st_basicdynamicparams6;
    savedLoad_ = m_st_loadParams;
    for (int i = 0; i < 3; ++i) savedMech_[i] = gScaraMechPara[i];
    m_st_basicdynamicparams6 = {};
    m_st_loadParams = {};
    gScaraMechPara[0] = 225.0;
    gScaraMechPara[1] = 175.0;
    gScaraMechPara[2] = 20.0;
  }
  void TearDown() override {
    m_st_basicdynamicparams6 = savedDyn_;
    m_st_loadParams = savedLoad_;
    for (int i = 0; i < 3; ++i) gScaraMechPara[i] = savedMech_[i];
    KernelLogCapture::TearDown();
  }

 private:
  st_basicdynamicparams6 savedDyn_{};
  st_loadParams savedLoad_{};
  double savedMech_[3] = {};
};

TEST_F(IdentifiedTorque, LogsTheArrayOnEntryAndLeavesJointFour) {
  m_st_basicdynamicparams6.M3 = 1.5f;
  m_st_loadParams.loadValue = 0.5f;
  double q[4] = {};
  double qd[4] = {};
  double qdd[4] = {};
  double tau[4] = {1.5, -2.0, 3.25, 42.0};
  calcTorqueW7(q, qd, qdd, tau);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0], "calcTorqueW7_Toruqe:1.500000, -2.000000, 3.250000, 42.000000   \r\n");
  EXPECT_EQ(tau[3], 42.0);
  EXPECT_NEAR(tau[2], 9.8 * 2.0, 1e-6) << "joint 3 holds link 3 and the payload";
  EXPECT_EQ(tau[0], 0.0);
  EXPECT_EQ(tau[1], 0.0);
}

TEST_F(IdentifiedTorque, JointThreeTermsByHand) {
  st_basicdynamicparams6& p = m_st_basicdynamicparams6;
  p.FV3 = 2.0f;
  p.FS3 = 4.0f;
  p.ZZ3 = 3.0f;
  p.M3 = 1.0f;
  m_st_loadParams.loadValue = 1.0f;
  double q[4] = {};
  double qd[4] = {0, 0, 0.005, 0};
  double qdd[4] = {0, 0, 2.0, 0};
  double tau[4] = {};
  calcTorqueW7(q, qd, qdd, tau);
  // 2·0.005 + 4·(0.005 / 0.01) + 3·2 + 9.8·2
  EXPECT_NEAR(tau[2], 0.01 + 2.0 + 6.0 + 19.6, 1e-6);
}

// The identified model is the full model with its base parameters grouped:
// links 1 and 2 and the payload of a record whose link-2 mass is folded into
// ZZ1 give the same joint 1 and 2 torques on the 225/175 mm arm.
TEST_F(IdentifiedTorque, AgreesWithTheFullModelOnItsBaseParameters) {
  std::mt19937 rng(1324);
  std::uniform_real_distribution<float> par(0.01f, 0.5f);
  for (int trial = 0; trial < 50; ++trial) {
    st_basicdynamicparams6& p = m_st_basicdynamicparams6;
    p.ZZ1 = par(rng);
    p.FS1 = par(rng);
    p.FV1 = par(rng);
    p.ZZ2 = par(rng);
    p.MX2 = par(rng);
    p.MY2 = par(rng) - 0.25f;
    p.IA2 = par(rng);
    p.FS2 = par(rng);
    p.FV2 = par(rng);
    m_st_loadParams.loadValue = 4.0f * par(rng);

    DynPara P = {};
    P.para[ds::link(1, ds::kZZ)] = p.ZZ1;
    P.para[ds::link(1, ds::kFS)] = p.FS1;
    P.para[ds::link(1, ds::kFV)] = p.FV1;
    P.para[ds::link(2, ds::kZZ)] = p.ZZ2;
    P.para[ds::link(2, ds::kMX)] = p.MX2;
    P.para[ds::link(2, ds::kMY)] = p.MY2;
    P.para[ds::link(2, ds::kIA)] = p.IA2;
    P.para[ds::link(2, ds::kFS)] = p.FS2;
    P.para[ds::link(2, ds::kFV)] = p.FV2;
    P.para[ds::kPayloadMass] = m_st_loadParams.loadValue;

    auto [q, qd, qdd] = randomState(rng);
    double full[4];
    calcTorque(q, qd, qdd, full, P);
    double w7[4] = {};
    calcTorqueW7(q, qd, qdd, w7);
    for (int j = 0; j < 2; ++j) {
      ASSERT_NEAR(w7[j], full[j], 1e-5 * (1.0 + std::fabs(full[j]))) << "trial " << trial << " joint " << j + 1;
    }
  }
}

}  // namespace
