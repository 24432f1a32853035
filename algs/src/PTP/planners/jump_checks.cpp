// The jump's refusals: joint 3 above zLimit, joints outside the soft limits,
// a zLimit outside joint 3's travel, negative jump heights; and its target.
#include "PTP/planners/jump_internal.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace jump_plan {

bool WithinSoftLimits(const double joints[4]) {
  for (int i = 0; i < 4; ++i) {
    // Bounds included; a NaN is outside.
    if (!(joints[i] >= gSoftLimitPara[4 + i] && joints[i] <= gSoftLimitPara[i])) return false;
  }
  return true;
}

bool CheckPresent(const double joints[4], const JumpCommand& c, const HeightRules& rules) {
  if (joints[2] > c.zLimit + rules.presentAbove) {
    if (rules.logLines) KernelLog("jump 1\xEF\xBC\x9A%1.8f zLimit %1.8f\r\n", joints[2], c.zLimit);
    Fail(21);
    return false;
  }
  if (!WithinSoftLimits(joints)) {
    Fail(kKinSoftLimit);
    return false;
  }
  return true;
}

bool CheckTargetHeight(double targetJ3, const JumpCommand& c, const HeightRules& rules) {
  if (targetJ3 > c.zLimit + rules.targetAbove) {
    if (rules.logLines) KernelLog("jump 2\xEF\xBC\x9A%1.8f zLimit %1.8f\r\n", targetJ3, c.zLimit);
    Fail(21);
    return false;
  }
  return true;
}

bool CheckJumpHeights(const JumpCommand& c, const HeightRules& rules) {
  const double upper = gSoftLimitPara[2];
  const double lower = gSoftLimitPara[6];
  // Written so that a NaN from the client fails.
  const bool inRange = c.zLimit <= upper + rules.rangeMargin && c.zLimit >= lower - rules.rangeMargin;
  const bool heightsOk = c.startJumpHeight >= 0.0 && c.endJumpHeight >= 0.0;
  if (inRange && heightsOk) return true;
  if (rules.logLines) {
    KernelLog("jump 3\xEF\xBC\x9A%1.8f %1.8f zLimit: %1.8f\r\n", upper, lower, c.zLimit);
    KernelLog("jump 3\xEF\xBC\x9AstartJumpHeight: %1.8f endJumpHeight: %1.8f\r\n", c.startJumpHeight, c.endJumpHeight);
  }
  Fail(21);
  return false;
}

bool SolveTarget(const JumpCommand& c, double joints[4], WCSPosition* pose) {
  if (c.mode == 0) {
    CalCordToBase(&c.point, pose, &c.user);
    JointTheta solved{};
    const int code = InverseCalBase(pose, c.arm, &solved, kCheckAllJoints, &c.tool);
    if (code != kKinOk) {
      Fail(static_cast<unsigned>(code));
      return false;
    }
    joints[0] = solved.j1;
    joints[1] = solved.j2;
    joints[2] = solved.j3;
    joints[3] = solved.j4;
    return true;
  }
  const double given[4] = {c.point.x, c.point.y, c.point.z, c.point.r};
  if (!WithinSoftLimits(given)) {
    Fail(kKinSoftLimit);
    return false;
  }
  tagGPose at{};
  at.joint = {given[0], given[1], given[2], given[3]};
  ForwardCalBase(&at, pose, &c.tool);
  for (int i = 0; i < 4; ++i) joints[i] = given[i];
  return true;
}

}  // namespace jump_plan
