#pragma once

#include "Dynamics/dyn_para.h"
#include "zelor_export.h"

// Joint torques of the arm (N·m; joint 3 in N unless said).

// Coefficients of the joint torque along a path q(u) with A = dq/du and
// B = d²q/du²: tau = a·u'' + b·u'² + c·u' + d.
ZELOR_EXPORT void calcDynCoef(double* q, double* A, double* B, double* a, double* b, double* c, double* d, DynPara P);

// tau = the full model's motor torques; joint 3's force becomes the torque of
// its screw motor.
ZELOR_EXPORT void calcTorque(double* q, double* qd, double* qdd, double* tau, DynPara P);

// tau[0..2] = the identified base-parameter model's torque feed-forward, with
// the parameters of the dynamics settings and the payload of the load
// settings; tau[3] is left as it is. Logs the array's values on entry.
ZELOR_EXPORT void calcTorqueW7(double* q, double* qd, double* qdd, double* tau);
