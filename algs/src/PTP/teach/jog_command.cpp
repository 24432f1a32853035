#include "PTP/teach/jog_command.h"

#include <cstring>

#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace jog {

namespace {
constexpr double kMinJogParam = 1e-5;
constexpr unsigned kAlarmJogParams = 26;
}  // namespace

JointTheta MeasuredJoints() {
  JointTheta joints;
  std::memcpy(&joints, &gSysParams.joint, sizeof joints);
  return joints;
}

WCSPosition MeasuredPose() {
  WCSPosition pose;
  std::memcpy(&pose, &gSysParams.pose, sizeof pose);
  return pose;
}

double& Coordinate(WCSPosition& pose, int axis) {
  switch (axis) {
    case 0:
      return pose.x;
    case 1:
      return pose.y;
    case 2:
      return pose.z;
    default:
      return pose.r;
  }
}

bool ScaledSpeed(float velocity, float acceleration, Speed& out) {
  const double ratio = gSysParams.jogCommonParams.velocityRatio;
  out.velocity = velocity * ratio / 100.0;
  out.acceleration = acceleration * ratio / 100.0;
  // Written so that a value that is not a number is refused too.
  if (out.velocity >= kMinJogParam && out.acceleration >= kMinJogParam) return true;
  KernelLog("jog velocity:%1.3f acceleration:%1.3f\r\n", out.velocity, out.acceleration);
  KernelLog("jog speedparams error jogVelRatio:%1.3f jogVelMax:%1.3f jogAcc:%1.3f \r\n", ratio,
            static_cast<double>(velocity), static_cast<double>(acceleration));
  AlarmSysSetBit(kAlarmJogParams, true);
  return false;
}

bool LoadSpeed(float velocity, float acceleration) {
  Speed speed{};
  if (!ScaledSpeed(velocity, acceleration, speed)) return false;
  gTeachMove.targetSpeed = speed.velocity;
  gTeachMove.acceleration = speed.acceleration;
  return true;
}

}  // namespace jog
