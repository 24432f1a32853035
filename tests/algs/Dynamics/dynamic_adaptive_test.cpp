// The friction adaptation's gates, step, clamp and floor, and the torque
// feed-forward in drive units.
#include <cstring>

#include <gtest/gtest.h>

#include "Dynamics/dynamic_adaptive.h"
#include "Dynamics/scara_idm.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "idm_fixture.h"

namespace {

class DynamicAdaptive : public IdmFixture {
 protected:
  void SetUp() override {
    IdmFixture::SetUp();
    std::memcpy(savedParams_, gBasicDynamicParams, sizeof savedParams_);
    std::memcpy(savedJointPara_, gJointPara, sizeof savedJointPara_);
    savedInfo_ = gDynamicInfo;
    savedModes_[0] = gSafeMode;
    savedModes_[1] = gExcitMode;
    savedModes_[2] = gFeedForwardMode;
    savedModes_[3] = gRobotPrfMode;
    for (float& v : gBasicDynamicParams) v = 7.0f;
    gSafeMode = 1;
    gExcitMode = 0;
    gFeedForwardMode = 0;
    gRobotPrfMode = kPrfExecute;
    gDynamicInfo = {};
  }
  void TearDown() override {
    std::memcpy(gBasicDynamicParams, savedParams_, sizeof savedParams_);
    std::memcpy(gJointPara, savedJointPara_, sizeof savedJointPara_);
    gDynamicInfo = savedInfo_;
    gSafeMode = savedModes_[0];
    gExcitMode = savedModes_[1];
    gFeedForwardMode = savedModes_[2];
    gRobotPrfMode = savedModes_[3];
    IdmFixture::TearDown();
  }

 private:
  float savedParams_[kBasicDynamicParamCount] = {};
  double savedJointPara_[9] = {};
  tagDynamicInfo savedInfo_{};
  std::uint8_t savedModes_[4] = {};
};

TEST_F(DynamicAdaptive, StepIsTheClampedTorqueErrorTimesSpeed) {
  const struct {
    float qd, modelTau, measured, change;
  } cases[] = {
      {1.0f, 3.0f, 1.0f, -0.04f},   // (3 - 1)·0.02·1
      {-2.0f, 3.0f, 1.0f, 0.08f},   // (3 - 1)·0.02·(-2)
      {1.0f, 30.0f, 1.0f, -0.1f},   // clamped
      {-1.0f, 30.0f, 1.0f, 0.1f},   // clamped
      {0.5f, 30.0f, 1.0f, 0.0f},    // not above 0.5 rad/s
      {-0.5f, 30.0f, 1.0f, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.qd);
    for (int j = 0; j < 2; ++j) {
      gBasicDynamicParams[2] = 1.0f;
      gBasicDynamicParams[8] = 1.0f;
      gDynamicInfo.qd[0] = gDynamicInfo.qd[1] = 0.0f;
      gDynamicInfo.qd[j] = c.qd;
      gDynamicInfo.tau[j] = c.modelTau;
      float measured[2] = {0.0f, 0.0f};
      measured[j] = c.measured;
      DynamicParameterAdaptive_scara(measured, 0);
      const int mine = j == 0 ? 2 : 8;
      const int other = j == 0 ? 8 : 2;
      EXPECT_NEAR(gBasicDynamicParams[mine], 1.0f + c.change, 1e-6) << "joint " << j + 1;
      EXPECT_EQ(gBasicDynamicParams[other], 1.0f) << "joint " << j + 1;
    }
  }
  // Nothing else of the record changes.
  for (int i = 0; i < kBasicDynamicParamCount; ++i) {
    if (i != 2 && i != 8) {
      EXPECT_EQ(gBasicDynamicParams[i], 7.0f) << "element " << i;
    }
  }
}

TEST_F(DynamicAdaptive, NeverLeavesTheViscousFrictionBelowZero) {
  gBasicDynamicParams[2] = 0.05f;
  gDynamicInfo.qd[0] = 2.0f;
  gDynamicInfo.tau[0] = 10.0f;
  float measured[2] = {0.0f, 0.0f};
  DynamicParameterAdaptive_scara(measured, 0);
  EXPECT_EQ(gBasicDynamicParams[2], 0.0f);
}

TEST_F(DynamicAdaptive, ActsOnlyWhenAllowed) {
  struct Gate {
    const char* name;
    int disable;
    std::uint8_t safe, excit, feedForward, prfMode;
    bool adapts;
    bool floors;  // negative coefficients are raised to 0
  };
  const Gate gates[] = {
      {"allowed", 0, 1, 0, 0, kPrfExecute, true, true},
      {"excitation 33", 0, 1, 33, 0, kPrfExecute, true, true},
      {"disabled", 1, 1, 0, 0, kPrfExecute, false, false},
      {"not safe mode", 0, 0, 0, 0, kPrfExecute, false, false},
      {"excitation 1", 0, 1, 1, 0, kPrfExecute, false, false},
      {"feed-forward", 0, 1, 0, 1, kPrfExecute, false, false},
      {"not executing", 0, 1, 0, 0, kPrfJogJoint, false, true},
  };
  for (const Gate& g : gates) {
    SCOPED_TRACE(g.name);
    gSafeMode = g.safe;
    gExcitMode = g.excit;
    gFeedForwardMode = g.feedForward;
    gRobotPrfMode = g.prfMode;
    gBasicDynamicParams[2] = 1.0f;
    gBasicDynamicParams[8] = -0.5f;
    gDynamicInfo.qd[0] = 1.0f;
    gDynamicInfo.qd[1] = 0.0f;
    gDynamicInfo.tau[0] = 3.0f;
    float measured[2] = {1.0f, 0.0f};
    DynamicParameterAdaptive_scara(measured, g.disable);
    EXPECT_NEAR(gBasicDynamicParams[2], g.adapts ? 0.96f : 1.0f, 1e-6);
    EXPECT_EQ(gBasicDynamicParams[8], g.floors ? 0.0f : -0.5f);
  }
}

TEST_F(DynamicAdaptive, FeedForwardInDriveUnits) {
  gJointPara[5] = 50.0;
  gJointPara[6] = 30.0;
  gDynamicInfo.q[1] = 0.4f;
  gDynamicInfo.qd[0] = 1.5f;
  gDynamicInfo.qd[1] = -0.7f;
  gDynamicInfo.qdd[0] = 2.0f;
  gDynamicInfo.qdd[1] = 1.0f;
  gDynamicInfo.tau[3] = 9.0f;
  float tau[3] = {};
  IDM_W7(tau, gDynamicInfo.q, gDynamicInfo.qd, gDynamicInfo.qdd);
  float out[2] = {};
  DynamicFeedForward_scara(out);
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(gDynamicInfo.tau[j], tau[j]) << "model torque of joint " << j + 1;
    const double expected = -static_cast<double>(tau[j]) * 1000.0 / gJointPara[5 + j] / 0.1416;
    EXPECT_EQ(out[j], static_cast<float>(expected)) << "joint " << j + 1;
  }
  EXPECT_NEAR(out[0], -tau[0] * 1000.0f / 50.0f / 0.1416f, 1e-2);
  EXPECT_EQ(gDynamicInfo.tau[3], 9.0f);
}

}  // namespace
