// What a jump takes from its packed command, and its per-joint limits.
#include <cmath>

#include "PTP/planners/jump_internal.h"
#include "PTP/planners/packed_motion.h"
#include "common/kernel/alarms.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace jump_plan {

JumpCommand ReadJumpCommand(const PackedBaseCmd& cmd) {
  const PackedMotion m = ReadPackedMotion(&cmd);
  JumpCommand c{};
  c.mode = m.ptpCmd.ptpMode;
  c.point = {m.ptpCmd.x, m.ptpCmd.y, m.ptpCmd.z, m.ptpCmd.r};
  c.arm = m.arm;
  c.tool = m.toolParams;
  c.user = m.localParams;
  c.refSysFlag = m.refSysFlag;
  c.loadFlag = m.loadFlag;
  c.loadFull = m.loadFullParams;
  c.joint = m.ptpParams.joint;
  c.common = m.ptpParams.common;
  c.startJumpHeight = m.ptpParams.jump2.startJumpHeight;
  c.endJumpHeight = m.ptpParams.jump2.endJumpHeight;
  c.zLimit = m.ptpParams.jump2.zLimit;
  return c;
}

void Fail(unsigned alarm) {
  AlarmSysSetBit(alarm, true);
  gCmdFinishFlag = 1;
}

namespace {

// Usable as a limit: finite and not below kTiny (a NaN is not).
bool usable(double x) { return x >= kTiny && x < HUGE_VAL; }

}  // namespace

bool ComputeLimits(const JumpCommand& c, JointLimits* withFactor, JointLimits* withoutFactor) {
  const float factor = gSysParams.speedFactorRatio / 100.0f;
  bool ok = true;
  for (int i = 0; i < 4; ++i) {
    // Single precision, as the parameters are stored, then widened.
    withFactor->v[i] = factor * c.joint.velocity[i] * c.common.velocityRatio / 100.0f;
    withFactor->a[i] = factor * c.joint.acceleration[i] * c.common.accelerationRatio / 100.0f;
    withFactor->j[i] = factor * c.joint.jerk[i] * c.common.jerkRatio / 100.0f;
    withoutFactor->v[i] = c.joint.velocity[i] * c.common.velocityRatio / 100.0f;
    withoutFactor->a[i] = c.joint.acceleration[i] * c.common.accelerationRatio / 100.0f;
    withoutFactor->j[i] = c.joint.jerk[i] * c.common.jerkRatio / 100.0f;
    // An infinite limit would leave the profile unplanned: refused like a zero one.
    ok = ok && usable(withFactor->v[i]) && usable(withFactor->a[i]) && usable(withFactor->j[i]) &&
         usable(withoutFactor->v[i]) && usable(withoutFactor->a[i]) && usable(withoutFactor->j[i]);
  }
  if (!ok) Fail(26);
  return ok;
}

}  // namespace jump_plan
