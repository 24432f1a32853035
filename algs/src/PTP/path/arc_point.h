#pragma once

#include "PTP/path/circle_records.h"
#include "common/kinematics/pose_records.h"

// Points of an arc planned in the frame (u, v, n) of its plane: u and v are
// the first two columns of `m` (row i holds u_i, v_i, n_i), the arc starts at
// angle 0 on u and runs towards v. Same formulas as the full circle's.

// Point at angle phi (rad): centre + R cos(phi) u + R sin(phi) v; out.r = start.r + dr.
void TP_CalcArcPtForScara(WCSPosition start, MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double phi,
                          double dr, WCSPosition* out);

// Displacement of the point at angle phi from the arc's start point:
// R (cos(phi) - 1) u + R sin(phi) v; out.r = r. The centre is not needed.
void TP_TransCalcArcPtForScara(MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double phi, double r,
                               WCSPosition* out);
