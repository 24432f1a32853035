#pragma once

// Jumps planned from real packets: the motion parameters (ids 52, 80, 83,
// 87) and the move (id 84, mode 0 or 3) go through the command intake, the
// packed command is pre-processed by the pipeline stand-in, and the entry
// runs cycle by cycle with every set point recorded.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"
#include "support/kernel_commands.h"
#include "support/queued_moves_standin.h"

namespace zelor::test {

using Joints = std::array<double, 4>;

// Per-joint limits given to id 80 (before the ratios).
inline constexpr Joints kJumpVelocity = {200, 200, 500, 600};
inline constexpr Joints kJumpAcceleration = {400, 400, 1000, 1200};
inline constexpr Joints kJumpJerk = {4000, 4000, 10000, 12000};

inline void JumpPreDealStep(PackedBaseCmd* cmd, PreDealData*, PreDealData* entry) { JUMPPreDeal(cmd, entry); }
inline void JumpRunStep(PreDealData* cur, PreDealData*) { JUMP(cur); }

inline int JumpAlarmCount() {
  int n = 0;
  for (std::uint8_t byte : gAlarmSysState) n += std::popcount(byte);
  return n;
}

inline Joints JumpSetPoint() {
  return {gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], gRobotAxisMove.nextPos[2], gRobotAxisMove.nextPos[3]};
}

// The stage times read as the speed-change pass reads them: the first, then
// the three adjacent ones in record order.
struct StageTimes {
  double lift;          // T_up
  double jointStart;    // t_j
  double descentStart;  // t_s
  double duration;      // D
};
inline StageTimes StageTimesOf(const PreDealData& e) {
  StageTimes s;
  s.lift = e.jumpStageTime1;
  const double* adjacent = &e.jumpStageTime2;
  s.jointStart = adjacent[0];
  s.descentStart = adjacent[1];
  s.duration = adjacent[2];
  return s;
}

class JumpMoves : public KernelCommands {
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
    setJointParams(kJumpVelocity, kJumpAcceleration, kJumpJerk);
    setRatios(100, 100);
    setHeights(20, 20, 50);
    startAt({10, 60, -20, 0});
  }
  void TearDown() override {
    ResetQueuedMoveState();
    for (int i = 0; i < kShapingChannels; ++i) vInitShape(i, {0.0, kShapingOffFrequency, 0.004});
    gAccType = 0;
    gMinAccT1 = 0.08;
    gDynamicOptimal = 0;
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
  void setHeights(float startJumpHeight, float endJumpHeight, float zLimit) {
    const tagPTPJump2Params heights{startJumpHeight, endJumpHeight, zLimit};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPJump2Params(&heights, false); });
  }
  // The pre-processing position, the measured joints and the set point.
  static void startAt(const Joints& j) {
    gPreDealPos.joint = {j[0], j[1], j[2], j[3]};
    SetMeasured({j[0], j[1], j[2], j[3]});
    for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = j[i];
  }

  // Queues a jump through id 84 and takes its packed command out of the queue.
  PackedBaseCmd packJump(std::uint8_t mode, const Joints& values) {
    const tagPTPCmd move{mode, static_cast<float>(values[0]), static_cast<float>(values[1]),
                         static_cast<float>(values[2]), static_cast<float>(values[3])};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
    EXPECT_EQ(queuedCount(), 1u) << "the jump is queued";
    const PackedBaseCmd packed = entry(0);
    RingBufferDequeue(&gPackedCmdQueue, nullptr);
    return packed;
  }
  // Plans a jump as the pre-processing does; false when it was refused.
  bool planJump(std::uint8_t mode, const Joints& values) {
    return PreDealMotion(packJump(mode, values), &JumpPreDealStep);
  }
  static PreDealData& planned() { return *PlannedEntry(gPreDealDataQueue.count - 1); }

  // Runs the planned entries; the set point of every cycle.
  static std::vector<Joints> runAll(int maxCycles = 20000) {
    std::vector<Joints> points;
    EntryRunner runner(&JumpRunStep);
    runner.Run(maxCycles, [&] { points.push_back(JumpSetPoint()); });
    return points;
  }
};

}  // namespace zelor::test
