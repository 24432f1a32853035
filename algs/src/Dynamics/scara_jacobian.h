#pragma once

#include "zelor_export.h"

// Task Jacobian of the arm, 4 x 4 with the rows vx, vy, vz, wz and one column
// per joint, and its time derivative. Joints in rad and m.

// J = J4(q), Jd = dJ4/dt at (q, qd), at the origin of frame 4. The fifth
// argument is not read.
ZELOR_EXPORT void Jacobdot_SCARA(double* q, double* qd, double (*J)[4], double (*Jd)[4], double* extra);

// Path derivatives of the joints: t and c are the first and second derivatives
// of the Cartesian path (x, y, z and three rotation entries; 6 doubles each)
// with respect to the path parameter u. The rotation rate is taken from t[5],
// which overwrites t[3] in the caller's array. A = dq/du, B = d²q/du².
// A singular J4 falls back to the pseudo-inverse.
ZELOR_EXPORT void calcAB_SCARA(double* q, double* t, double* c, double* A, double* B);

// v = (vx, vy, vz, wz) and a = its time derivative at the tool centre point:
// the origin of frame 4, moved by the tool transform T (row-major 4 x 4) when
// T is not null.
ZELOR_EXPORT void calcTCPAcc(double* q, double* qd, double* qdd, double* v, double* a, double (*T)[4]);
