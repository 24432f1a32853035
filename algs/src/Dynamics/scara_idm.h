#pragma once

// Closed-form single-precision model of joints 1-3 of the arm, with the
// parameters of the dynamics settings and the payload of the load settings,
// read on every call. Joint vectors are indexed joint 1, 2, 3: joints 1 and 2
// in rad, rad/s, rad/s²; joint 3 in mm, mm/s, mm/s² (metres inside the model).
// Torques of joints 1 and 2 in N·m, the force of joint 3 in N.

// Mass matrix of joints 1 and 2 at q.
void cal_M(float M[2][2], const float* q);
// Generalised momentum of joints 1 and 2: p = M(q)·(qd1, qd2).
void cal_p(float* p, const float* q, const float* qd);
// Joint torques tau[0..2] of the motion (q, qd, qdd).
void IDM_W7(float* tau, const float* q, const float* qd, const float* qdd);
// The observer's beta of joints 1 and 2: the torques at zero acceleration less
// the change of the mass matrix since qPrev times qd, over dt.
void cal_beta(float* beta, const float* q, const float* qd, const float* qPrev, float dt);
// Hand-guiding compensation tau[0..2]: the model at zero acceleration with the
// viscous friction of joint i scaled by its drag-sensitivity percentage, half
// the Coulomb friction and 0.2 wide friction bands; joint 3 keeps its gravity.
// qdd is not used.
void IdmHandGuiding(float* tau, const float* q, const float* qd, const float* qdd);
// x clamped to [-limit, limit].
float minAbs(float x, float limit);
