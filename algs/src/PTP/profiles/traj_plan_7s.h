#pragma once

#include "PTP/profiles/traj_plan_data.h"

// Seven-segment S-curve: jerk up, constant acceleration, jerk down, cruise,
// jerk down, constant deceleration, jerk up, from vStart to vEnd over dist,
// lasting a whole number of periods. The plan lives in the record's motion.

// Plans from dist, vMax, aMax, aMaxDec, jerk, vStart, vEnd and period. Returns 0
// with a plan of whole periods that ends at dist and vEnd and keeps, at every
// instant, |jerk| <= jerk, |acceleration| <= aMax over segments 1 to 3 and
// aMaxDec over 5 to 7, 0 <= velocity, velocity <= vMax over the cruise and
// <= max(vMax, the side's boundary velocity) over a side. Otherwise the record
// is untouched and the result is -1 when an input is unusable (non-finite, or
// a non-positive limit or period) or the move is too short to rise from the
// lower boundary velocity to the higher one and no plan dips below it, -2
// when no plan of whole periods keeps the limits; both refusals of a
// plannable input write one log line.
int TrajPlan7S(TrajPlanData* plan);
// Variant for a vMax below the larger boundary velocity: cruises at vMax where
// that keeps the limits. Same outputs and refusals as TrajPlan7S.
int TrajPlan7SLowLimit(TrajPlanData* plan);
// The profile dispatch's last resort: the pure velocity transition from vStart
// to vEnd over dist (whole periods, jerk as physics demands). -1, record
// untouched, when the inputs are unusable or vStart + vEnd is not positive.
int TrajPlan7SForcedTransition(TrajPlanData* plan);

// Position, velocity and acceleration at t, clamped to the plan's time span.
// The period argument is not used.
void getPosVelAcc(MotionData& md, double t, double period, double& pos, double& vel, double& acc);
double JointCalc7S(TrajPlanData* plan, double t);
// Stretches a planned move to last T: time scales by k, velocity by 1/k,
// acceleration by 1/k², jerk by 1/k³; positions stay.
void TrajPlanTime7S(TrajPlanData* plan, double T);
// Time at which position s is reached (s above the end: the end time).
double TimeCalc7S(TrajPlanData* plan, double s);

// Root of c3 x³ + c2 x² + c1 x + c0 on [0, tEnd - tStart]; returns tStart + x.
double SolveTime(double c3, double c2, double c1, double c0, double tStart, double tEnd);

// State after t with jerk j from acceleration a0, velocity vs, position ss.
double Cal_Accelelation(double t, double j, double a0);
double Cal_Velocity(double t, double j, double a0, double vs);
double Cal_Displacement(double t, double j, double a0, double vs, double ss);
