#include <cstring>

#include "PTP/planners/blend_look_ahead.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movj_profile.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr unsigned kAlarmConveyor = 107;
constexpr unsigned kAlarmJointLimit = 18;
constexpr unsigned kAlarmLimits = 26;

void logFour(const char* format, const TrajPlanData jointData[kJointCount], double TrajPlanData::*field) {
  KernelLog(format, jointData[0].*field, jointData[1].*field, jointData[2].*field, jointData[3].*field);
}

}  // namespace

void MOVJNewPlan(PackedBaseCmd* cmd, PreDealData* /*last*/, PreDealData* entry) {
  const PackedMotion motion = ReadPackedMotion(cmd);
  entry->externalToolFlag = motion.eCPFlag;
  entry->loadFlag = motion.loadFlag;
  if (motion.refSysFlag != 0) return RefuseMove(kAlarmConveyor);

  const double start[kJointCount] = {gPreDealPos.joint.j1, gPreDealPos.joint.j2, gPreDealPos.joint.j3,
                                     gPreDealPos.joint.j4};
  if (!JointsWithinSoftLimits(start)) return RefuseMove(kAlarmJointLimit);
  std::memcpy(entry->jointMove.initialPos, start, sizeof start);
  TrajPlanData jointData[kJointCount] = {};
  if (!JointLimits(motion.ptpParams, jointData)) return RefuseMove(kAlarmLimits);

  double target[kJointCount];
  std::memcpy(target, entry->targetAngle, sizeof target);
  gPreDealPos.joint = {target[0], target[1], target[2], target[3]};
  if (!JointsWithinSoftLimits(target)) return RefuseMove(kAlarmJointLimit);

  PlanJointProfile(JointPlanKind::kSpeedChange, entry, nullptr, jointData, target, motion);
}

void MOVJPreDealTemp(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const PackedMotion motion = ReadPackedMotion(cmd);
  entry->externalToolFlag = motion.eCPFlag;
  entry->loadFlag = motion.loadFlag;

  JointTheta actual;
  std::memcpy(&actual, reinterpret_cast<const std::uint8_t*>(&gSysParams) + offsetof(tagSysParams, joint),
              sizeof actual);
  const double start[kJointCount] = {actual.j1, actual.j2, actual.j3, actual.j4};
  if (!JointsWithinSoftLimits(start)) return RefuseMove(kAlarmJointLimit);
  std::memcpy(entry->jointMove.initialPos, start, sizeof start);
  KernelLog("MOVJPreDealTemp initialPos:%1.3f %1.3f %1.3f %1.3f\r\n", start[0], start[1], start[2], start[3]);

  TrajPlanData jointData[kJointCount] = {};
  const bool usable = JointLimits(motion.ptpParams, jointData);
  logFour("MOVJPreDealTemp jointData.jerk:%1.3f %1.3f %1.3f %1.3f\r\n", jointData, &TrajPlanData::jerk);
  logFour("MOVJPreDealTemp jointData.Amax:%1.3f %1.3f %1.3f %1.3f\r\n", jointData, &TrajPlanData::aMax);
  logFour("MOVJPreDealTemp jointData.v:%1.3f %1.3f %1.3f %1.3f\r\n", jointData, &TrajPlanData::vMax);
  if (!usable) return RefuseMove(kAlarmLimits);

  double target[kJointCount];
  std::memcpy(target, entry->targetAngle, sizeof target);
  if (!PlanJointProfile(JointPlanKind::kStop, entry, last, jointData, target, motion)) return;
  LowerBlendTimeToWaitingMotion(entry, motion.toolParams, motion.localParams);
}
