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
#include "PTP/planners/movc.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movl.h"
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

// The playback's dispatch by motion type, for the moves these tests plan.
inline void PlayBack(PreDealData* cur, PreDealData* next) {
  if (cur->motionType == 11) {
    Circle(cur, next);
  } else if (IsMotiontypeBelongto(static_cast<int>(cur->motionType), 0)) {
    MOVJ(cur, next);
  } else if (cur->motionType == 2 || cur->motionType == 5 || cur->motionType == 7) {
    MOVL(cur, next);
  } else if (cur->motionType == 10) {
    MOVC(cur, next);
  }
}

// Runs a copy of one planned entry alone from its start, blending into
// `next` when given; its set points.
template <typename RunPhase>
SetPoints RunAlone(PreDealData entry, PreDealData* next, RunPhase runPhase, int maxCycles = 100000) {
  SetPoints points;
  gPeriodCount = 0;
  gPeriodCount1 = 0;
  gCmdFinishFlag = 0;
  for (int i = 0; i < maxCycles && gCmdFinishFlag == 0; ++i) {
    CycleStartNow();
    runPhase(&entry, next);
    points.Take();
  }
  return points;
}

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

  // Id 102 queued; the packed command it made, taken out of the queue.
  PackedBaseCmd QueueCircle(const tagARCPoint& middle, const tagARCPoint& end, std::uint32_t turns) {
    const tagCircleCmd circle{middle, end, turns};
    exchange([&](PluginBase& c) { return c.alloc_SetCircleCmd(&circle, 1); });
    return Dequeued();
  }
  // Id 84 queued.
  PackedBaseCmd QueueMove(std::uint8_t mode, float x, float y, float z, float r) {
    const tagPTPCmd move{mode, x, y, z, r};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
    return Dequeued();
  }
  // Id 80: joint velocity, acceleration and jerk, the same for every joint.
  void SetJointLimits(float v, float a, float j) {
    tagPTPJointParams p{};
    for (int i = 0; i < 4; ++i) {
      p.velocity[i] = v;
      p.acceleration[i] = a;
      p.jerk[i] = j;
    }
    exchange([&](PluginBase& c) { return c.alloc_SetPTPJointParams(&p, 0); });
  }

  // A circle through (250, 50) and (200, 0) from (300, 0) at z = -50,
  // counterclockwise about (250, 0, -50) with R = 50, planned and queued.
  void PlanAboutTheCentre(std::uint32_t turns, float endR = 0.0f) {
    StartAt({300, 0, -50, 0});
    ASSERT_TRUE(PlanCircle(QueueCircle({250, 50, -50, 0}, {200, 0, -50, endR}, turns)));
  }

  // Runs the planned entries until the running one has passed `fraction` of
  // its profile; every set point goes into `points`.
  static void RunUntil(EntryRunner& runner, double fraction, SetPoints& points) {
    while (runner.Cycle()) {
      points.Take();
      if (gPreDealData.pathParam >= fraction * gPreDealData.trajPlan.dist) return;
    }
    ADD_FAILURE() << "the move ended before " << fraction << " of its path";
  }

  // What the path stop leaves in a circle entry that stands at profile
  // position p, with the arm at rest at the set point of that cycle.
  static void StopAt(PreDealData& e, double p) {
    e.arcAngleRun = p * e.arcShare / e.arcRadius;
    e.arcRemaining = e.arcRadius * e.arcAngle - p * e.arcShare;
    e.arcRemainingR = e.arcRDir * e.arcRTravel - p * e.arcDeltaR;
    std::memcpy(&gSysParams.joint, gRobotAxisMove.nextPos, sizeof gSysParams.joint);
  }

  // What the speed-change pass does around the circle's re-plan.
  static void SpeedChangeRePlan() {
    std::memcpy(&gPreDealPos.joint, &gSysParams.joint, sizeof gPreDealPos.joint);
    gPreDealData.trajPlan.variableSpeed = 1;
    gPreDealData.isReplan = 1;
    CircleNewPlan(&gPreDealData.packedCmd, nullptr, &gPreDealData);
    gPeriodCount = 0;
    gPeriodCount1 = 0;
  }

  PackedBaseCmd Dequeued() {
    EXPECT_EQ(queuedCount(), 1u) << "the move is queued";
    const PackedBaseCmd packed = entry(0);
    RingBufferDequeue(&gPackedCmdQueue, nullptr);
    return packed;
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
