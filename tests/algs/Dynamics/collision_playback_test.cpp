// A collision during a running joint move, end to end: the simulated drive
// reports the model's torques of the motion, the dynamics stage runs before
// the playback and the stops each cycle, as the profile stage runs them. A
// normal move raises nothing; an external torque on joint 1 pauses queued
// execution, and the playback's collision branch brings the arm to rest with
// its stop, whatever the conveyor records say.
#include <cmath>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "Dynamics/scara_idm.h"
#include "PTP/stopping/stop_fixture.h"
#include "idm_fixture.h"
#include "json/parameter_globals.h"
#include "support/dynamics_drive.h"

namespace zelor::test {
namespace {

constexpr double kPi = 3.1415927410125732;
constexpr unsigned kConveyorStopAlarm = 106;

// What the tracked conveyor's records say when the collision comes.
struct ConveyorCase {
  const char* name;
  std::uint8_t dataSource;  // third byte of the tracked conveyor's record
  bool encoderInUse;
};

class CollisionPlayback : public Stops, public ::testing::WithParamInterface<ConveyorCase> {
 protected:
  void SetUp() override {
    Stops::SetUp();
    savedParams_ = m_st_basicdynamicparams6;
    savedLoad_ = m_st_loadParams;
    savedConveyor_ = gConveyor0;
    std::memcpy(savedEncoder_, encoder, sizeof savedEncoder_);
    stage_ = std::make_unique<DynamicsStageState>();
    SettleDynamicsStage();
    UseTestArmModel();
    robotAxesGroup = &axes;
    SetThresholds(2.0f, 2.0f, 2.0f, 2.0f);
    gIsCollisionDect = 1;
    gRobotEnableFlag = 1;
    gSysParams.controlType = 1;
  }
  void TearDown() override {
    stage_.reset();
    m_st_basicdynamicparams6 = savedParams_;
    m_st_loadParams = savedLoad_;
    gConveyor0 = savedConveyor_;
    std::memcpy(encoder, savedEncoder_, sizeof savedEncoder_);
    Stops::TearDown();
  }

  // The drive's feedback of the commanded joints at the speeds of the last
  // cycle, with the model torque of that motion plus `disturbance1` on joint 1.
  void feedback(double disturbance1) {
    const Joints q = Commanded();
    float qf[3];
    float qdf[3];
    float qddf[3];
    for (int j = 0; j < 3; ++j) {
      qf[j] = static_cast<float>(j == 2 ? q[j] : q[j] / 180.0 * kPi);
      qdf[j] = static_cast<float>(j == 2 ? gRobotAxisMove.nextVel[j] : gRobotAxisMove.nextVel[j] / 180.0 * kPi);
      qddf[j] = static_cast<float>((qdf[j] - previousQd_[j]) / 0.004);
      previousQd_[j] = qdf[j];
    }
    float tau[3];
    IDM_W7(tau, qf, qdf, qddf);
    for (int j = 0; j < 4; ++j) {
      const double torque = j < 3 ? DriveTorque(j, tau[j]) : 0.0;
      SetFeedback(j, q[j], gRobotAxisMove.nextVel[j], torque + (j == 0 ? DriveTorque(0, disturbance1) : 0.0));
    }
  }
  // One profile-stage cycle: feedback, dynamics, then playback and stops.
  void cycle(double disturbance1 = 0.0) {
    feedback(disturbance1);
    Dynamics(true);
    Cycle();
  }

  AxesGroupRef axes{};

 private:
  st_basicdynamicparams6 savedParams_{};
  st_loadParams savedLoad_{};
  Conveyor savedConveyor_{};
  tagEncoderChannel savedEncoder_[kEncoderChannels]{};
  std::unique_ptr<DynamicsStageState> stage_;
  double previousQd_[3] = {};
};

TEST_P(CollisionPlayback, CollisionPausesTheMoveAndTheStopBringsItToRest) {
  const ConveyorCase& c = GetParam();
  gConveyor0.dataSource = c.dataSource;
  encoder[0].inUse = c.encoderInUse ? 1 : 0;
  const Conveyor conveyorBefore = gConveyor0;
  tagEncoderChannel encoderBefore[kEncoderChannels];
  std::memcpy(encoderBefore, encoder, sizeof encoderBefore);

  StandAt({10, 60, -20, 0});
  ASSERT_TRUE(PlanPTP(4, {70, 20, -60, 30}));
  // Drives enabled for more than 0.5 s before the move starts.
  for (int i = 0; i < 130; ++i) cycle();
  Execute();

  // Moving with the model's torques: nothing external.
  for (int i = 0; i < 80; ++i) {
    cycle();
    ASSERT_EQ(axes.m_CollisionWord, 0u) << "false collision in cycle " << i;
    ASSERT_EQ(gCmdFinishFlag, 0) << "the move is still running";
  }
  ASSERT_GT(std::fabs(gRobotAxisMove.nextVel[0]), 50.0);

  // 5 N·m pushing on joint 1.
  int n = 0;
  for (; n < 30; ++n) {
    feedback(5.0);
    Dynamics(true);
    if (axes.m_CollisionWord != 0) break;
    Cycle();
  }
  ASSERT_EQ(axes.m_CollisionWord, 1u) << "no collision within " << n << " cycles";
  EXPECT_EQ(gCollisionPause, 1);
  EXPECT_EQ(gPauseCmdFlag, 1);
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
  EXPECT_TRUE(logged("collision - Pause \r\n"));
  EXPECT_FALSE(AlarmIsSet(kConveyorStopAlarm));
  EXPECT_EQ(std::memcmp(&gConveyor0, &conveyorBefore, sizeof conveyorBefore), 0) << "conveyor record untouched";
  EXPECT_EQ(std::memcmp(encoder, encoderBefore, sizeof encoderBefore), 0) << "encoder channels untouched";

  // The same cycle's playback takes the collision branch: a smooth stop.
  Cycle();
  EXPECT_EQ(gRobotPrfMode, kPrfStop);
  EXPECT_EQ(gStopMode, kStopSmooth);
  EXPECT_TRUE(logged("MOVJ pause stop \r\n"));
  int stopCycles = 0;
  for (; gRobotPrfMode == kPrfStop && stopCycles < 200; ++stopCycles) cycle(5.0);
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_LE(stopCycles, 40) << "the collision stop is the short one";
  for (int j = 0; j < 4; ++j) EXPECT_EQ(gRobotAxisMove.nextVel[j], 0.0) << "joint " << j + 1 << " at rest";
  EXPECT_FALSE(AlarmIsSet(kConveyorStopAlarm));
  EXPECT_EQ(gPauseCmdFlag, 1) << "the paused move waits to be resumed";
}

INSTANTIATE_TEST_SUITE_P(Conveyor, CollisionPlayback,
                         ::testing::Values(ConveyorCase{"AllowsThePause", 2, false},
                                           ConveyorCase{"EncoderInUse", 2, true},
                                           ConveyorCase{"TriggerKindZero", 0, false}),
                         [](const ::testing::TestParamInfo<ConveyorCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zelor::test
