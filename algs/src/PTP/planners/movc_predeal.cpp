#include "PTP/path/arc_point.h"
#include "PTP/planners/arc_span.h"
#include "PTP/planners/cart_command.h"
#include "PTP/planners/cart_conveyor.h"
#include "PTP/planners/cart_start.h"
#include "PTP/planners/movc.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

void logPose(const char* format, const WCSPosition& p) { KernelLog(format, p.x, p.y, p.z, p.r); }

// Start of the arc from gPreDealPos: its checks and its origin (base frame,
// or the object's frame on a conveyor).
bool arcStart(const CartCommand& c, ArcPoints* p) {
  p->start = gPreDealPos.joint;
  if (c.refSys) {
    WCSPosition base;
    if (!ConveyorOrigin(c, &p->origin, &base)) return false;
    logPose("MOVC objPos:%1.3f %1.3f %1.3f %1.3f\r\n", p->origin);
    logPose("MOVC cart:%1.3f %1.3f %1.3f %1.3f\r\n", c.target);
    logPose("MOVC basePos:%1.3f %1.3f %1.3f %1.3f\r\n", base);
    return true;
  }
  if (!StartJointsValid(p->start)) {
    RefuseCartMove(18);
    return false;
  }
  if (!ElbowAgrees(c.arm, p->start.j2)) {
    RefuseCartMove(22);
    return false;
  }
  ForwardCalBase(&gPreDealPos, &p->origin, &c.tool);
  return true;
}

bool reachable(const WCSPosition& pose, const CartCommand& c, JointTheta* joints) {
  if (PointCheck(&pose, joints, c.arm, kCheckSingularity, &c.tool) == 0) return true;
  RefuseCartMove(0);
  return false;
}

// Middle and end from the command into the base frame (a conveyor's stay in
// the object's frame), their reach, then all three against the external
// point when it is on.
bool arcPoints(const CartCommand& c, PreDealData* entry, ArcPoints* p) {
  p->middle = c.middle;
  p->end = c.target;
  if (c.ecpOn && gInputECP != 0) {
    logPose("MOVC Input ECP midPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n", p->middle);
    logPose("MOVC Input ECP endPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n", p->end);
    CalECPToBase(&c.ecp, &p->middle);
    CalECPToBase(&c.ecp, &p->end);
    logPose("MOVL Input ECP midPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", p->middle);
    logPose("MOVC Input ECP endPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", p->end);
  }
  if (!c.refSys) {
    CalCordToBase(&p->middle, &p->middle, &c.local);
    CalCordToBase(&p->end, &p->end, &c.local);
    JointTheta joints;
    if (!reachable(p->end, c, &joints)) return false;
    gPreDealPos.joint = joints;
    const double q[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
    for (int i = 0; i < 4; ++i) entry->targetAngle[i] = q[i];
    if (!reachable(p->middle, c, &joints)) return false;
  }
  if (c.ecpOn) {
    WCSPosition* const points[3] = {&p->origin, &p->middle, &p->end};
    const char* const formats[3][2] = {
        {"MOVC ECP origPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", "MOVC ECP origPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n"},
        {"MOVC ECP midPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", "MOVC ECP midPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n"},
        {"MOVC ECP endPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", "MOVC ECP endPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n"}};
    for (int i = 0; i < 3; ++i) {
      logPose(formats[i][0], *points[i]);
      CalECPToTool(&c.ecp, points[i]);
      logPose(formats[i][1], *points[i]);
    }
  }
  return true;
}

}  // namespace

void MOVCPreDeal(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const CartCommand c = ReadCartCommand(cmd);
  CopyCartFlags(c, entry);
  ArcPoints p;
  if (!arcStart(c, &p) || !arcPoints(c, entry, &p)) return;
  entry->targetPose = p.end;
  gPreDealPos.pose = p.end;
  PlanArc(entry, last, c, p, CartPlanRules{0.0, true, true, false, 1e-5});
}

void MOVCNewPlan(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const CartCommand c = ReadCartCommand(cmd);
  CopyCartFlags(c, entry);
  ArcPoints p;
  if (!arcStart(c, &p)) return;
  if (!c.refSys && c.ecpOn) CalECPToTool(&c.ecp, &p.origin);

  // The new middle lies halfway along what is left of the old arc.
  const double R = entry->arcRadius;
  const double A = R * entry->arcAngle;
  const double run = entry->arcTravelled;
  const double angle = (A + run * entry->arcShare) / 2.0 / R;
  const double rIncrement = (entry->arcRDir * entry->arcRTravel + run * entry->arcDeltaR) / 2.0;
  TP_CalcArcPtForScara(entry->arcOrigin, entry->arcRotation, entry->arcCentre, R, angle, rIncrement, &p.middle);
  p.end = entry->targetPose;
  gPreDealPos.pose = p.end;
  PlanArc(entry, last, c, p, CartPlanRules{entry->trajPlan.vCurrent, false, true, false, 1e-5});
}
