#include "Dynamics/scara_torque.h"

#include <cmath>

#include "Dynamics/arm_lengths.h"
#include "Dynamics/scara_model.h"
#include "common/kernel/core_interface.h"
#include "common/kinematics/kinematics_constants.h"
#include "common/math/matrix_ops.h"
#include "json/parameter_globals.h"

namespace {

namespace ds = dyn_slot;

// Arm lengths the identified model was fitted with.
constexpr float kW7L1 = 0.225f;
constexpr float kW7L2 = 0.175f;
constexpr double kGravity = 9.8;

}  // namespace

namespace {

// The model's terms at one joint state: M(q), M(q)·acc, h(q, vel), the
// friction of vel and gravity.
struct ModelTerms {
  double M[4][4];
  double Macc[4];
  double h[4];
  double fv[4];
  double fc[4];
  double g[4];
};

void modelTerms(double* q, double* vel, double* acc, const DynPara& P, ModelTerms& t) {
  MassInertiaMatrix(q, t.M, P);
  MatMultiplyN(&t.M[0][0], acc, 4, 4, 1, t.Macc);
  CenCorMatrix(q, vel, t.h, P);
  Friction(vel, P, t.fv, t.fc);
  Gravity(t.g, P);
}

}  // namespace

void calcDynCoef(double* q, double* A, double* B, double* a, double* b, double* c, double* d, DynPara P) {
  // Along the path q̇ = A·u̇ and q̈ = A·ü + B·u̇²: the terms taken at velocity A
  // and acceleration B are the coefficients of u̇ and u̇².
  ModelTerms t;
  modelTerms(q, A, B, P, t);
  MatMultiplyN(&t.M[0][0], A, 4, 4, 1, a);
  for (int j = 0; j < 4; ++j) {
    b[j] = t.Macc[j] + t.h[j];
    c[j] = t.fv[j];
    d[j] = t.fc[j] + t.g[j];
  }
}

void calcTorque(double* q, double* qd, double* qdd, double* tau, DynPara P) {
  ModelTerms t;
  modelTerms(q, qd, qdd, P, t);
  for (int j = 0; j < 4; ++j) tau[j] = t.Macc[j] + t.h[j] + t.fv[j] + t.fc[j] + t.g[j];
  tau[2] = tau[2] * screwLead() / (1000.0 * 2.0 * kKinPi);
}

void calcTorqueW7(double* q, double* qd, double* qdd, double* tau) {
  KernelLog("calcTorqueW7_Toruqe:%lf, %lf, %lf, %lf   \r\n", tau[0], tau[1], tau[2], tau[3]);

  const st_basicdynamicparams6& p = m_st_basicdynamicparams6;
  const float mL = m_st_loadParams.loadValue;
  const float S = static_cast<float>(std::sin(q[1]));
  const float C = static_cast<float>(std::cos(q[1]));
  const float qd1 = static_cast<float>(qd[0]);
  const float qd2 = static_cast<float>(qd[1]);
  const float qdd1 = static_cast<float>(qdd[0]);
  const float qdd2 = static_cast<float>(qdd[1]);
  const float u = qdd1 + qdd2;
  const float w = (qd1 + qd2) * (qd1 + qd2);

  const float Lx = kW7L1 * (C * qdd1 + S * qd1 * qd1);
  const float Ly = kW7L1 * (S * qdd1 - C * qd1 * qd1);
  const float F = mL * (Lx + kW7L2 * u);
  const float T2 = p.MX2 * Lx + kW7L2 * F - p.MY2 * Ly + p.ZZ2 * u;

  const float fs1 = p.FS1 * static_cast<float>(SignModified(qd1, kFrictionEps[0]));
  const float fs2 = p.FS2 * static_cast<float>(SignModified(qd2, kFrictionEps[1]));
  tau[0] = p.FV1 * qd1 + fs1 + T2 +
           kW7L1 * (S * (-w * p.MX2 - p.MY2 * u + mL * (Ly - kW7L2 * w)) + C * (p.MX2 * u - p.MY2 * w + F)) +
           p.ZZ1 * qdd1;
  tau[1] = T2 + p.FV2 * qd2 + fs2 + p.IA2 * qdd2;
  tau[2] = p.FV3 * qd[2] + p.FS3 * SignModified(static_cast<float>(qd[2]), kFrictionEps[2]) + p.ZZ3 * qdd[2] +
           kGravity * (p.M3 + mL);
}
