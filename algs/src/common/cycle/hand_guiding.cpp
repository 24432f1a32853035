#include "common/cycle/hand_guiding.h"

#include <cmath>

#include "common/kernel/dynamics_state.h"
#include "common/kernel/kernel_state.h"

namespace {

constexpr double kMinFriction = 0.003;  // joints 1-3
constexpr double kJoint4Friction = 0.0002;
constexpr double kScrewPi = 3.1416;
constexpr double kScrewScale = 0.01;

}  // namespace

void SetHandGuiding(bool on) { gIsHandGuiding = on ? 1 : 0; }

// The hand-guiding torque the dynamics stage computed, as the drive takes it.
double HandGuidingFriction(int joint) {
  if (gIsHandGuiding == 0) return 0.0;
  if (joint == 3) return kJoint4Friction;
  const double torque = gDynamicInfo.tau[joint];
  double friction = joint == 2 ? torque / kScrewPi * kScrewScale : torque * gJointPara[5 + joint];
  if (!std::isfinite(friction)) friction = 0.0;
  if (std::fabs(friction) < kMinFriction) friction = std::copysign(kMinFriction, friction);
  return friction;
}
