#pragma once

// Queued programs run through the real pipeline: commands go in as packets
// through the stand-in core table (or, for types whose handlers come later,
// as packed commands), and a small cycle driver runs the command intake, the
// pre-processing and the execution once per simulated cycle. Until the
// profile stage exists the driver plays its part for moves: it runs the
// executing entry's run phase.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "PTP/pipeline/entry_runner.h"
#include "PTP/pipeline/pre_deal.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movl.h"
#include "common/command/command_intake.h"
#include "common/kernel/alarms.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kinematics/kinematics.h"
#include "support/kernel_commands.h"

namespace zelor::test {

// The playback's dispatch by motion type, standing in for the profile stage.
inline void RunPhase() {
  PreDealData* cur = &gPreDealData;
  PreDealData* next = gpNextPreDealData != nullptr ? &gNextPreDealData : nullptr;
  switch (cur->motionType) {
    case 0:
    case 3:
      JUMP(cur);
      return;
    case 1:
    case 4:
    case 6:
    case 8:
      MOVJ(cur, next);
      return;
    case 2:
    case 5:
    case 7:
      MOVL(cur, next);
      return;
    case 10:
      MOVC(cur, next);
      return;
    case 11:
      Circle(cur, next);
      return;
    default:
      return;
  }
}

inline double Joint(int i) { return gRobotAxisMove.nextPos[i]; }

class QueuedPipeline : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    saved_ = {gPeriodTime, gAccType, gInputShaping, gUsingTrueMotion, gDynamicOptimal, gSystick};
    ResetPipelineState();
    SetTestArm();
    gPeriodTime = 0.004;
    gAccType = 1;
    gInputShaping = 0;
    gUsingTrueMotion = 0;
    gDynamicOptimal = 0;
    gSystick = 0;
    setCoordinate({200, 200, 1000, 1000, 10000, 10000});
    setJointLimits(200, 400, 4000);
    setRatios(100, 100);
    setSpeed(100);
    setHand(1);
    // As the queue's start command leaves it: nothing in execution.
    gSysParams.runQueuedCmd = 1;
    gCmdFinishFlag = 1;
    gbModifySpeedRatio = 0;
    startAt({300, 0, -50, 0});
  }
  void TearDown() override {
    gPeriodTime = saved_.period;
    gAccType = saved_.accType;
    gInputShaping = saved_.shaping;
    gUsingTrueMotion = saved_.trueMotion;
    gDynamicOptimal = saved_.dynamic;
    gSystick = saved_.systick;
    ResetPipelineState();
    KernelCommands::TearDown();
  }

  static void ResetPipelineState() {
    gPreDealPos = {};
    gPreDealData = {};
    gNextPreDealData = {};
    gpNextPreDealData = nullptr;
    gpThirdPreDealData = nullptr;
    gPeriodCount = 0;
    gPeriodCount1 = 0;
    gPauseCmdFlag = 0;
    gCmdFinishFlag = 0;
    gOutObj = {};
    blendSeg.reset();
    fstPath = PathInfo{};
    secPath = PathInfo{};
  }

  // --- motion parameters through their packets ---
  void setCoordinate(const tagPTPCoordinateParams& p) {
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCoordinateParams(&p, 0); });
  }
  void setJointLimits(float v, float a, float j) {
    tagPTPJointParams p{};
    for (int i = 0; i < 4; ++i) {
      p.velocity[i] = v;
      p.acceleration[i] = a;
      p.jerk[i] = j;
    }
    exchange([&](PluginBase& c) { return c.alloc_SetPTPJointParams(&p, 0); });
  }
  void setRatios(float velocity, float acceleration) {
    const tagPTPCommonParams p{100, 100, 100, velocity, velocity, acceleration, acceleration, acceleration,
                               acceleration};
    exchange([&](PluginBase& c) { return c.alloc_SetPTPCommonParams(&p, 0); });
  }
  void setSpeed(unsigned char ratio) {
    exchange([&](PluginBase& c) { return c.alloc_SetSpeedFactorParams(ratio, false); });
  }
  void setHand(char hand) {
    exchange([&](PluginBase& c) { return c.alloc_SetArmOrientation(hand, 0); });
  }
  void setTransition(unsigned char transition) {
    exchange([&](PluginBase& c) { return c.alloc_SetTransitionCmd(transition, false); });
  }

  // The look-ahead and the set point at the joints of a base pose.
  static void startAt(const WCSPosition& pose) {
    JointTheta joints{};
    const tagToolParams tool{};
    ASSERT_EQ(InverseCalBase(&pose, true, &joints, kCheckSingularity, &tool), 0);
    gPreDealPos.joint = joints;
    gPreDealPos.pose = pose;
    std::memcpy(&gSysParams.joint, &joints, sizeof joints);
    const double j[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
    for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = j[i];
  }

  // --- queued commands ---
  std::uint64_t move(std::uint8_t mode, float x, float y, float z, float r) {
    const tagPTPCmd m{mode, x, y, z, r};
    return replyIndex(exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&m, 1); }));
  }
  std::uint64_t line(float x, float y, float z, float r = 0) { return move(2, x, y, z, r); }
  std::uint64_t moveWithOutput(std::uint8_t mode, float x, float y, float z, float r,
                               const tagParallelOutputCmd& output) {
    const tagPTPCmd m{mode, x, y, z, r};
    return replyIndex(exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&m, &output, 1, true); }));
  }
  std::uint64_t circle(const tagARCPoint& middle, const tagARCPoint& end, std::uint32_t turns) {
    const tagCircleCmd m{middle, end, turns};
    return replyIndex(exchange([&](PluginBase& c) { return c.alloc_SetCircleCmd(&m, 1); }));
  }
  std::uint64_t wait(std::uint32_t ms) {
    const tagWAITCmd w{ms};
    return replyIndex(exchange([&](PluginBase& c) { return c.alloc_SetWAITCmd(&w, 1); }));
  }
  std::uint64_t trig(std::uint8_t address, std::uint16_t value) {
    const tagTRIGCmd t{address, 0, 0, value};
    return replyIndex(exchange([&](PluginBase& c) { return c.alloc_SetTRIGCmd(&t, 1); }));
  }

  // A packed command of a type whose handler comes later, queued as the
  // handlers queue (index = enqueued total + 1).
  static std::uint64_t push(PackedBaseCmd cmd) {
    cmd.queuedCmdIndex = gPackedCmdQueue.enqueuedTotal + 1;
    RingBufferEnqueue(&gPackedCmdQueue, &cmd);
    return cmd.queuedCmdIndex;
  }
  static PackedBaseCmd output(std::uint32_t index, std::uint8_t level) {
    PackedBaseCmd cmd{};
    cmd.type = kPackedIODO;
    cmd.body.ioDO.index = index;
    cmd.body.ioDO.level = level;
    return cmd;
  }
  struct GroupItem {
    std::uint32_t address;
    std::uint8_t level;
    std::uint8_t valid;
  };
  static PackedBaseCmd group(std::uint32_t count, std::initializer_list<GroupItem> items) {
    PackedBaseCmd cmd{};
    cmd.type = kPackedMulIODO;
    int i = 0;
    for (const GroupItem& item : items) {
      cmd.body.mulIODO.DO[i].address = item.address;
      cmd.body.mulIODO.DO[i].level = item.level;
      cmd.body.mulIODO.DO[i].isQueued = item.valid;
      ++i;
    }
    cmd.body.mulIODO.count = count;
    return cmd;
  }
  static PackedBaseCmd frame(std::uint32_t type, float x, float y, float z, float r) {
    PackedBaseCmd cmd{};
    cmd.type = type;
    const tagCoordParamsFull f{0, x, y, z, r};
    if (type == kPackedToolParams) {
      cmd.body.toolParams = f;
    } else {
      cmd.body.localParams = f;
    }
    return cmd;
  }

  // --- the cycle driver ---
  // One simulated cycle; runMotion plays the profile stage for moves: the
  // run phase and the commanded joints.
  void cycle(bool runMotion = true) {
    CycleStartNow();
    ClassifyAllCmd();
    PreDealDataCalculate(&gPackedCmdQueue, &gPreDealDataQueue);
    PreDealDataRunning(&gPreDealDataQueue);
    if (runMotion && gSysParams.runQueuedCmd != 0 && gRobotPrfMode == kPrfExecute && gCmdFinishFlag == 0) {
      RunPhase();
      // The profile stage keeps the commanded joints in the system parameters.
      std::memcpy(&gSysParams.joint, gRobotAxisMove.nextPos, sizeof gSysParams.joint);
    }
    ++gSystick;
  }
  // Cycles until `done` holds (checked after each cycle); false after maxCycles.
  template <typename Done>
  bool cycleUntil(Done&& done, int maxCycles = 20000, bool runMotion = true) {
    for (int i = 0; i < maxCycles; ++i) {
      cycle(runMotion);
      if (done()) return true;
    }
    return false;
  }
  // Ends the move in execution as the profile stage would.
  static void finishMove() {
    gPeriodCount = 0;
    gCmdFinishFlag = 1;
  }

  static std::uint32_t packedCount() { return gPackedCmdQueue.count; }
  static std::uint32_t plannedCount() { return gPreDealDataQueue.count; }
  static PreDealData& planned(std::uint32_t k) {
    return *reinterpret_cast<PreDealData*>(RingBufferAt(&gPreDealDataQueue, k));
  }
  int logCount(const std::string& line) const {
    int n = 0;
    for (const std::string& l : core.logs) n += l == line ? 1 : 0;
    return n;
  }
  int logCountStartingWith(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : core.logs) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

 private:
  struct Saved {
    double period;
    std::int32_t accType;
    std::uint8_t shaping;
    std::uint8_t trueMotion;
    std::uint8_t dynamic;
    std::uint32_t systick;
  } saved_{};
};

}  // namespace zelor::test
