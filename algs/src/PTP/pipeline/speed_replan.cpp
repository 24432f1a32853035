// Re-planning the entry in execution and the queued entries after a change
// of the speed ratio.
#include "PTP/pipeline/speed_replan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "PTP/pipeline/pre_deal.h"
#include "PTP/pipeline/ring_entries.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movl.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr double kArcRestRad = 0.1;

// Outputs not fired yet keep their instant: the entry's clock restarts at 0.
void RebaseParallelOutputs(PreDealData& e, std::uint32_t cycles) {
  if (e.parallel.poFlag == 0 || e.parallel.count == 0) return;
  const int count = std::min<int>(e.parallel.count, kMaxPackedParallelOutputs);
  for (int i = 0; i < count; ++i) {
    if (e.parallel.done[i] != 0) continue;
    const std::uint32_t at = e.poTriggerCycles[i];
    e.poTriggerCycles[i] = at > cycles ? at - cycles : 0;
  }
}

// Angle of the arc still to run, rad.
double ArcAngleLeft(const PreDealData& e) {
  return e.arcRadius > 0.0 ? e.arcAngle - e.arcTravelled * e.arcShare / e.arcRadius : 0.0;
}

void ConveyorRestart(const PreDealData& e) {
  if (e.conveyorFlag == 0) return;
  gOutObj.cnvPosInitialFlag = 1;
  KernelLog("movj v gOutObj.cnvPosInitialFlag = true\r\n");
}

// The re-planners that start from the present path speed need the
// variable-speed profile, or a move in flight would get a velocity step.
void FromPresentSpeed(PreDealData& e) { e.trajPlan.variableSpeed = 1; }

bool IsReplannedType(std::uint32_t type) { return type == kPackedPTP || type == kPackedNoPlan || type == kPackedARC || type == kPackedCircle; }

// The executing entry, unless it is in a window the re-plan must not cut.
// False when the pass waits this cycle; *replanned tells whether it was.
bool ReplanExecuting(bool* replanned) {
  const PreDealData& e = gPreDealData;
  if (e.waitingForNext != 0 || !IsReplannedType(e.type)) return true;
  const double t = gPeriodCount * gPeriodTime;
  if (e.motionType == 0) {
    if (gCmdFinishFlag != 0) {
      KernelLog("movj v rstep:%d \r\n", 6);
      *replanned = true;
      return true;
    }
    if (e.jumpStageTime3 <= t && t < e.jumpStageTime2 + e.jumpStageTime4) {
      KernelLog("movj v rstep:%d \r\n", 4);
      return false;
    }
    if (e.jumpStageTime2 <= t && t < e.jumpStageTime1) {
      KernelLog("movj v rstep:%d \r\n", 2);
      return false;
    }
  } else if (e.motionType == 11) {
    // Whole turns are counted in single precision.
    const double d = ArcAngleLeft(e);
    const double n = std::floor(d * 0.5 / 3.1415927410125732);
    const float turns = static_cast<float>(2.0 * n) * 3.1415927f;
    if (d - turns < kArcRestRad) {
      KernelLog("movj v Circle_XYZ return2\r\n");
      return false;
    }
  }
  DealDataCalculate();
  *replanned = true;
  return true;
}

// Ring position of the first move at or after `from`, or -1.
int FirstMoveFrom(const tagRingBuffer* preDeal, std::uint32_t from) {
  const std::uint32_t count = preDeal->count;
  for (std::uint32_t k = from; k < count; ++k) {
    if (IsReplannedType(PreDealAt(preDeal, k)->type)) return static_cast<int>(k);
  }
  return -1;
}

PreDealData gReplanEntry;

}  // namespace

void DealDataCalculate() {
  PreDealData& e = gPreDealData;
  PackedBaseCmd* cmd = &e.packedCmd;
  switch (e.motionType) {
    case 2:
    case 5:
    case 7:
    case 10:
    case 11:
    case 0:
    case 1:
    case 4:
    case 6:
    case 8:
      break;
    default:
      return;
  }
  if (e.motionType == 10 && ArcAngleLeft(e) <= kArcRestRad) return;

  RebaseParallelOutputs(e, gPeriodCount);
  std::memcpy(&gPreDealPos.joint, &gSysParams.joint, sizeof gPreDealPos.joint);
  switch (e.motionType) {
    case 2:
    case 5:
    case 7:
      ConveyorRestart(e);
      e.isReplan = 1;
      FromPresentSpeed(e);
      MOVLNewPlan(cmd, nullptr, &e);
      break;
    case 10:
      KernelLog("movj v MOVC_XYZ\r\n");
      ConveyorRestart(e);
      e.isReplan = 1;
      FromPresentSpeed(e);
      MOVCNewPlan(cmd, nullptr, &e);
      break;
    case 11:
      KernelLog("movj v Circle_XYZ\r\n");
      e.isReplan = 1;
      CircleNewPlan(cmd, nullptr, &e);
      break;
    case 0:
      e.isReplan = 1;
      JUMPNewPlan(cmd, &e);
      break;
    default:
      e.isReplan = 1;
      FromPresentSpeed(e);
      MOVJNewPlan(cmd, nullptr, &e);
      break;
  }
  gPeriodCount = 0;
  gPeriodCount1 = 0;
}

bool SpeedReplanPass(tagRingBuffer* preDeal) {
  bool replanned = false;
  if (gPeriodCount1 != 0) {
    // A blend into the next entry is running: the executing entry waits for its end.
    if (guiModdifyCount == 0) return false;
  } else if (guiModdifyCount == 0 && !ReplanExecuting(&replanned)) {
    return false;
  }

  const std::uint32_t count = preDeal->count;
  const int k = count > guiModdifyCount ? FirstMoveFrom(preDeal, guiModdifyCount) : -1;
  if (k < 0) {
    gbModifySpeedRatio = 0;
    return true;
  }

  guiStartID = static_cast<std::uint32_t>(k);
  PreDealData& work = gReplanEntry;
  std::memcpy(static_cast<void*>(&work), PreDealAt(preDeal, guiStartID), sizeof work);
  work.isReplan = 0;
  if (guiModdifyCount == 0) {
    // The first queued move starts where the executing one ends.
    if (replanned) {
      gPreDealPos.joint = {gPreDealData.targetAngle[0], gPreDealData.targetAngle[1], gPreDealData.targetAngle[2],
                           gPreDealData.targetAngle[3]};
    } else {
      std::memcpy(&gPreDealPos.joint, &gSysParams.joint, sizeof gPreDealPos.joint);
    }
  }
  PreDealByType(&work.packedCmd, preDeal, &work);
  if (AlarmSysCheck() != 0) {
    gSysParams.runQueuedCmd = 0;
  } else {
    RingBufferMdqueue(preDeal, &work, guiStartID);
  }
  guiModdifyCount = guiStartID + 1;
  return false;
}
