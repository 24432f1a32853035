#include <cmath>

#include "PTP/planners/cart_command.h"
#include "PTP/planners/cart_conveyor.h"
#include "PTP/planners/cart_path_check.h"
#include "PTP/planners/cart_profile.h"
#include "PTP/planners/cart_start.h"
#include "PTP/planners/line_span.h"
#include "PTP/planners/movl.h"
#include "PTP/planners/parallel_outputs.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

void setTargetJoints(PreDealData* entry, const JointTheta& joints) {
  gPreDealPos.joint = joints;
  entry->targetAngle[0] = joints.j1;
  entry->targetAngle[1] = joints.j2;
  entry->targetAngle[2] = joints.j3;
  entry->targetAngle[3] = joints.j4;
}

// Reach of a Cartesian target; its joints become the end of the move.
bool reachTarget(const WCSPosition& base, bool arm, const CartCommand& c, PreDealData* entry) {
  JointTheta joints;
  if (PointCheck(&base, &joints, arm, kCheckSingularity, &c.tool) != 0) {
    RefuseCartMove(0);
    return false;
  }
  setTargetJoints(entry, joints);
  return true;
}

// Mode 2: a pose in the user frame (on a conveyor: in the object's frame).
bool poseTarget(const CartCommand& c, PreDealData* entry, const JointTheta& start, WCSPosition* target) {
  *target = c.target;
  if (c.refSys) {
    KernelLog("MOVL target objPos:%1.3f %1.3f %1.3f %1.3f\r\n", target->x, target->y, target->z, target->r);
    return true;
  }
  const bool arm = entry->armOrientation != 0;
  if (!ElbowAgrees(arm, start.j2)) {
    RefuseCartMove(22);
    return false;
  }
  if (c.ecpOn && gInputECP != 0) CalECPToBase(&c.ecp, target);
  CalCordToBase(target, target, &c.local);
  if (!reachTarget(*target, arm, c, entry)) return false;
  if (c.ecpOn) {
    CalECPToTool(&c.ecp, target);
    KernelLog("MOVL ECP targetPosECPPlan:%1.8lf %1.8lf %1.8lf %1.8lf\r\n", target->x, target->y, target->z,
              target->r);
  }
  return true;
}

// Mode 5: joints; the line runs to their forward solution on the same elbow side.
bool jointTarget(const CartCommand& c, PreDealData* entry, const JointTheta& start, WCSPosition* target) {
  const JointTheta joints{c.target.x, c.target.y, c.target.z, c.target.r};
  if ((start.j2 >= 0.0) != (joints.j2 >= 0.0)) {
    RefuseCartMove(22);
    return false;
  }
  entry->armOrientation = start.j2 >= 0.0 ? 1 : 0;
  tagGPose at{};
  at.joint = joints;
  ForwardCalBase(&at, target, &c.tool);
  // The origin of a move against the external point is expressed against
  // it: so is its end, or the line would join poses of two frames.
  if (c.ecpOn) CalECPToTool(&c.ecp, target);
  setTargetJoints(entry, joints);
  return true;
}

// Mode 7: an increment in the user frame (on a conveyor: in the object's frame).
bool incrementTarget(const CartCommand& c, PreDealData* entry, const JointTheta& start, const WCSPosition& origin,
                     WCSPosition* target) {
  entry->armOrientation = start.j2 >= 0.0 ? 1 : 0;
  if (c.refSys) {
    *target = {origin.x + c.target.x, origin.y + c.target.y, origin.z + c.target.z, origin.r + c.target.r};
    return true;
  }
  WCSPosition local;
  CalCordToLocal(&origin, &local, &c.local);
  local = {local.x + c.target.x, local.y + c.target.y, local.z + c.target.z, local.r + c.target.r};
  CalCordToBase(&local, target, &c.local);
  // Against the external point the target is a pose against it; its reach
  // is that of the base pose it stands for.
  WCSPosition base = *target;
  if (c.ecpOn) CalECPToBase(&c.ecp, &base);
  return reachTarget(base, entry->armOrientation != 0, c, entry);
}

}  // namespace

void MOVLPreDeal(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const CartCommand c = ReadCartCommand(cmd);
  entry->armOrientation = c.arm ? 1 : 0;
  CopyCartFlags(c, entry);
  KernelLog("MOVL cmd:%1.3f %1.3f %1.3f %1.3f\r\n", c.target.x, c.target.y, c.target.z, c.target.r);
  KernelLog("MOVL shandType:%d\r\n", entry->armOrientation);

  const JointTheta start = gPreDealPos.joint;
  WCSPosition origin;
  WCSPosition base{};
  if (c.refSys) {
    if (!ConveyorOrigin(c, &origin, &base)) return;
  } else {
    if (!StartJointsValid(start)) {
      RefuseCartMove(18);
      return;
    }
    origin = OriginOf(start, c, "MOVL ECP origPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n",
                      "MOVL ECP origPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n");
  }

  WCSPosition target;
  bool ok = false;
  switch (c.ptpMode) {
    case 5:
      ok = jointTarget(c, entry, start, &target);
      break;
    case 7:
      ok = incrementTarget(c, entry, start, origin, &target);
      break;
    default:
      ok = poseTarget(c, entry, start, &target);
      break;
  }
  if (!ok) return;
  entry->targetPose = target;
  gPreDealPos.pose = target;

  if (!c.refSys && !LinePathReachable(origin, target, entry->armOrientation != 0, c)) return;
  CartLimits lim;
  if (!CartLimitsFrom(c, &lim)) return;
  const LineSpan span = LineSpanOf(origin, target);
  if (LineIsEmpty(span)) {
    entry->trajPlan.noMotion = 1;
    if (last != nullptr) last->blendTime = 0.0;
    return;
  }
  StoreLine(entry, origin, start, span);
  PlanCartProfile(entry, last, c, span.L, span.dr, lim, CartPlanRules{0.0, true, true, false, 1e-5}, LineDynOpt);
  ParallelIOPredeal(&entry->trajPlan, entry, span.L);
  KernelLog("elapsed MOVLPredeal 408 lineData.s %1.12lf %1.12lf\r\n", entry->trajPlan.dist, entry->trajPlan.tTotal);
  if (c.refSys) {
    KernelLog("MOVL objPos:%1.3f %1.3f %1.3f %1.3f\r\n", origin.x, origin.y, origin.z, origin.r);
    KernelLog("MOVL cart:%1.3f %1.3f %1.3f %1.3f\r\n", target.x, target.y, target.z, target.r);
    KernelLog("MOVL basePos:%1.3f %1.3f %1.3f %1.3f\r\n", base.x, base.y, base.z, base.r);
  }
}
