// The stage's joint state from the drive feedback, the accelerations, the
// joint-state-only call, and the hand-guiding torques.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "Dynamics/scara_idm.h"
#include "dynamics_stage_fixture.h"

using namespace zelor::test;

namespace {

TEST_F(DynamicsStage, JointStateFromFeedback) {
  const struct {
    double position, velocity;
    float q[4], qd[4];
  } cases[] = {
      // Joints 1, 2 and 4 in degrees become radians through the single-precision π.
      {90.0, 0.0, {1.5707964f, 1.5707964f, 90.0f, 1.5707964f}, {0, 0, 0, 0}},
      {-45.0, 30.0, {-0.78539819f, -0.78539819f, -45.0f, -0.78539819f}, {0.52359879f, 0.52359879f, 30.0f, 0.52359879f}},
      // Joint 3 stays in millimetres as it stands.
      {123.456, -250.5, {2.1547137f, 2.1547137f, 123.456f, 2.1547137f}, {-4.3720499f, -4.3720499f, -250.5f, -4.3720499f}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    for (int j = 0; j < 4; ++j) SetFeedback(j, c.position, c.velocity, 0.0);
    Dynamics(true);
    for (int j = 0; j < 4; ++j) {
      EXPECT_FLOAT_EQ(gDynamicInfo.q[j], c.q[j]) << "joint " << j + 1;
      EXPECT_FLOAT_EQ(gDynamicInfo.qd[j], c.qd[j]) << "joint " << j + 1;
    }
  }
  SetFeedback(0, 90.0, 0.0, 0.0);
  Dynamics(true);
  EXPECT_EQ(gDynamicInfo.q[0], 1.5707964f);
}

TEST_F(DynamicsStage, AccelerationsFromThePreviousVelocity) {
  const double velocities[] = {10.0, 12.5, 12.5, -3.0, 0.0};
  double previous = 0.0;  // the stage starts at rest
  for (double v : velocities) {
    for (int j = 0; j < 4; ++j) SetFeedback(j, 0.0, v, 0.0);
    Dynamics(true);
    for (int j = 0; j < 4; ++j) {
      const double qd = gDynamicInfo.qd[j];
      const double before = j == 2 ? previous : static_cast<float>(previous / 180.0 * 3.1415927410125732);
      EXPECT_EQ(gDynamicInfo.qdd[j], static_cast<float>((qd - before) / 0.004)) << "joint " << j + 1 << " at " << v;
    }
    previous = v;
  }
  // Joint 3: 12.5 mm/s after 10 mm/s is 625 mm/s² over 4 ms.
  for (int j = 0; j < 4; ++j) SetFeedback(j, 0.0, 12.5, 0.0);
  Dynamics(true);
  for (int j = 0; j < 4; ++j) SetFeedback(j, 0.0, 10.0, 0.0);
  Dynamics(true);
  EXPECT_FLOAT_EQ(gDynamicInfo.qdd[2], -625.0f);
}

// With `full` false only q, qd and qdd change: no torques, no records, no
// enable count, no collision.
TEST_F(DynamicsStage, JointStateOnlyCallTouchesNothingElse) {
  AxesGroupRef axes{};
  robotAxesGroup = &axes;
  static tagExcit6Pos records[8];
  std::memset(records, 0xA5, sizeof records);
  g_tagExcit_6Pos = records;
  gExcitMode = 33;
  gRobotPrfMode = kPrfExecute;
  gIsHandGuiding = 1;
  gIsCollisionDect = 1;
  gRobotEnableFlag = 1;
  gSysParams.controlType = 1;
  SetThresholds(-1, -1, -1, -1);  // any armed cycle would collide
  for (int j = 0; j < 4; ++j) gDynamicInfo.tau[j] = 7.0f + static_cast<float>(j);
  for (int j = 0; j < 4; ++j) SetFeedback(j, 10.0, 5.0, 3000.0);

  for (int i = 0; i < 200; ++i) Dynamics(false);
  EXPECT_NE(gDynamicInfo.q[0], 0.0f);
  EXPECT_NE(gDynamicInfo.qd[2], 0.0f);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(gDynamicInfo.tau[j], 7.0f + static_cast<float>(j));
  EXPECT_EQ(g_tagExcit_6Pos_size, 0u);
  tagExcit6Pos untouched;
  std::memset(&untouched, 0xA5, sizeof untouched);
  EXPECT_EQ(std::memcmp(&records[0], &untouched, sizeof untouched), 0);
  EXPECT_EQ(axes.m_CollisionWord, 0u);
  EXPECT_EQ(gCollisionPause, 0);
  EXPECT_TRUE(core.logs.empty());

  // The enable delay did not count those calls: a full call is not armed yet.
  gIsHandGuiding = 0;
  g_tagExcit_6Pos = nullptr;
  Dynamics(true);
  EXPECT_EQ(axes.m_CollisionWord, 0u);
  EXPECT_EQ(gCollisionPause, 0);
}

TEST_F(DynamicsStage, HandGuidingTorquesIntoTheExchangeRecord) {
  const double positions[4] = {20.0, -35.0, 60.0, 10.0};
  const double velocities[4] = {15.0, -40.0, 120.0, 5.0};
  for (int j = 0; j < 4; ++j) gDynamicInfo.tau[j] = -1.0f;
  for (int on : {0, 1}) {
    SCOPED_TRACE(on);
    gIsHandGuiding = static_cast<std::uint8_t>(on);
    for (int j = 0; j < 4; ++j) SetFeedback(j, positions[j], velocities[j], 0.0);
    Dynamics(true);
    float expected[3] = {-1.0f, -1.0f, -1.0f};
    if (on != 0) IdmHandGuiding(expected, gDynamicInfo.q, gDynamicInfo.qd, gDynamicInfo.qdd);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(gDynamicInfo.tau[j], expected[j]) << "joint " << j + 1;
    EXPECT_EQ(gDynamicInfo.tau[3], -1.0f);
  }
  EXPECT_GT(gDynamicInfo.tau[2], 40.0f) << "joint 3 keeps its gravity term";
}

}  // namespace
