#include "PTP/planners/movj_planner.h"

#include <cstring>

#include "PTP/planners/movj_profile.h"
#include "PTP/planners/movj_target.h"
#include "PTP/planners/parallel_outputs.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr unsigned kAlarmConveyor = 107;
constexpr unsigned kAlarmJointLimit = 18;
constexpr unsigned kAlarmLimits = 26;

void logParallelOutputs(const PreDealData* entry) {
  const PackedParallelOutputs& po = entry->parallel;
  if (po.poFlag == 0) return;
  KernelLog("poCmdW2 parallelCmdCount:%u poFlag:%u\r\n", static_cast<unsigned>(po.count),
            static_cast<unsigned>(po.poFlag));
  const int count = po.count < kMaxPackedParallelOutputs ? po.count : kMaxPackedParallelOutputs;
  for (int i = 0; i < count; ++i) {
    const tagParallelOutputCmd out = po.outputs[i];
    KernelLog("poCmdW2 IOPeriodCount:%u i:%u\r\n", static_cast<unsigned>(entry->poTriggerCycles[i]),
              static_cast<unsigned>(i));
    KernelLog(" poCmdW2 poCmd[%d],ratio:%d,address:%u,level:%d\r\n", i, static_cast<int>(out.ratio),
              static_cast<unsigned>(out.address), static_cast<int>(out.level));
  }
}

}  // namespace

void MOVJPreDeal(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const PackedMotion motion = ReadPackedMotion(cmd);
  entry->externalToolFlag = motion.eCPFlag;
  entry->loadFlag = motion.loadFlag;
  if (motion.refSysFlag != 0) return RefuseMove(kAlarmConveyor);

  double start[kJointCount] = {gPreDealPos.joint.j1, gPreDealPos.joint.j2, gPreDealPos.joint.j3,
                               gPreDealPos.joint.j4};
  if (!JointsWithinSoftLimits(start)) return RefuseMove(kAlarmJointLimit);
  std::memcpy(entry->jointMove.initialPos, start, sizeof start);
  TrajPlanData jointData[kJointCount] = {};
  if (!JointLimits(motion.ptpParams, jointData)) return RefuseMove(kAlarmLimits);

  double target[kJointCount];
  if (!JointMoveTarget(motion, target, &entry->targetPose)) {
    gCmdFinishFlag = 1;  // the alarm is raised
    return;
  }
  std::memcpy(entry->targetAngle, target, sizeof target);

  if (!PlanJointProfile(JointPlanKind::kPreDeal, entry, last, jointData, target, motion)) return;
  ParallelIOPredeal(&entry->trajPlan, entry, entry->trajPlan.dist);
  logParallelOutputs(entry);
}
