#include "PTP/planners/joint_limits.h"

#include "common/kernel/alarms.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

bool JointsWithinSoftLimits(const double joints[kJointCount]) {
  for (int i = 0; i < kJointCount; ++i) {
    if (!(joints[i] >= gSoftLimitPara[i + 4] && joints[i] <= gSoftLimitPara[i])) return false;
  }
  return true;
}

bool JointLimits(const tagPTPParamsBlock& params, TrajPlanData jointData[kJointCount]) {
  const float factor = gSysParams.speedFactorRatio / 100.0f;
  const tagPTPCommonParams& common = params.common;
  bool usable = true;
  for (int i = 0; i < kJointCount; ++i) {
    const float v = params.joint.velocity[i] * factor * common.velocityRatio / 100.0f;
    const float a = params.joint.acceleration[i] * factor * common.accelerationRatio / 100.0f;
    const float j = params.joint.jerk[i] * factor * common.jerkRatio / 100.0f;
    jointData[i].vMax = v;
    jointData[i].aMax = a;
    jointData[i].aMaxDec = a;
    jointData[i].jerk = j;
    if (!(v >= kPlanEpsilon && a >= kPlanEpsilon && j >= kPlanEpsilon)) usable = false;
  }
  return usable;
}

void RefuseMove(unsigned alarm) {
  AlarmSysSetBit(alarm, true);
  gCmdFinishFlag = 1;
}
