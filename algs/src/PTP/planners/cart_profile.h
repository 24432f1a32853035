#pragma once

#include "PTP/planners/cart_command.h"
#include "common/kernel/pre_deal_data.h"

// The one profile of a line or an arc: the combined distance s = sqrt(L² + dr²)
// in which millimetres and degrees count alike.

// How a plan treats its neighbours and its start.
struct CartPlanRules {
  double vStart;       // 0, or the present path speed for a speed change
  bool mayHalve;       // acceleration and jerk halved when the move may blend
  bool lowerLast;      // last's blend time lowered to this move's acceleration time
  bool stopReplan;     // blend time from the acceleration time whatever gDynamicOptimal says
  double eps;          // below this a translation or rotation counts as none
};

// Torque-limited limits of this move, used instead of the Cartesian ones
// while gDynamicOptimal is on; null where the move has none.
using CartDynOpt = void (*)(PreDealData* entry, const CartLimits& lim, const CartCommand& c);

// Plans entry->trajPlan for a translation L and a rotation |dr| from the
// limits, sets the blend time and the path-stop jerks, and clears the
// finished flag. L and dr are already known not both to be zero.
void PlanCartProfile(PreDealData* entry, PreDealData* last, const CartCommand& c, double L, double dr,
                     const CartLimits& lim, const CartPlanRules& rules, CartDynOpt dynOpt);

// A stop re-plan plans from rest: the run before the stop left its speed,
// position and variable-speed flag in the profile.
void ClearRunState(TrajPlanData* plan);

