#pragma once

#include "PTP/path/circle_records.h"
#include "common/kinematics/pose_records.h"

// Circle through three Cartesian poses (x, y, z in mm, r in deg).

// p1 start, p2 middle, p3 end. The plan sweeps `turns` whole turns, plus the
// arc from p1 through p2 to p3 when addArc is true; r travels evenly from p1.r
// to p3.r. Returns 0 with the plan filled, or 1 when no circle passes through
// the points (collinear, coincident, or a radius below 1e-5); the plan is then
// untouched.
int TP_CirclePlanForScara(WCSPosition p1, WCSPosition p2, WCSPosition p3, CirlPlanPara* plan, int turns,
                          bool addArc);

// Point of the circle at angle theta from u; out.r = start.r + dr.
void TP_CalcCirclePtForScara(WCSPosition start, MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double theta,
                             double dr, WCSPosition* out);

// Displacement of the point at angle theta from the point at angle 0; out.r = r.
// The centre is not needed for a displacement.
void TP_TransCalcCirclePtForScara(MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double theta, double r,
                                  WCSPosition* out);
