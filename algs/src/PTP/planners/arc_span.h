#pragma once

#include "PTP/planners/cart_command.h"
#include "PTP/planners/cart_profile.h"
#include "common/kernel/pre_deal_data.h"

// What an arc plan starts from: its three points in the frame the run
// converts from, and the joints at the start.
struct ArcPoints {
  WCSPosition origin;
  WCSPosition middle;
  WCSPosition end;
  JointTheta start;
};

// Geometry, path check and profile of the arc into the entry: 19 for
// coinciding points or an arc of no length and no rotation, 20 when no arc
// passes through the points, 24 for an unreachable point of the path, 26 for
// the limits. False after raising the alarm.
bool PlanArc(PreDealData* entry, PreDealData* last, const CartCommand& c, const ArcPoints& p,
             const CartPlanRules& rules);

// The arc's remaining plan values from its profile distance (also read by
// the stops before the first cycle).
void StoreArcShares(PreDealData* entry, double A, double dr);

// The torque-limited limits of the entry's arc (gDynamicOptimal).
void ArcDynOpt(PreDealData* entry, const CartLimits& lim, const CartCommand& c);
