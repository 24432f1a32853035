#pragma once

#include "Dynamics/dyn_para.h"
#include "zelor_export.h"

// Rigid-body model of the arm: joints 1, 2, 4 revolute about vertical axes
// (rad), joint 3 prismatic along the vertical (m). Joint arrays hold joints
// 1..4; longer arrays are read for their first four values only.

// +1 above eps, -1 below -eps, x/eps (single precision) inside the band.
ZELOR_EXPORT double SignModified(float x, float eps);

// M = joint-space inertia matrix, closed form.
ZELOR_EXPORT void MassInertiaMatrix(double* q, double (*M)[4], DynPara P);
// h = Coriolis and centrifugal torques C(q, qd)·qd of the same model; h[2] = 0.
ZELOR_EXPORT void CenCorMatrix(double* q, double* qd, double* h, DynPara P);
// fv = viscous, fc = Coulomb torques.
ZELOR_EXPORT void Friction(double* qd, DynPara P, double* fv, double* fc);
// g = gravity load: only the vertical joint carries one.
ZELOR_EXPORT void Gravity(double* g, DynPara P);
