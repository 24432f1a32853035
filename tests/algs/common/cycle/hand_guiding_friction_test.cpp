// The friction term the kernel hands each drive while the arm is guided by
// hand: the dynamics stage's hand-guiding torque through the gear ratio
// (joints 1-2) or the screw (joint 3), never below 0.003 in magnitude, a
// fixed 0.0002 for joint 4, and 0 whenever hand guiding is off.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/cycle/hand_guiding.h"
#include "common/kernel/dynamics_state.h"
#include "support/cycle_rig.h"

namespace zelor::test {
namespace {

class HandGuidingFrictionTest : public CycleRig {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    Start();
    savedInfo_ = gDynamicInfo;
  }
  void TearDown() override {
    gDynamicInfo = savedInfo_;
    SetHandGuiding(false);
    CycleRig::TearDown();
  }

 private:
  tagDynamicInfo savedInfo_{};
};

TEST_F(HandGuidingFrictionTest, TorqueScaledPerJointWithAFloor) {
  const double gear1 = block.jointPara[5];
  const double gear2 = block.jointPara[6];
  struct Case {
    const char* name;
    bool guiding;
    int joint;
    float torque;
    double expected;
  };
  const Case cases[] = {
      {"off: joint 1", false, 0, 2.0f, 0.0},
      {"off: joint 4", false, 3, 2.0f, 0.0},
      {"joint 1 through its gear", true, 0, 2.0f, 2.0 * gear1},
      {"joint 2 through its gear, negative", true, 1, -3.0f, -3.0 * gear2},
      {"joint 1 small: raised to the floor", true, 0, 0.01f, 0.003},
      {"joint 2 small negative: raised, sign kept", true, 1, -0.01f, -0.003},
      {"joint 3 through the screw", true, 2, 1.0f, 1.0 / 3.1416 * 0.01},
      {"joint 3 small: raised to the floor", true, 2, 0.5f, 0.003},
      {"joint 4 fixed whatever the torque", true, 3, 5.0f, 0.0002},
      {"joint 4 fixed with no torque", true, 3, 0.0f, 0.0002},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetHandGuiding(c.guiding);
    gDynamicInfo.tau[c.joint] = c.torque;
    EXPECT_NEAR(HandGuidingFriction(c.joint), c.expected, 1e-9);
  }
}

TEST_F(HandGuidingFrictionTest, NonFiniteTorqueGivesAFiniteTerm) {
  SetHandGuiding(true);
  for (float torque : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    for (int j = 0; j < 3; ++j) {
      gDynamicInfo.tau[j] = torque;
      const double friction = HandGuidingFriction(j);
      EXPECT_TRUE(std::isfinite(friction)) << "joint " << j + 1;
      EXPECT_DOUBLE_EQ(std::fabs(friction), 0.003) << "joint " << j + 1;
    }
  }
}

// In torque mode the kernel guides by hand: each cycle the drive record's
// friction words carry the term; back in position mode they are 0.
TEST_F(HandGuidingFrictionTest, ReachesTheDriveRecordOnlyWhileGuiding) {
  Enable();
  Cycle();
  for (int j = 0; j < 4; ++j) EXPECT_EQ(joint(j).m_NewSetValues.m_Friction, 0.0) << "position mode, joint " << j + 1;
  gServoMode = 1;
  gServoModeSwitch = 1;
  Cycle(3);
  ASSERT_EQ(gIsHandGuiding, 1);
  for (int j = 0; j < 3; ++j) {
    const double f = joint(j).m_NewSetValues.m_Friction;
    EXPECT_TRUE(std::isfinite(f));
    EXPECT_GE(std::fabs(f), 0.003) << "joint " << j + 1;
  }
  EXPECT_DOUBLE_EQ(joint(3).m_NewSetValues.m_Friction, 0.0002);
  gServoMode = 0;
  gServoModeSwitch = 1;
  Cycle(3);
  ASSERT_EQ(gIsHandGuiding, 0);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(joint(j).m_NewSetValues.m_Friction, 0.0) << "joint " << j + 1;
}

}  // namespace
}  // namespace zelor::test
