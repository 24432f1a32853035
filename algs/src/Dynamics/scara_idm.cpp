#include "Dynamics/scara_idm.h"

#include <cmath>

#include "Dynamics/band_sign.h"
#include "common/kernel/sys_params.h"
#include "json/parameter_globals.h"

namespace {

constexpr float kL1 = 0.225f;         // link 1
constexpr float kL2 = 0.175f;         // joint 2 to the payload
constexpr float kL1Sq = 0.050625f;    // kL1²
constexpr float kL2Sq = 0.030625f;    // kL2²
constexpr float kGravity = 9.8f;

struct Trig {
  float c;
  float s;
};

Trig trigOf(float q2) {
  double s = 0.0;
  double c = 0.0;
  sincos(static_cast<double>(q2), &s, &c);
  return {static_cast<float>(c), static_cast<float>(s)};
}

// How the friction terms enter: the plain model, or the hand-guiding one.
struct Friction {
  float fvScale[3];
  float fsScale;
  float band12;  // band width of joints 1 and 2 (rad/s)
  float band3;   // band width of joint 3 (m/s)
};

constexpr Friction kModelFriction = {{1.0f, 1.0f, 1.0f}, 1.0f, 0.1f, 0.01f};

void inverseDynamics(float* tau, const float* q, const float* qd, const float* qdd, const Friction& f) {
  const st_basicdynamicparams6& P = m_st_basicdynamicparams6;
  const float m = m_st_loadParams.loadValue;
  const Trig t = trigOf(q[1]);
  const float qd1 = qd[0];
  const float qd2 = qd[1];
  const float qdd1 = qdd[0];
  const float qdd2 = qdd[1];
  const float S = qdd1 + qdd2;
  const float W = (qd1 + qd2) * (qd1 + qd2);

  // Acceleration of the elbow in link 2's frame.
  const float a = kL1 * (t.s * qdd1 - t.c * qd1 * qd1);
  const float b = kL1 * (t.c * qdd1 + t.s * qd1 * qd1);
  const float Pm = m * (b + kL2 * S);
  const float T2 = P.MX2 * b + kL2 * Pm - P.MY2 * a + P.ZZ2 * S;

  tau[0] = P.FV1 * f.fvScale[0] * qd1 + f.fsScale * P.FS1 * bandSign(qd1, f.band12) + T2 +
           kL1 * (t.s * (-W * P.MX2 - P.MY2 * S + m * (a - kL2 * W)) + t.c * (P.MX2 * S - P.MY2 * W + Pm)) +
           P.ZZ1 * qdd1;
  tau[1] = T2 + P.FV2 * f.fvScale[1] * qd2 + f.fsScale * P.FS2 * bandSign(qd2, f.band12) + P.IA2 * qdd2;
  const float z3 = qd[2] / 1000.0f;
  tau[2] = P.FV3 * f.fvScale[2] * z3 + f.fsScale * P.FS3 * bandSign(z3, f.band3) + P.ZZ3 * qdd[2] / 1000.0f +
           kGravity * (m + P.M3);
}

}  // namespace

void cal_M(float M[2][2], const float* q) {
  const st_basicdynamicparams6& P = m_st_basicdynamicparams6;
  const float m = m_st_loadParams.loadValue;
  const Trig t = trigOf(q[1]);
  const float mx2 = P.MX2 + kL2 * m;
  const float zz2 = P.ZZ2 + kL2Sq * m;
  const float k = kL1 * (t.c * mx2 - t.s * P.MY2);
  M[0][0] = P.ZZ1 + zz2 + kL1Sq * m + 2.0f * k;
  M[0][1] = zz2 + k;
  M[1][0] = M[0][1];
  M[1][1] = P.IA2 + zz2;
}

void cal_p(float* p, const float* q, const float* qd) {
  float M[2][2];
  cal_M(M, q);
  p[0] = M[0][0] * qd[0] + M[0][1] * qd[1];
  p[1] = M[1][0] * qd[0] + M[1][1] * qd[1];
}

void IDM_W7(float* tau, const float* q, const float* qd, const float* qdd) {
  inverseDynamics(tau, q, qd, qdd, kModelFriction);
}

void cal_beta(float* beta, const float* q, const float* qd, const float* qPrev, float dt) {
  const float zero[3] = {0.0f, 0.0f, 0.0f};
  float tau0[3];
  IDM_W7(tau0, q, qd, zero);
  float M[2][2];
  float Mp[2][2];
  cal_M(M, q);
  cal_M(Mp, qPrev);
  for (int i = 0; i < 2; ++i) {
    beta[i] = tau0[i] - ((M[i][0] - Mp[i][0]) * qd[0] + (M[i][1] - Mp[i][1]) * qd[1]) / dt;
  }
}

void IdmHandGuiding(float* tau, const float* q, const float* qd, const float* /*qdd*/) {
  Friction f = {};
  for (int i = 0; i < 3; ++i) f.fvScale[i] = static_cast<float>(gSysParams.adjust[i]) / 100.0f;
  f.fsScale = 0.5f;
  f.band12 = 0.2f;
  f.band3 = 0.2f;
  const float zero[3] = {0.0f, 0.0f, 0.0f};
  inverseDynamics(tau, q, qd, zero, f);
}

float minAbs(float x, float limit) {
  if (x > limit) return limit;
  if (x < -limit) return -limit;
  return x;
}
