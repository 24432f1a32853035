#pragma once

// Lines and arcs queued through real packets (ids 81, 83, 84, 88, 101),
// planned by the pre-processing stand-in and run cycle by cycle with the
// hand-over stand-in. Each cycle's set point becomes the actual joints.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "PTP/path/arc_point.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movl.h"
#include "common/kinematics/conveyor_track.h"
#include "common/kinematics/frames.h"
#include "support/kernel_commands.h"
#include "support/queued_moves_standin.h"

namespace zelor::test {

// Cartesian limits of the fixture (all ratios 100, speed factor 100).
inline constexpr double kVL = 400.0, kAL = 2000.0, kJL = 40000.0;
inline constexpr double kVR = 180.0, kAR = 900.0, kJR = 18000.0;

// Run phase by motion type, as the playback dispatches it.
inline void PlayCartesian(PreDealData* cur, PreDealData* next) {
  if (cur->motionType == 10) {
    MOVC(cur, next);
  } else {
    MOVL(cur, next);
  }
}

inline void SetActual(const JointTheta& joints) {
  std::memcpy(reinterpret_cast<char*>(&gSysParams) + offsetof(tagSysParams, joint), &joints, sizeof joints);
}

inline JointTheta JointsOf(const double* q) { return {q[0], q[1], q[2], q[3]}; }

// Tool-tip pose of joints in the base frame with the entry-less zero tool.
inline WCSPosition PoseOf(const JointTheta& joints, const tagToolParams& tool = {}) {
  tagGPose at{};
  at.joint = joints;
  WCSPosition pose;
  ForwardCalBase(&at, &pose, &tool);
  return pose;
}

inline JointTheta SolveBase(const WCSPosition& pose, bool arm) {
  JointTheta joints{};
  const tagToolParams tool{};
  EXPECT_EQ(InverseCalBase(&pose, arm, &joints, kCheckSingularity, &tool), kKinOk);
  return joints;
}

// One cycle's set point and the entry it belongs to (1-based count of entries started).
struct Sample {
  JointTheta joints;
  int entry;
};

class CartMoves : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    ResetQueuedMoveState();
    SetTestArm();
    gAccType = 1;
    gPeriodTime = 0.004;
    gUsingTrueMotion = 0;
    gDynamicOptimal = 0;
    gInputShaping = 0;
    gInputECP = 0;
    gOutObj = {};
    gConveyor0 = {};
    std::memset(gCurrentEncoder, 0, sizeof gCurrentEncoder);
    gCnvTimeCompensation = 0;
    gConvPointOffset = {};
    track1.desync();
    gSysParams.speedFactorRatio = 100.0f;
    gSysParams.transition = 0;
    gSysParams.armOrientation = 1;
    const tagPTPCoordinateParams coord{static_cast<float>(kVL), static_cast<float>(kVR), static_cast<float>(kAL),
                                       static_cast<float>(kAR), static_cast<float>(kJL), static_cast<float>(kJR)};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCoordinateParams(&coord, 0); });
    const tagPTPCommonParams common{100, 100, 100, 100, 100, 100, 100, 100, 100};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCommonParams(&common, 0); });
  }
  void TearDown() override {
    ResetQueuedMoveState();
    track1.desync();
    gAccType = 0;
    gInputECP = 0;
    KernelCommands::TearDown();
  }

  // The look-ahead and the actual joints at `joints`.
  void StartAt(const JointTheta& joints) {
    gPreDealPos.joint = joints;
    gPreDealPos.pose = PoseOf(joints);
    SetActual(joints);
  }

  // Queues a move and pre-processes it; false when the planner refused it.
  bool QueueLine(std::uint8_t mode, float x, float y, float z, float r) {
    const tagPTPCmd move{mode, x, y, z, r};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
    return PreDealMotion(takePacked(), &MOVLPreDeal);
  }
  bool QueueArc(const WCSPosition& mid, const WCSPosition& end) {
    const tagARCCmd arc{{static_cast<float>(mid.x), static_cast<float>(mid.y), static_cast<float>(mid.z),
                         static_cast<float>(mid.r)},
                        {static_cast<float>(end.x), static_cast<float>(end.y), static_cast<float>(end.z),
                         static_cast<float>(end.r)}};
    exchange([&](PluginBase& c) { return c.alloc_SetARCCmd(&arc, 1); });
    return PreDealMotion(takePacked(), &MOVCPreDeal);
  }

  // Runs every planned entry; each cycle's set point becomes the actual
  // joints and is recorded with the entry it belongs to.
  std::vector<Sample> RunAll(int maxCycles = 20000) {
    std::vector<Sample> samples;
    EntryRunner runner(&PlayCartesian);
    runner.Run(maxCycles, [&] {
      const JointTheta q = JointsOf(gRobotAxisMove.nextPos);
      SetActual(q);
      samples.push_back({q, runner.started()});
    });
    return samples;
  }

  static int AlarmCount() {
    int n = 0;
    for (int i = 8; i < 256; ++i) n += AlarmIsSet(static_cast<unsigned>(i)) ? 1 : 0;
    return n;
  }

 private:
  // The packed command just queued, removed from the packed ring.
  PackedBaseCmd takePacked() {
    PackedBaseCmd packed = entry(queuedCount() - 1);
    PackedBaseCmd drop;
    while (queuedCount() > 0) RingBufferDequeue(&gPackedCmdQueue, &drop);
    return packed;
  }
};

}  // namespace zelor::test
