#pragma once

#include "PTP/profiles/traj_plan_data.h"

// Cosine profile: the seven-segment layout from rest to rest, each jerk
// segment a half sine of one common duration, so acceleration changes as one
// minus a cosine. vStart and vEnd are not read; the total is whole periods.

// From dist, vMax, aMax, jerk, period. Returns 0, or -1 (record untouched) when
// an input it reads is unusable.
int TrajPlanCos(TrajPlanData* plan);
// State at t for jerk segments of angular frequency w. Writes nothing when t
// lies outside [0, time[7] + 1e-10]; the period argument is not used.
void getPosVelAccCos(MotionData& md, double w, double t, double period, double& pos, double& vel, double& acc);
double JointCalcCos(TrajPlanData* plan, double t);
double TimeCalcCos(TrajPlanData* plan, double s);
// Root of the position equation of segment k (0..6) from state (vk, ak) with
// jerk amplitude amp: c0 + position gained after x = 0 on [0, tEnd - tStart].
double SolveForCos(double c0, double vk, double ak, double amp, double tStart, double tEnd, double w, int k);
// Identical to TrajPlanTime7S.
void TrajPlanTimeCos(TrajPlanData* plan, double T);
