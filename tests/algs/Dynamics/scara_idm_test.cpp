// The single-precision model: documented torques, the mass matrix and its
// agreement with the torques, momentum and beta, hand guiding, the clamp.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "Dynamics/scara_idm.h"
#include "idm_fixture.h"

namespace {

using ScaraIdm = IdmFixture;

struct TorqueCase {
  const char* name;
  float q[3];
  float qd[3];
  float qdd[3];
  float tau[3];
};

TEST_F(ScaraIdm, TorquesOfDocumentedStates) {
  const TorqueCase cases[] = {
      {"moving", {0.2f, 0.5f, 50.0f}, {1.0f, 0.5f, 20.0f}, {2.0f, 1.0f, 100.0f}, {5.20103f, 1.82964f, 59.8f}},
      // At rest joints 1 and 2 need nothing; joint 3 holds 9.8·(m + M3).
      {"rest", {0.2f, 0.5f, 50.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 49.0f}},
      {"rest at zero", {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 49.0f}},
      // Inside the friction band the Coulomb term is proportional: 0.05/0.1 of FS1.
      {"joint 1 creeping", {0.0f, 0.0f, 0.0f}, {0.05f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.6f, 0.0f, 49.0f}},
      // Joint 3 at 5 mm/s is half way into its 0.01 m/s band: 20·0.005 + 10·0.5.
      {"joint 3 creeping", {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 5.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 54.1f}},
  };
  for (const TorqueCase& c : cases) {
    SCOPED_TRACE(c.name);
    float tau[3] = {};
    IDM_W7(tau, c.q, c.qd, c.qdd);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(tau[i], c.tau[i], 1e-4) << "joint " << i + 1;
  }
}

TEST_F(ScaraIdm, MassMatrixAtStretchedArm) {
  const float q[3] = {0.7f, 0.0f, 30.0f};
  float M[2][2] = {};
  cal_M(M, q);
  EXPECT_NEAR(M[0][0], 1.055f, 1e-6);
  EXPECT_NEAR(M[0][1], 0.3075f, 1e-6);
  EXPECT_EQ(M[1][0], M[0][1]);
  EXPECT_NEAR(M[1][1], 0.18125f, 1e-6);
}

TEST_F(ScaraIdm, SettingsTakeEffectOnTheNextCall) {
  const float q[3] = {0.0f, 0.0f, 0.0f};
  const float zero[3] = {};
  float tau[3] = {};
  IDM_W7(tau, q, zero, zero);
  EXPECT_NEAR(tau[2], 49.0f, 1e-4);
  m_st_loadParams.loadValue = 0.0f;
  m_st_basicdynamicparams6.M3 = 1.0f;
  IDM_W7(tau, q, zero, zero);
  EXPECT_NEAR(tau[2], 9.8f, 1e-5);
  float M[2][2] = {};
  cal_M(M, q);
  EXPECT_NEAR(M[1][1], 0.12f, 1e-6);
}

// Seeded random states: the torques at zero velocity are M·qdd for joints 1
// and 2, the momentum is M·qd, and beta with an unchanged mass matrix is the
// torque at zero acceleration.
TEST_F(ScaraIdm, TorquesMomentumAndBetaAgreeWithTheMassMatrix) {
  std::mt19937 rng(27);
  std::uniform_real_distribution<float> angle(-2.5f, 2.5f);
  std::uniform_real_distribution<float> rate(-3.0f, 3.0f);
  const float zero[3] = {};
  for (int n = 0; n < 200; ++n) {
    SCOPED_TRACE(n);
    const float q[3] = {angle(rng), angle(rng), 40.0f * angle(rng)};
    const float qd[3] = {rate(rng), rate(rng), 100.0f * rate(rng)};
    const float qdd[3] = {rate(rng), rate(rng), 0.0f};
    float M[2][2] = {};
    cal_M(M, q);
    ASSERT_EQ(M[0][1], M[1][0]);
    ASSERT_GT(M[0][0] * M[1][1] - M[0][1] * M[1][0], 0.0f) << "mass matrix not positive definite";

    float tau[3] = {};
    IDM_W7(tau, q, zero, qdd);
    EXPECT_NEAR(tau[0], M[0][0] * qdd[0] + M[0][1] * qdd[1], 2e-5);
    EXPECT_NEAR(tau[1], M[1][0] * qdd[0] + M[1][1] * qdd[1], 2e-5);

    float p[2] = {};
    cal_p(p, q, qd);
    EXPECT_NEAR(p[0], M[0][0] * qd[0] + M[0][1] * qd[1], 1e-5);
    EXPECT_NEAR(p[1], M[1][0] * qd[0] + M[1][1] * qd[1], 1e-5);

    float beta[2] = {};
    float tau0[3] = {};
    cal_beta(beta, q, qd, q, 0.004f);
    IDM_W7(tau0, q, qd, zero);
    EXPECT_EQ(beta[0], tau0[0]);
    EXPECT_EQ(beta[1], tau0[1]);
  }
}

TEST_F(ScaraIdm, BetaTakesTheMassMatrixChangeOverThePeriod) {
  const float q[3] = {0.0f, 0.3f, 0.0f};
  const float qPrev[3] = {0.0f, 0.29f, 0.0f};
  const float qd[3] = {1.0f, 2.5f, 0.0f};
  const float zero[3] = {};
  float M[2][2] = {};
  float Mp[2][2] = {};
  cal_M(M, q);
  cal_M(Mp, qPrev);
  float tau0[3] = {};
  IDM_W7(tau0, q, qd, zero);
  float beta[2] = {};
  cal_beta(beta, q, qd, qPrev, 0.004f);
  for (int i = 0; i < 2; ++i) {
    const float change = ((M[i][0] - Mp[i][0]) * qd[0] + (M[i][1] - Mp[i][1]) * qd[1]) / 0.004f;
    ASSERT_GT(std::fabs(change), 0.1f);
    EXPECT_NEAR(beta[i], tau0[i] - change, 1e-4) << "joint " << i + 1;
  }
}

struct GuidingCase {
  const char* name;
  float qd[3];
  int percent[3];
  float tau[3];
};

TEST_F(ScaraIdm, HandGuidingScalesAndSoftensFriction) {
  const GuidingCase cases[] = {
      // 1·0.5·0.1 + 0.5·0.5·(0.1/0.2); the plain model gives 0.6. Joint 1
      // feels link 2's spin through MY2: -0.225·0.05·0.1².
      {"joint 2 documented", {0.0f, 0.1f, 0.0f}, {50, 50, 50}, {-0.0001125f, 0.175f, 49.0f}},
      // Joint 1 at 1 rad/s: FV1·100 % + FS1/2 (no viscous term at 0 %); the
      // centripetal pull on link 2's first moment MY2 gives joint 2 0.225·0.05.
      {"joint 1 full viscous", {1.0f, 0.0f, 0.0f}, {100, 50, 50}, {2.5f, 0.01125f, 49.0f}},
      {"joint 1 no viscous", {1.0f, 0.0f, 0.0f}, {0, 50, 50}, {0.5f, 0.01125f, 49.0f}},
      // Joint 3 at 100 mm/s: band 0.2 on 0.1 m/s gives half of FS3/2; 20·0.1·0.5.
      {"joint 3 slow", {0.0f, 0.0f, 100.0f}, {50, 50, 50}, {0.0f, 0.0f, 1.0f + 2.5f + 49.0f}},
      {"joint 3 downwards", {0.0f, 0.0f, -300.0f}, {50, 50, 200}, {0.0f, 0.0f, -12.0f - 5.0f + 49.0f}},
  };
  const float q[3] = {0.0f, 0.0f, 10.0f};
  const float anyQdd[3] = {5.0f, -3.0f, 200.0f};
  for (const GuidingCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = 0; i < 3; ++i) gSysParams.adjust[i] = c.percent[i];
    float tau[3] = {};
    IdmHandGuiding(tau, q, c.qd, anyQdd);
    float withoutQdd[3] = {};
    const float zero[3] = {};
    IdmHandGuiding(withoutQdd, q, c.qd, zero);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(tau[i], withoutQdd[i]) << "joint " << i + 1 << " depends on qdd";
    }
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(tau[i], c.tau[i], 1e-5) << "joint " << i + 1;
  }
  float plain[3] = {};
  const float qd[3] = {0.0f, 0.1f, 0.0f};
  const float zero[3] = {};
  IDM_W7(plain, q, qd, zero);
  EXPECT_NEAR(plain[1], 0.6f, 1e-6);
}

TEST(MinAbs, ClampsToTheLimit) {
  const struct {
    float x, limit, out;
  } cases[] = {{-0.5f, 0.1f, -0.1f}, {0.05f, 0.1f, 0.05f}, {0.5f, 0.1f, 0.1f}, {-0.1f, 0.1f, -0.1f}, {0.0f, 0.1f, 0.0f}};
  for (const auto& c : cases) EXPECT_EQ(minAbs(c.x, c.limit), c.out) << c.x << " within " << c.limit;
}

}  // namespace
