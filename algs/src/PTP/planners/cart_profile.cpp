#include "PTP/planners/cart_profile.h"

#include <algorithm>
#include <cmath>

#include "PTP/profiles/traj_plan.h"
#include "common/kernel/kernel_state.h"

namespace {

void staticLimits(TrajPlanData* plan, double L, double dr, double eps, const CartLimits& lim) {
  const bool moves = L >= eps;
  const bool turns = dr >= eps;
  if (moves && turns) {
    const double shareL = L / plan->dist;
    const double shareR = dr / plan->dist;
    plan->vMax = std::min(lim.vL / shareL, std::fabs(lim.vR / shareR));
    plan->aMax = std::min(lim.aL / shareL, std::fabs(lim.aR / shareR));
    plan->jerk = std::min(lim.jL / shareL, std::fabs(lim.jR / shareR));
  } else if (moves) {
    plan->vMax = lim.vL;
    plan->aMax = lim.aL;
    plan->jerk = lim.jL;
  } else {
    plan->vMax = lim.vR;
    plan->aMax = lim.aR;
    plan->jerk = lim.jR;
  }
}

}  // namespace

void ClearRunState(TrajPlanData* plan) {
  plan->vCurrent = 0.0;
  plan->sPrev = 0.0;
  plan->variableSpeed = 0;
}

void PlanCartProfile(PreDealData* entry, PreDealData* last, const CartCommand& c, double L, double dr,
                     const CartLimits& lim, const CartPlanRules& rules, CartDynOpt dynOpt) {
  TrajPlanData* plan = &entry->trajPlan;
  plan->dist = std::sqrt(dr * dr + L * L);
  plan->vStart = rules.vStart;
  plan->vEnd = 0.0;
  plan->period = gPeriodTime;

  const bool dynamic = gDynamicOptimal != 0 && dynOpt != nullptr;
  if (dynamic) {
    dynOpt(entry, lim, c);
  } else {
    staticLimits(plan, L, dr, rules.eps, lim);
    const bool mayBlend = (last != nullptr && last->blendTime > 1e-5) || entry->transition >= 1;
    if (rules.mayHalve && mayBlend) {
      plan->aMax *= 0.5;
      plan->jerk *= 0.5;
    }
    plan->aMaxDec = plan->aMax;
  }
  TrajPlan(plan);

  if (gUsingTrueMotion == 0) {
    const double accTime = dynamic && !rules.stopReplan ? std::min(plan->tAcc, plan->tDec) : plan->tAcc;
    entry->blendTime = entry->transition * accTime / 100.0;
    if (rules.lowerLast && last != nullptr && last->blendTime > plan->tAcc) last->blendTime = plan->tAcc;
  } else if (!rules.stopReplan) {
    entry->blendTime = 0.0;
  }
  entry->baseJerk = plan->jerk;
  entry->pathJerk = plan->jerk;
  plan->noMotion = 0;
}
