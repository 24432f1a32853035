#include "PTP/planners/arc_span.h"

#include <cmath>

#include "PTP/planners/cart_path_check.h"
#include "PTP/planners/movc.h"

namespace {

bool coincide(const WCSPosition& a, const WCSPosition& b) {
  return std::fabs(a.x - b.x) < 1e-5 && std::fabs(a.y - b.y) < 1e-5 && std::fabs(a.z - b.z) < 1e-5;
}

}  // namespace

void StoreArcShares(PreDealData* entry, double A, double dr) {
  const double s = std::sqrt(A * A + dr * dr);
  entry->arcShare = A / s;
  entry->arcDeltaR = entry->arcRDir * dr / s;
  entry->arcRemaining = A;
  entry->arcRemainingR = entry->arcRDir * dr;
}

bool PlanArc(PreDealData* entry, PreDealData* last, const CartCommand& c, const ArcPoints& p,
             const CartPlanRules& rules) {
  if (coincide(p.origin, p.middle) || coincide(p.origin, p.end) || coincide(p.middle, p.end)) {
    RefuseCartMove(19);
    return false;
  }
  CirlPlanPara plan;
  if (TP_ArcPlanForScara(p.origin, p.middle, p.end, &plan) != 0) {
    RefuseCartMove(20);
    return false;
  }
  const double A = plan.radius * plan.angle;
  const double dr = plan.rTravel;
  if (std::fabs(A) < 1e-5 && dr < 1e-5) {
    RefuseCartMove(19);
    return false;
  }
  if (!c.refSys && !ArcPathReachable(p.origin, plan, plan.rDir[2] * dr, c.arm, c)) return false;
  CartLimits lim;
  if (!CartLimitsFrom(c, &lim)) return false;

  StoreArcPlan(plan, entry);
  entry->arcOrigin = p.origin;
  entry->arcStartJoints[0] = p.start.j1;
  entry->arcStartJoints[1] = p.start.j2;
  entry->arcStartJoints[2] = p.start.j3;
  entry->arcStartJoints[3] = p.start.j4;
  entry->arcAngleRun = 0.0;
  entry->arcTravelled = 0.0;
  StoreArcShares(entry, A, dr);
  PlanCartProfile(entry, last, c, A, dr, lim, rules, ArcDynOpt);
  return true;
}
