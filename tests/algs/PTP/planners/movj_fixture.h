#pragma once

// Joint moves planned from real packets: the motion parameters and the move
// go through the command intake (ids 52, 80, 83, 51, 84, 88), the packed
// command is taken out of the queue and pre-processed by the pipeline
// stand-in, and the entries run cycle by cycle with the set point recorded.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"
#include "support/kernel_commands.h"
#include "support/queued_moves_standin.h"

namespace zelor::test {

using Joints = std::array<double, 4>;

// Per-joint limits given to id 80 in the fixture (before the ratios).
inline constexpr Joints kVelocity = {200, 200, 500, 600};
inline constexpr Joints kAcceleration = {400, 400, 1000, 1200};
inline constexpr Joints kJerk = {4000, 4000, 10000, 12000};

// A Cartesian entry's cycle for the tests, standing in for the linear and arc
// run phases: the pose from its profile, solved into joints.
inline void CartesianRunStandIn(PreDealData* cur, PreDealData* next) {
  gPeriodCount += 1;
  WCSPosition pose{};
  MOVLCMain(gPeriodCount * gPeriodTime, cur, next, &pose);
  JointTheta joints{};
  InverseCalBase(&pose, cur->armOrientation != 0, &joints, kCheckSingularity, &cur->toolParams);
  gRobotAxisMove.nextPos[0] = joints.j1;
  gRobotAxisMove.nextPos[1] = joints.j2;
  gRobotAxisMove.nextPos[2] = joints.j3;
  gRobotAxisMove.nextPos[3] = joints.j4;
  if (cur->trajPlan.noMotion != 0) {
    gPeriodCount = 0;
    gCmdFinishFlag = 1;
  }
}

// The playback's dispatch by motion type, for the moves these tests plan.
inline void PlayBackStandIn(PreDealData* cur, PreDealData* next) {
  if (IsMotiontypeBelongto(static_cast<int>(cur->motionType), 0)) {
    MOVJ(cur, next);
  } else {
    CartesianRunStandIn(cur, next);
  }
}

inline int AlarmCount() {
  int n = 0;
  for (std::uint8_t byte : gAlarmSysState) n += std::popcount(byte);
  return n;
}

inline Joints SetPoint() {
  return {gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], gRobotAxisMove.nextPos[2], gRobotAxisMove.nextPos[3]};
}

inline Joints PreDealJoints() {
  return {gPreDealPos.joint.j1, gPreDealPos.joint.j2, gPreDealPos.joint.j3, gPreDealPos.joint.j4};
}

class JointMoves : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetQueuedMoveState();
    SetTestArm();
    gAccType = 1;
    gDynamicOptimal = 0;
    gUsingTrueMotion = 0;
    gInputShaping = 0;
    gMinAccT1 = 0.08;
    setSpeedFactor(100);
    setJointParams(kVelocity, kAcceleration, kJerk);
    setRatios(100, 100);
    startAt({10, 60, -20, 0});
  }
  void TearDown() override {
    ResetQueuedMoveState();
    gAccType = 0;
    gMinAccT1 = 0.08;
    gDynamicOptimal = 0;
    gUsingTrueMotion = 0;
    gInputShaping = 0;
    gLoad = {};
    gLoadFullParams = {};
    KernelCommands::TearDown();
  }

  void setSpeedFactor(std::uint8_t percent) {
    exchange([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(percent, false); });
  }
  void setJointParams(const Joints& v, const Joints& a, const Joints& j) {
    tagPTPJointParams params{};
    for (int i = 0; i < 4; ++i) {
      params.velocity[i] = static_cast<float>(v[i]);
      params.acceleration[i] = static_cast<float>(a[i]);
      params.jerk[i] = static_cast<float>(j[i]);
    }
    exchange([&](PluginBase& c) { return c.alloc_SetPTPJointParams(&params, 0); });
  }
  void setRatios(float velocity, float acceleration) {
    tagPTPCommonParams common{};
    common.velocityRatio = velocity;
    common.accelerationRatio = acceleration;
    common.xyzVelocityRatio = 100;
    common.xyzAccelerationRatio = 100;
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCommonParams(&common, 0); });
  }
  void setTransition(std::uint8_t percent) {
    exchange([&](PluginBase& c) { return c.alloc_SetTransitionCmd(percent, false); });
  }
  void setArm(char arm) {
    exchange([&](PluginBase& c) { return c.alloc_SetArmOrientation(arm, 0); });
  }
  // The pre-processing position and the measured joints.
  static void startAt(const Joints& j) {
    gPreDealPos.joint = {j[0], j[1], j[2], j[3]};
    SetMeasured({j[0], j[1], j[2], j[3]});
    gRobotAxisMove.nextPos[0] = j[0];
    gRobotAxisMove.nextPos[1] = j[1];
    gRobotAxisMove.nextPos[2] = j[2];
    gRobotAxisMove.nextPos[3] = j[3];
  }

  // Queues a move through id 84 and takes its packed command out of the queue.
  PackedBaseCmd packMove(std::uint8_t mode, const Joints& values) {
    const tagPTPCmd move{mode, static_cast<float>(values[0]), static_cast<float>(values[1]),
                         static_cast<float>(values[2]), static_cast<float>(values[3])};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
    EXPECT_EQ(queuedCount(), 1u) << "the move is queued";
    const PackedBaseCmd packed = entry(0);
    RingBufferDequeue(&gPackedCmdQueue, nullptr);
    return packed;
  }
  // Plans a move as the pre-processing does; false when it was refused.
  bool planMove(std::uint8_t mode, const Joints& values) {
    return PreDealMotion(packMove(mode, values), &MOVJPreDeal);
  }
  // The last planned entry.
  static PreDealData& lastPlanned() { return *PlannedEntry(gPreDealDataQueue.count - 1); }

  // Runs every planned entry; the set point of each cycle.
  static std::vector<Joints> runAll(int maxCycles = 20000) {
    std::vector<Joints> points;
    EntryRunner runner(&PlayBackStandIn);
    runner.Run(maxCycles, [&] { points.push_back(SetPoint()); });
    return points;
  }
};

}  // namespace zelor::test
