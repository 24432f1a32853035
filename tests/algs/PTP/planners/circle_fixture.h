#pragma once

// Circles queued through the kernel's command intake (ids 81, 83, 52, 50, 51
// and 102), pre-processed and run cycle by cycle with the queued-move
// stand-in, on the test arm with no tool and no user frame.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "PTP/planners/circle_planner.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"
#include "support/kernel_commands.h"
#include "support/queued_moves_standin.h"

namespace zelor::test {

inline WCSPosition ForwardOf(const double* joints) {
  const JointTheta j{joints[0], joints[1], joints[2], joints[3]};
  WCSPosition pose;
  W7ForwardCal(&j, &pose);
  return pose;
}

inline double DistanceXYZ(const WCSPosition& a, const WCSPosition& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// Every set point of a run, in order.
struct SetPoints {
  std::vector<std::array<double, 4>> joints;
  void Take() {
    joints.push_back({gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], gRobotAxisMove.nextPos[2],
                      gRobotAxisMove.nextPos[3]});
  }
  WCSPosition Pose(std::size_t i) const { return ForwardOf(joints[i].data()); }
  // Largest Cartesian step between consecutive set points from `from` on.
  double LargestStep(std::size_t from = 1) const {
    double largest = 0.0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < joints.size(); ++i) {
      largest = std::max(largest, DistanceXYZ(Pose(i), Pose(i - 1)));
    }
    return largest;
  }
};

// The run phase of circle entries for the entry runner.
inline void RunCircle(PreDealData* cur, PreDealData* next) { Circle(cur, next); }

class CircleMoves : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetQueuedMoveState();
    SetTestArm();
    saved_ = {gPeriodTime, gAccType, gInputShaping, gUsingTrueMotion, gDynamicOptimal};
    gPeriodTime = 0.004;
    gAccType = 1;
    gInputShaping = 0;
    gUsingTrueMotion = 0;
    gDynamicOptimal = 0;
    gSysParams.runQueuedCmd = 1;
    SetCoordinate({200, 200, 1000, 1000, 10000, 10000});
    SetRatios(100, 100);
    SetSpeed(100);
    SetHand(1);
  }
  void TearDown() override {
    gPeriodTime = saved_.period;
    gAccType = saved_.accType;
    gInputShaping = saved_.shaping;
    gUsingTrueMotion = saved_.trueMotion;
    gDynamicOptimal = saved_.dynamic;
    ResetQueuedMoveState();
    KernelCommands::TearDown();
  }

  // Id 81: linear and rotational velocity, acceleration, jerk.
  void SetCoordinate(const tagPTPCoordinateParams& p) {
    ASSERT_EQ(exchange([&](PluginBase& c) { return c.alloc_SetPTPCoordinateParams(&p, 0); }).params[0], 0);
  }
  // Id 83: the velocity and acceleration percentages (the handler derives the rest).
  void SetRatios(float velocity, float acceleration) {
    const tagPTPCommonParams p{100, 100, 100, velocity, velocity, acceleration, acceleration, acceleration,
                               acceleration};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCommonParams(&p, 0); });
  }
  // Id 52: the global speed ratio.
  void SetSpeed(unsigned char ratio) {
    exchange([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(ratio, false); });
  }
  void SetHand(char hand) {
    exchange([&](PluginBase& c) { return c.alloc_SetArmOrientation(hand, 0); });
  }
  void SetTransition(unsigned char transition) {
    exchange([&](PluginBase& c) { return c.alloc_SetTransitionCmd(transition, false); });
  }

  // The look-ahead and the set point at the joints of a base pose (j2 >= 0 for hand 1).
  static void StartAt(const WCSPosition& pose, bool hand = true) {
    JointTheta joints{};
    const tagToolParams tool{};
    ASSERT_EQ(InverseCalBase(&pose, hand, &joints, kCheckSingularity, &tool), 0);
    StartAtJoints(joints);
  }
  static void StartAtJoints(const JointTheta& joints) {
    gPreDealPos.joint = joints;
    std::memcpy(&gSysParams.joint, &joints, sizeof joints);
    const double j[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
    for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = j[i];
  }

  // Id 102 queued; the packed command it made.
  PackedBaseCmd QueueCircle(const tagARCPoint& middle, const tagARCPoint& end, std::uint32_t turns) {
    const tagCircleCmd circle{middle, end, turns};
    exchange([&](PluginBase& c) { return c.alloc_SetCircleCmd(&circle, 1); });
    return entry(queuedCount() - 1);
  }

  // Pre-processes a queued circle; false when it raised an alarm.
  static bool PlanCircle(const PackedBaseCmd& packed) { return PreDealMotion(packed, &CirclePreDeal); }

 private:
  struct Saved {
    double period;
    std::int32_t accType;
    std::uint8_t shaping, trueMotion, dynamic;
  } saved_{};
};

}  // namespace zelor::test
