// The torque-limited limits of lines and arcs: the Cartesian limits handed
// to the dynamic caps, the move's transition as their halving flag.
#include "PTP/planners/arc_span.h"
#include "PTP/planners/dynamic_caps.h"
#include "PTP/planners/line_span.h"

namespace {

TrajPlanData limitsOf(double v, double a, double j) {
  TrajPlanData limits{};
  limits.vMax = v;
  limits.aMax = a;
  limits.aMaxDec = a;
  limits.jerk = j;
  return limits;
}

}  // namespace

void LineDynOpt(PreDealData* entry, const CartLimits& lim, const CartCommand& c) {
  MOVLDynOpt(entry->lineStart, entry->targetPose, limitsOf(lim.vL, lim.aL, lim.jL), limitsOf(lim.vR, lim.aR, lim.jR),
             &entry->trajPlan, c.transition, c.loadFull);
}

void ArcDynOpt(PreDealData* entry, const CartLimits& lim, const CartCommand& c) {
  MOVCDynOpt(LoadArcPlan(*entry), entry->arcOrigin, entry->targetPose, limitsOf(lim.vL, lim.aL, lim.jL),
             limitsOf(lim.vR, lim.aR, lim.jR), &entry->trajPlan, c.transition, c.loadFull);
}
