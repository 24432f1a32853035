#include <cmath>

#include "PTP/planners/arc_span.h"
#include "PTP/planners/cart_command.h"
#include "PTP/planners/blend_look_ahead.h"
#include "PTP/planners/cart_profile.h"
#include "PTP/planners/cart_start.h"
#include "PTP/planners/movc.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/math/fast_trig.h"

namespace {

// The plane frame turned by phi about n: the arc then starts where the arm stopped.
void turnFrame(MATRIX3D_STR* m, double phi) {
  const double c = cosQ(phi);
  const double s = sinQ(phi);
  for (auto& row : m->m) {
    const double u = row[0];
    const double v = row[1];
    row[0] = c * u + s * v;
    row[1] = c * v - s * u;
  }
}

}  // namespace

// The path stop has stored, at rest, the angle travelled, the remaining arc
// length and the remaining signed r change.
void MOVCPreDealTemp(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry) {
  const CartCommand c = ReadCartCommand(cmd);
  CopyCartFlags(c, entry);
  const JointTheta actual = ActualJoints();
  if (!StartJointsValid(actual)) {
    RefuseCartMove(18);
    return;
  }
  if (!ElbowAgrees(c.arm, actual.j2)) {
    RefuseCartMove(22);
    return;
  }
  const WCSPosition origin = OriginOf(actual, c, nullptr, nullptr);
  const double remaining = entry->arcRemaining;
  const double remainingR = entry->arcRemainingR;
  // Nothing left: finished like a line of no length (the shares would be 0/0).
  if (std::fabs(static_cast<float>(remaining)) < 1e-6f && std::fabs(static_cast<float>(remainingR)) < 1e-6f) {
    entry->trajPlan.noMotion = 1;
    return;
  }
  CartLimits lim;
  if (!CartLimitsFrom(c, &lim)) return;

  turnFrame(&entry->arcRotation, entry->arcAngleRun);
  entry->arcAngle = remaining / entry->arcRadius;
  entry->arcRTravel = std::fabs(remainingR);
  entry->arcRDir = remainingR > 0.0 ? 1.0 : -1.0;
  entry->arcOrigin = origin;
  entry->arcStartJoints[0] = actual.j1;
  entry->arcStartJoints[1] = actual.j2;
  entry->arcStartJoints[2] = actual.j3;
  entry->arcStartJoints[3] = actual.j4;
  entry->arcAngleRun = 0.0;
  entry->arcTravelled = 0.0;
  const double A = remaining;
  const double dr = entry->arcRTravel;
  StoreArcShares(entry, A, dr);

  ClearRunState(&entry->trajPlan);
  PlanCartProfile(entry, last, c, std::fabs(A), dr, lim,
                  CartPlanRules{0.0, true, false, true, static_cast<double>(1e-6f)}, ArcDynOpt);
  if (gUsingTrueMotion == 0) LowerBlendTimeToWaitingMotion(entry, c.tool, c.local);

  const TrajPlanData& plan = entry->trajPlan;
  KernelLog("MOVC Temp orig:%1.3f %1.3f %1.3f %1.3f\r\n", origin.x, origin.y, origin.z, origin.r);
  KernelLog("MOVC Temp Dist:%1.3f %1.3f %1.3f %1.3f\r\n", remaining, remainingR, plan.dist, plan.tTotal);
  KernelLog("MOcV Temp Spd:%1.3f %1.3f %1.3f %1.3f\r\n", plan.vMax, plan.aMax, plan.aMaxDec, plan.jerk);
}
