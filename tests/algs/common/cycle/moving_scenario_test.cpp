// Queued moves, a jog and its emergency stop running on the simulated
// drive: targets reached, run data matching the record, torque
// feed-forward, and the host's own fields never written.

#include <gtest/gtest.h>

#include <cmath>

#include "common/kernel/alarms.h"
#include "common/kernel/run_data.h"
#include "json/parameter_globals.h"
#include "moving_program.h"

namespace zelor::test {
namespace {

class MovingScenario : public CycleRig {
 protected:
  void SetUp() override {
    CycleRig::SetUp();
    Start();
  }
  bool AnyAlarm() const {
    for (int i = 8; i < 256; ++i) {
      if (AlarmIsSet(static_cast<unsigned>(i))) return true;
    }
    return false;
  }
};

TEST_F(MovingScenario, QueuedJointAndLinearMovesReachTheirTargets) {
  FixedCore fixed;
  MovingProgram program(*sim, fixed);
  program.Enable();
  ASSERT_EQ(gRobotEnableFlag, 1);
  program.StartQueue();
  ASSERT_EQ(gSysParams.runQueuedCmd, 1);

  const JointTheta a{20.0, 70.0, 80.0, 10.0};
  program.Post(PtpPacket(4, 20.0f, 70.0f, 80.0f, 10.0f));
  bool agree = true;
  for (int i = 0; i < 600 && agree; ++i) {
    program.Cycle();
    for (int j = 0; j < 4; ++j) {
      agree = agree && gAlgsRunData.cmdJointPos[j] == joint(j).m_NewSetValues.m_Position &&
              gAlgsRunData.cmdJointVel[j] == gRobotAxisMove.nextVel[j];
    }
  }
  EXPECT_TRUE(agree) << "run data 0 and 48 follow the record's set positions and the speeds";
  EXPECT_FALSE(AnyAlarm());
  EXPECT_NEAR(joint(0).m_ActPosition, a.j1, 1e-6);
  EXPECT_NEAR(joint(1).m_ActPosition, a.j2, 1e-6);
  EXPECT_NEAR(joint(2).m_ActPosition, a.j3, 1e-6);
  EXPECT_NEAR(joint(3).m_ActPosition, a.j4, 1e-6);

  const WCSPosition target = PoseOf({-10.0, 100.0, 120.0, -20.0});
  program.Post(PtpPacket(2, static_cast<float>(target.x), static_cast<float>(target.y),
                         static_cast<float>(target.z), static_cast<float>(target.r)));
  const bool ran = program.RunQueue(1000);
  ASSERT_TRUE(ran);
  EXPECT_FALSE(AnyAlarm());
  const JointTheta actual{joint(0).m_ActPosition, joint(1).m_ActPosition, joint(2).m_ActPosition,
                          joint(3).m_ActPosition};
  const WCSPosition reached = PoseOf(actual);
  EXPECT_NEAR(reached.x, static_cast<float>(target.x), 1e-3);
  EXPECT_NEAR(reached.y, static_cast<float>(target.y), 1e-3);
  EXPECT_NEAR(reached.z, static_cast<float>(target.z), 1e-3);
}

TEST_F(MovingScenario, TorqueFeedForwardReachesRecordAndRunData) {
  FixedCore fixed;
  MovingProgram program(*sim, fixed);
  program.Enable();
  program.StartQueue();
  const st_basicdynamicparams6 savedModel = m_st_basicdynamicparams6;
  m_st_basicdynamicparams6.ZZ1 = 0.5f;
  m_st_basicdynamicparams6.ZZ2 = 0.2f;
  m_st_basicdynamicparams6.M3 = 2.0f;
  m_st_basicdynamicparams6.FV1 = 0.1f;
  gTorqueFeedforward = 1;
  program.Post(PtpPacket(4, 30.0f, 60.0f, 50.0f, 0.0f));
  bool agree = true;
  bool nonZero = false;
  for (int i = 0; i < 300; ++i) {
    program.Cycle();
    for (int j = 0; j < 4; ++j) {
      agree = agree && joint(j).m_TorqueFeedForward == gRobotAxisMove.aux[j] &&
              gAlgsRunData.aux[j] == gRobotAxisMove.aux[j];
      nonZero = nonZero || (j < 3 && gRobotAxisMove.aux[j] != 0.0);
    }
    EXPECT_EQ(gRobotAxisMove.aux[3], 0.0);
  }
  EXPECT_TRUE(agree);
  EXPECT_TRUE(nonZero) << "the model gives torques while moving";
  gTorqueFeedforward = 0;
  m_st_basicdynamicparams6 = savedModel;
  program.Cycle();
  for (int j = 0; j < 4; ++j) EXPECT_EQ(joint(j).m_TorqueFeedForward, 0.0);
}

TEST_F(MovingScenario, EmergencyStopFromJogRestsWithin25Cycles) {
  FixedCore fixed;
  gSysParams.jogJointParams.velocity[0] = 10.0f;
  block.jogJoint.velocity[0] = 10.0f;
  Reload();
  MovingProgram program(*sim, fixed);
  program.Enable();
  const tagJOGCmd jog{1, 1};
  program.Post(Built([&](PluginBase& c) { return c.alloc_SetJOGCmd(&jog, 0); }));
  program.Cycle(80);
  ASSERT_EQ(gRobotPrfMode, kPrfJogJoint);
  ASSERT_NEAR(gRobotAxisMove.nextVel[0], 10.0, 0.5);
  SetStopParams(kStopEmergency);
  int rest = -1;
  for (int n = 1; n <= 40 && rest < 0; ++n) {
    program.Cycle();
    if (std::fabs(gRobotAxisMove.nextVel[0]) < 1e-5) rest = n;
  }
  EXPECT_GT(rest, 0);
  EXPECT_LE(rest, 25);
  program.Cycle();
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
}

TEST_F(MovingScenario, HostFieldsNeverWrittenAfterThousandCycles) {
  FixedCore fixed;
  MovingProgram program(*sim, fixed);
  sim->SetConveyorRamp(0, 50);
  program.Enable();
  program.StartQueue();
  program.QueueProgram();
  program.RunQueue(1000 - static_cast<int>(program.cycles()));
  program.Cycle(static_cast<int>(1000 - program.cycles()));
  const AxesGroupRef& g = rec();
  for (const AxesGroupJoint& j : g.m_Joints) {
    EXPECT_EQ(j.m_ControlWord, 0u);
    EXPECT_EQ(j.m_EStopDecel, 0.0);
    EXPECT_EQ(j.m_Simulated, 0u);
    EXPECT_EQ(j.reserved0, 0u);
    for (std::uint32_t w : j.reserved1) EXPECT_EQ(w, 0u);
    for (std::uint8_t b : j.reserved2) ASSERT_EQ(b, 0);
  }
  EXPECT_EQ(g.m_CollisionWord, 0u);
  EXPECT_EQ(g.m_Signature, 0u);
  EXPECT_EQ(g.m_LightCode, 0);
  EXPECT_EQ(g.m_AppModeDone, 0u);
  for (std::uint8_t b : g.reserved0) EXPECT_EQ(b, 0);
  EXPECT_EQ(g.reserved1, 0u);
  for (std::uint8_t b : g.reserved2) ASSERT_EQ(b, 0);
}

}  // namespace
}  // namespace zelor::test
