#include "Dynamics/dynamic_adaptive.h"

#include <cmath>

#include "Dynamics/scara_idm.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr int kFV[2] = {2, 8};  // FV1, FV2 in gBasicDynamicParams
constexpr float kAdaptRate = 0.02f;
constexpr float kAdaptStep = 0.1f;
constexpr float kAdaptMinSpeed = 0.5f;  // rad/s
// Joint torque (N·m) to drive units: tau·1000 / gear ratio / 0.1416.
constexpr double kPerMille = 1000.0;
constexpr double kTorqueConstant = 0.1416;

}  // namespace

void DynamicParameterAdaptive_scara(float* tauMeasured, int disable) {
  if (disable != 0 || gSafeMode == 0 || gExcitMode == 1 || gFeedForwardMode != 0) return;
  if (gRobotPrfMode == kPrfExecute) {
    for (int j = 0; j < 2; ++j) {
      const float qd = gDynamicInfo.qd[j];
      if (std::fabs(qd) > kAdaptMinSpeed) {
        gBasicDynamicParams[kFV[j]] -= minAbs((gDynamicInfo.tau[j] - tauMeasured[j]) * kAdaptRate * qd, kAdaptStep);
      }
    }
  }
  for (int index : kFV) {
    if (gBasicDynamicParams[index] < 0.0f) gBasicDynamicParams[index] = 0.0f;
  }
}

void DynamicFeedForward_scara(float* out) {
  IDM_W7(gDynamicInfo.tau, gDynamicInfo.q, gDynamicInfo.qd, gDynamicInfo.qdd);
  for (int j = 0; j < 2; ++j) {
    const double gear = gJointPara[5 + j];
    // No feed-forward through a joint whose gear ratio is not set up yet.
    out[j] = gear == 0.0 ? 0.0f
                         : static_cast<float>(-static_cast<double>(gDynamicInfo.tau[j]) * kPerMille / gear /
                                              kTorqueConstant);
  }
}
