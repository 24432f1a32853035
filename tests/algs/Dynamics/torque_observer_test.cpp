// The momentum observer: reset, gains and bias, joint 3's speed gate, and its
// residual against torques from the model itself, with and without an
// external torque.
#include <cmath>

#include <gtest/gtest.h>

#include "Dynamics/scara_idm.h"
#include "Dynamics/torque_observer.h"
#include "idm_fixture.h"

namespace {

constexpr float kDt = 0.004f;

class TorqueObserver : public IdmFixture {
 protected:
  // Joint 3's model force without its acceleration term.
  static float joint3Model(float qd3) {
    const float q[3] = {0.0f, 0.0f, 0.0f};
    const float qd[3] = {0.0f, 0.0f, qd3};
    const float zero[3] = {};
    float tau[3] = {};
    IDM_W7(tau, q, qd, zero);
    return tau[2];
  }
};

TEST_F(TorqueObserver, ResetStartsTheResidualAtMinusGainTimesBias) {
  const float q[3] = {0.3f, -0.8f, 40.0f};
  const float qd[3] = {0.7f, -1.2f, 25.0f};
  const float tm[3] = {3.0f, -1.0f, 70.0f};
  const float bias[3] = {0.2f, -0.1f, 0.4f};
  float r[3] = {};
  TauOb(r, q, qd, tm, bias, kDt, true);
  EXPECT_FLOAT_EQ(r[0], -2.0f);
  EXPECT_FLOAT_EQ(r[1], 1.0f);
  EXPECT_FLOAT_EQ(r[2], -2.0f);
}

TEST_F(TorqueObserver, Joint3IntegratesOnlyFromTenMillimetresPerSecond) {
  const struct {
    float qd3;
    float r3;
  } cases[] = {
      {9.9f, -2.0f},  {-9.9f, -2.0f}, {0.0f, -2.0f},
      // From 10 mm/s the integral takes the previous residual: 5·(0.004·2 - 0.4).
      {10.0f, -1.96f}, {-10.0f, -1.96f}, {250.0f, -1.96f},
  };
  const float q[3] = {0.0f, 0.0f, 50.0f};
  const float bias[3] = {0.0f, 0.0f, 0.4f};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.qd3);
    const float qd[3] = {0.0f, 0.0f, c.qd3};
    // The joint's model force measured: nothing external.
    const float tm[3] = {0.0f, 0.0f, joint3Model(c.qd3)};
    float r[3] = {};
    TauOb(r, q, qd, tm, bias, kDt, true);
    ASSERT_FLOAT_EQ(r[2], -2.0f);
    TauOb(r, q, qd, tm, bias, kDt, false);
    EXPECT_NEAR(r[2], c.r3, 1e-4);
  }
}

// A smooth motion of all three joints with the model's own torques measured:
// the residual stays near 0. The same motion with an external torque added on
// each joint in turn: that joint's residual settles at minus the torque, the
// others stay near 0.
TEST_F(TorqueObserver, ResidualEstimatesExternalTorques) {
  struct Disturbance {
    int joint;  // -1: none
    float value;
  };
  const Disturbance cases[] = {{-1, 0.0f}, {0, 3.0f}, {1, -1.5f}, {2, 20.0f}};
  for (const Disturbance& d : cases) {
    SCOPED_TRACE(d.joint);
    const float zero[3] = {};
    float r[3] = {};
    float worst[3] = {};
    for (int n = 0; n <= 1500; ++n) {
      const float t = static_cast<float>(n) * kDt;
      // Joint 3 keeps above 10 mm/s so that it integrates throughout.
      const float q[3] = {0.8f * std::sin(1.5f * t), 0.3f + std::sin(2.0f * t), 50.0f + 40.0f * t};
      const float qd[3] = {1.2f * std::cos(1.5f * t), 2.0f * std::cos(2.0f * t), 40.0f};
      const float qdd[3] = {-1.8f * std::sin(1.5f * t), -4.0f * std::sin(2.0f * t), 0.0f};
      float tm[3] = {};
      IDM_W7(tm, q, qd, qdd);
      if (d.joint >= 0) tm[d.joint] += d.value;
      TauOb(r, q, qd, tm, zero, kDt, n == 0);
      if (n >= 1000) {
        for (int i = 0; i < 3; ++i) {
          const float expected = i == d.joint ? -d.value : 0.0f;
          worst[i] = std::fmax(worst[i], std::fabs(r[i] - expected));
        }
      }
    }
    EXPECT_LT(worst[0], 0.05f) << "joint 1 residual off by " << worst[0];
    EXPECT_LT(worst[1], 0.05f) << "joint 2 residual off by " << worst[1];
    EXPECT_LT(worst[2], 0.05f) << "joint 3 residual off by " << worst[2];
  }
}

}  // namespace
