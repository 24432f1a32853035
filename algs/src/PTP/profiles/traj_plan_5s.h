#pragma once

#include "PTP/profiles/traj_plan_data.h"

// Five-segment profile from rest to rest (jerk up, jerk down, cruise, jerk
// down, jerk up) without a constant-acceleration segment, stored as t1, tConst
// and jerk. Its variable-speed form starts from vCurrent. Planners that refuse
// an unusable input (non-finite, or a non-positive limit) leave the record as it was.

// From dist, vMax, jerk; the peak acceleration is jerk·t1 (aMax is not read).
void TrajPlan5S(TrajPlanData* plan);
// From dist, vMax and the given jerk time; derives jerk.
void TrajPlan5S_ValidT(TrajPlanData* plan, double t1);
// Re-times to duration T keeping jerk; changes only t1 and tConst.
void TrajPlanTime5S(TrajPlanData* plan, double T);
// Jerk time of a five-segment move of duration T, distance D, jerk J (0 when none fits).
double GetTime1(double T, double D, double J);
// J (T x² - 2 x³) - D.
double FuncTime1(double x, double T, double D, double J);
double JointCalc5S(TrajPlanData* plan, double t);
double TimeCalc5S(TrajPlanData* plan, double s);

// Variable-speed form, from vCurrent to rest.
void TrajPlan5Svs(TrajPlanData* plan);
double JointCalc5Svs(TrajPlanData* plan, double t);
double TimeCalc5Svs(TrajPlanData* plan, double s);
// Root of c3 x³ + c2 x² + c1 x + c0 on [0, tEnd - tStart] by bisection; returns tStart + x.
double SolveTime5S(double c3, double c2, double c1, double c0, double tStart, double tEnd);
