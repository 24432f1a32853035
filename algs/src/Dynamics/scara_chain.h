#pragma once

#include "zelor_export.h"

// Kinematic chain of the arm in SI units (m, rad), modified Denavit-Hartenberg:
//   joint 1: alpha 0, a 0,  d 0,  theta q1
//   joint 2: alpha 0, a L1, d 0,  theta q2
//   joint 3: alpha 0, a L2, d q3, theta 0
//   joint 4: alpha 0, a 0,  d 0,  theta q4
// with L1, L2 from the mechanism block.

// T (row-major 4 x 4) = the modified DH transform of one chain row.
ZELOR_EXPORT void DHTransMat(double alpha, double a, double d, double theta, double* T);

// Joints q[0..5] for p = (x, y, z, r); flag 0 takes the elbow with q2 >= 0.
// Points up to 1 mm beyond the reach get the stretched arm; farther ones (and
// a non-finite x or y) return -1 with q untouched. Otherwise returns 1.
ZELOR_EXPORT int ikineScara(double* p, double* q, int flag);
