#pragma once

// The profile dispatch: every planner plans, re-times, evaluates and inverts
// its one-dimensional moves through these, and the kernel-wide gAccType picks
// the family (0 five-segment, 1 seven-segment, 2 cosine). The blending code
// calls TrajPlan7S and getPosVelAcc directly; the jump planner and the joint
// stop call TrajPlan5S_ValidT whatever the type.

#include "PTP/profiles/traj_plan_5s.h"
#include "PTP/profiles/traj_plan_7s.h"
#include "PTP/profiles/traj_plan_data.h"

// Logs the inputs, then plans. Returns 0, or -1 when the seven-segment plan
// fell back to the pure velocity transition or to no motion (see
// traj_plan_dispatch.cpp), and when an unknown gAccType planned nothing.
int TrajPlan(TrajPlanData* plan);
// Stretches a planned move to last T (variableSpeed not consulted).
void TrajPlanTime(TrajPlanData* plan, double T);
// Position at time t; an unknown gAccType returns t.
double JointCalc(TrajPlanData* plan, double t);
// Position at t of the following move during a blend (variableSpeed not
// consulted); an unknown gAccType returns t.
double JointCalcNext(TrajPlanData* plan, double t);
// Time at which distance s is reached; an unknown gAccType returns s.
double TimeCalc(TrajPlanData* plan, double s);
