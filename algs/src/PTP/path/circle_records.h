#pragma once

#include <cstddef>

// Plane-frame records of the circle and arc geometry. The calibration maths of
// the data server uses the same matrix and vector records.

// 3 x 3 matrix, row-major: m[i][j] is row i, column j.
struct MATRIX3D_STR {
  double m[3][3];
};
static_assert(sizeof(MATRIX3D_STR) == 72);

struct VECTOR3D_STR {
  double x;
  double y;
  double z;
};
static_assert(sizeof(VECTOR3D_STR) == 24);

// A circle through three poses, kept inside the pre-processed entry.
struct CirlPlanPara {
  // Columns u (centre to start point), v = n x u and n (unit normal of the
  // circle plane): row i holds (u_i, v_i, n_i).
  MATRIX3D_STR rotation;
  VECTOR3D_STR centre;
  // (0, 0, s): s = +1.0 when r grows from start to end, else -1.0.
  double rDir[3];
  double radius;
  double angle;    // swept angle, rad
  double rTravel;  // |end r - start r|, deg
};
static_assert(sizeof(CirlPlanPara) == 18 * sizeof(double));
static_assert(offsetof(CirlPlanPara, centre) == 72);
static_assert(offsetof(CirlPlanPara, rDir) == 96);
static_assert(offsetof(CirlPlanPara, radius) == 120);
static_assert(offsetof(CirlPlanPara, angle) == 128);
static_assert(offsetof(CirlPlanPara, rTravel) == 136);
