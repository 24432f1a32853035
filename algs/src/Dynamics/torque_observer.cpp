#include "Dynamics/torque_observer.h"

#include "Dynamics/band_sign.h"
#include "Dynamics/scara_idm.h"
#include "json/parameter_globals.h"

namespace {

constexpr float kGain12 = 10.0f;
constexpr float kGain3 = 5.0f;
constexpr float kGravity = 9.8f;
// Below this joint-3 speed (mm/s) its residual is held at rest.
constexpr float kJoint3MinSpeed = 10.0f;

float qep[3] = {};       // positions of the previous call
float lumda[3] = {};     // integrals
float torque_p[3] = {};  // residuals

}  // namespace

void TauOb(float* r, const float* q, const float* qd, const float* tauMeasured, const float* bias, float dt,
           bool reset) {
  const st_basicdynamicparams6& P = m_st_basicdynamicparams6;
  const float m = m_st_loadParams.loadValue;

  float p[2];
  float beta[2];
  cal_p(p, q, qd);
  cal_beta(beta, q, qd, qep, dt);
  const float p3 = P.ZZ3 * qd[2] / 1000.0f;

  lumda[1] += (tauMeasured[1] - beta[1] + torque_p[1]) * dt;
  if (qd[2] >= kJoint3MinSpeed || qd[2] <= -kJoint3MinSpeed) {
    const float z3 = qd[2] / 1000.0f;
    lumda[2] += dt * (tauMeasured[2] - (P.FV3 * z3 + P.FS3 * bandSign(z3, 0.01f) + kGravity * (m + P.M3)) +
                      torque_p[2]);
  } else {
    lumda[2] = p3;
  }
  lumda[0] += (tauMeasured[0] - beta[0] + torque_p[0]) * dt;

  if (reset) {
    lumda[0] = p[0];
    lumda[1] = p[1];
    lumda[2] = p3;
  }

  torque_p[0] = kGain12 * (p[0] - lumda[0] - bias[0]);
  torque_p[1] = kGain12 * (p[1] - lumda[1] - bias[1]);
  torque_p[2] = kGain3 * (p3 - lumda[2] - bias[2]);
  for (int i = 0; i < 3; ++i) {
    r[i] = torque_p[i];
    qep[i] = q[i];
  }
}
