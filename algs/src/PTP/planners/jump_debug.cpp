// Diagnostic dump of a jump whose joint profile lasts longer than 5 s.

#include "PTP/planners/jump_internal.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/sys_params.h"

namespace jump_plan {

namespace {

constexpr double kLongMove = 5.0;

}  // namespace

void DumpIfLong(const PreDealData* e, const JumpCommand& c, const char* tag) {
  const TrajPlanData& p = e->trajPlan;
  if (!(p.tTotal > kLongMove)) return;
  const WCSPosition& o = e->jumpMove.origin;
  const WCSPosition& t = e->targetPose;
  const double* s = e->jumpMove.initialPos;
  const double* a = e->targetAngle;
  KernelLog("%s", tag);
  KernelLog("origPosJump.xyzr:%lf,%lf,%lf,%lf \r\n", o.x, o.y, o.z, o.r);
  KernelLog("%s", tag);
  KernelLog("distPosJump.xyzr:%lf,%lf,%lf,%lf \r\n", t.x, t.y, t.z, t.r);
  KernelLog("%s", tag);
  KernelLog("jumpMove->initialPos[]:%lf,%lf,%lf,%lf \r\n", s[0], s[1], s[2], s[3]);
  KernelLog("%s", tag);
  KernelLog("preDealData->targetAngle[]:%lf,%lf,%lf,%lf \r\n", a[0], a[1], a[2], a[3]);
  KernelLog("%s", tag);
  KernelLog("jointNormalData->s: %lf ,jointNormalData->v: %lf ,jointNormalData->jerk: %lf \r\n", p.dist, p.vMax, p.jerk);
  KernelLog("%s", tag);
  KernelLog("jointNormalData->t1: %lf ,jointNormalData->t3: %lf ,jointNormalData->T: %lf \r\n", p.t1, p.tConst,
            p.tTotal);
  KernelLog("%s", tag);
  KernelLog(
      "gSysParams.speedFactorRatio: %f ,jointParams->velocity[0]: %f ,jointParams->jerk[0]: %f "
      ",jointParams->acceleration[0]: %f ,commonParams->velocityRatio: %f \r\n",
      static_cast<double>(gSysParams.speedFactorRatio), static_cast<double>(c.joint.velocity[0]),
      static_cast<double>(c.joint.jerk[0]), static_cast<double>(c.joint.acceleration[0]),
      static_cast<double>(c.common.velocityRatio));
  KernelLog("%s", tag);
  KernelLog("jump2Params->startJumpHeight: %f ,jump2Params->endJumpHeight: %f ,jump2Params->zLimit: %f \r\n",
            c.startJumpHeight, c.endJumpHeight, c.zLimit);
}

}  // namespace jump_plan
