#include "PTP/planners/cart_command.h"
#include "PTP/planners/cart_conveyor.h"
#include "PTP/planners/cart_path_check.h"
#include "PTP/planners/blend_look_ahead.h"
#include "PTP/planners/cart_profile.h"
#include "PTP/planners/cart_start.h"
#include "PTP/planners/line_span.h"
#include "PTP/planners/movl.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

void MOVLNewPlan(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const CartCommand c = ReadCartCommand(cmd);
  entry->armOrientation = c.arm ? 1 : 0;
  CopyCartFlags(c, entry);

  const JointTheta start = gPreDealPos.joint;
  if (!StartJointsValid(start)) {
    RefuseCartMove(18);
    return;
  }
  WCSPosition origin;
  WCSPosition base;
  if (c.refSys) {
    if (!ConveyorOrigin(c, &origin, &base)) return;
  } else {
    origin = OriginOf(start, c, "MOVL ECP origPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n",
                      "MOVL ECP origPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n");
  }
  const WCSPosition target = entry->targetPose;
  gPreDealPos.pose = target;
  if (c.ptpMode == 5 || c.ptpMode == 7) entry->armOrientation = start.j2 >= 0.0 ? 1 : 0;
  const bool arm = entry->armOrientation != 0;

  if (!c.refSys) {
    WCSPosition check = target;
    if (c.ecpOn) CalECPToBase(&c.ecp, &check);
    JointTheta joints;
    if (PointCheck(&check, &joints, arm, kCheckSingularity, &c.tool) != 0) {
      RefuseCartMove(0);
      return;
    }
    if (!LinePathReachable(origin, target, arm, c)) return;
  }
  CartLimits lim;
  if (!CartLimitsFrom(c, &lim)) return;
  const LineSpan span = LineSpanOf(origin, target);
  if (LineIsEmpty(span)) {
    entry->trajPlan.noMotion = 1;
    if (last != nullptr) last->blendTime = 0.0;
    return;
  }
  const double vStart = entry->trajPlan.vCurrent;
  StoreLine(entry, origin, start, span);
  PlanCartProfile(entry, last, c, span.L, span.dr, lim, CartPlanRules{vStart, false, true, false, 1e-5}, LineDynOpt);
  KernelLog("MOVL NewPlan tTotal:%1.6lf T:%1.6lf\r\n", entry->trajPlan.tTotal, entry->trajPlan.tTotal);
}

void MOVLPreDealTemp(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const CartCommand c = ReadCartCommand(cmd);
  CopyCartFlags(c, entry);
  const JointTheta actual = ActualJoints();
  if (!StartJointsValid(actual)) {
    RefuseCartMove(18);
    return;
  }
  const WCSPosition origin = OriginOf(actual, c, nullptr, nullptr);
  const WCSPosition target = entry->targetPose;
  const LineSpan span = LineSpanOf(origin, target);
  if (LineIsEmpty(span)) {
    entry->trajPlan.noMotion = 1;
    return;
  }
  if (!c.refSys && !LinePathReachable(origin, target, c.arm, c)) return;
  CartLimits lim;
  if (!CartLimitsFrom(c, &lim)) return;

  ClearRunState(&entry->trajPlan);
  StoreLine(entry, origin, actual, span);
  PlanCartProfile(entry, last, c, span.L, span.dr, lim, CartPlanRules{0.0, true, false, true, 1e-5}, LineDynOpt);
  if (gUsingTrueMotion == 0) LowerBlendTimeToWaitingMotion(entry, c.tool, c.local);

  const TrajPlanData& plan = entry->trajPlan;
  KernelLog("MOVL Temp orig:%1.3f %1.3f %1.3f %1.3f\r\n", origin.x, origin.y, origin.z, origin.r);
  KernelLog("MOVL Temp Line:%1.3f %1.3f %1.3f %1.3f\r\n", span.L, span.sign * span.dr, plan.dist, plan.tTotal);
  KernelLog("MOVL Temp Spd:%1.3f %1.3f %1.3f %1.3f\r\n", plan.vMax, plan.aMax, plan.aMaxDec, plan.jerk);
}
