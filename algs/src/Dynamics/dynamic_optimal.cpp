#include "Dynamics/dynamic_optimal.h"

#include <cmath>

#include "Dynamics/arm_lengths.h"
#include "Dynamics/scara_chain.h"
#include "Dynamics/scara_jacobian.h"
#include "Dynamics/scara_torque.h"
#include "PTP/path/path.h"
#include "common/kernel/core_interface.h"
#include "common/kinematics/kinematics_constants.h"
#include "json/parameter_globals.h"

DynPara dynParam = {};
double torMax[4] = {};
double torMin[4] = {};

void InitDynParam() {
  for (double& v : dynParam.para) v = 0.0;

  const st_basicdynamicparams6& p = m_st_basicdynamicparams6;
  torMax[0] = p.torqueLimit[0];
  torMax[1] = p.torqueLimit[1];
  const double lead = screwLead();
  if (lead > 0.0 && std::isfinite(lead)) {
    const float twoPiT = 2.0f * p.torqueLimit[2] * static_cast<float>(kKinPi);
    torMax[2] = twoPiT / (lead / 1000.0);
  } else {
    // Without a lead the motor torque says nothing about the axis force.
    torMax[2] = kNoDynamicBound;
    KernelLog("InitDynParam: screw lead %lf not usable, joint 3 force unbounded\r\n", lead);
  }
  torMax[3] = p.torqueLimit[3];
  for (int j = 0; j < 4; ++j) torMin[j] = -torMax[j];
}

double calcPathMaxAcc(double ud, double* a, double* b, double* c, double* d, double* tauMax, double* tauMin,
                      bool isAcc) {
  double bound = isAcc ? kNoDynamicBound : -kNoDynamicBound;
  for (int j = 0; j < 4; ++j) {
    const double r = c[j] * ud + b[j] * ud * ud + d[j];
    double cand;
    if (a[j] > 0.0) {
      cand = ((isAcc ? tauMax[j] : tauMin[j]) - r) / a[j];
    } else if (a[j] < 0.0) {
      cand = ((isAcc ? tauMin[j] : tauMax[j]) - r) / a[j];
    } else {
      continue;  // zero or NaN: no bound from this joint
    }
    // A NaN candidate fails both comparisons and leaves the bound.
    if (isAcc ? cand < bound : cand > bound) bound = cand;
  }
  return bound;
}

void DynamicOptimal(double u, double ud, bool isAcc, PathInfo path, DynPara P, double* tauMax, double* tauMin,
                    double& limit) {
  double q[6] = {};
  double A[6] = {};
  double B[6] = {};
  switch (path.kind) {
    case kPathJoint: {
      getPos(path, u, q);
      for (int j = 0; j < 4; ++j) A[j] = path.para[path_slot::kJointChange + j];
      break;
    }
    case kPathLine:
    case kPathArc: {
      double pos[6] = {};
      getPos(path, u, pos);
      if (ikineScara(pos, q, 0) != 1) {
        limit = kNoDynamicBound;
        KernelLog("DynamicOptimal: point (%lf, %lf) out of reach, no dynamic bound\r\n", pos[0], pos[1]);
        return;
      }
      double t[6] = {};
      double c[6] = {};
      getTangent(u, t, path);
      getCurvature(u, c, path);
      // The path carries the rotation rate in element 3; calcAB_SCARA reads it from 5.
      t[5] = t[3];
      calcAB_SCARA(q, t, c, A, B);
      break;
    }
    default:
      limit = kNoDynamicBound;
      KernelLog("DynamicOptimal: path kind %d has no model, no dynamic bound\r\n", static_cast<int>(path.kind));
      return;
  }

  double a[4];
  double b[4];
  double c[4];
  double d[4];
  calcDynCoef(q, A, B, a, b, c, d, P);
  limit = std::fabs(calcPathMaxAcc(ud, a, b, c, d, tauMax, tauMin, isAcc));
}
