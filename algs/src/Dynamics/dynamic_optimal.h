#pragma once

#include "Dynamics/dyn_para.h"
#include "PTP/path/path_records.h"
#include "zelor_export.h"

// Dynamic speed limits along a path: the largest path acceleration or
// deceleration at a given path speed that keeps every joint torque within
// its bounds, from the rigid-body model.

// The model record handed to every DynamicOptimal call. Cleared at set-up;
// its writers fill the payload pair (mass at 52, inertia at 53).
extern ZELOR_EXPORT DynPara dynParam;
// Joint torque bounds (N·m; N for joint 3), torMin = -torMax.
extern ZELOR_EXPORT double torMax[4];
extern ZELOR_EXPORT double torMin[4];

// Sentinel of a direction no joint bounds.
inline constexpr double kNoDynamicBound = 1e10;

// Clears dynParam and takes the torque bounds from the dynamics settings;
// joint 3's motor torque becomes a force through the screw lead.
ZELOR_EXPORT void InitDynParam();

// limit = magnitude of the bound on u'' at (u, u') of the path: the greatest
// acceleration (isAcc) or the strongest deceleration. The path is in SI units
// (m, rad); kinds 1 joint, 2 line, 3 arc. A point the arm cannot reach, or any
// other kind, gives kNoDynamicBound with a log line.
ZELOR_EXPORT void DynamicOptimal(double u, double ud, bool isAcc, PathInfo path, DynPara P, double* tauMax,
                                 double* tauMin, double& limit);

// Bound on u'' from the path-torque coefficients at path speed ud: the least
// upper bound (isAcc) or the greatest lower bound; ±kNoDynamicBound when no
// joint imposes one. A zero or NaN coefficient a_j imposes none.
ZELOR_EXPORT double calcPathMaxAcc(double ud, double* a, double* b, double* c, double* d, double* tauMax,
                                   double* tauMin, bool isAcc);
