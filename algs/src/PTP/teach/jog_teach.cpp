#include "PTP/teach/jog_teach.h"

#include <cstring>

#include "PTP/teach/jog_command.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"
#include "common/kinematics/kinematics_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

std::uint8_t gTeachMode = 0;
WCSPosition gDistPos = {};

namespace {

constexpr unsigned kAlarmJogSingular = 32;
constexpr unsigned kAlarmJogOutOfReach = 33;
// Joint-limit alarms 64-71: bit 2k joint k+1 above its maximum, 2k+1 below its minimum.
constexpr int kJointLimitByte = 8;
constexpr unsigned kJointAboveMaxAlarm = 64;
// Alarms of this byte do not stop a running jog.
constexpr int kJogTolerantByte = 9;

void clearJointSpeeds() {
  for (double& speed : gRobotAxisMove.nextVel) speed = 0.0;
}

void ramp(int command) {
  if (jog::IsPositive(command)) {
    SinglePos();
  } else {
    SingleNeg();
  }
}

// Ends the jog on the spot.
void holdMeasured(const JointTheta& measured) {
  std::memcpy(gRobotAxisMove.nextPos, &measured, sizeof gRobotAxisMove.nextPos);
  clearJointSpeeds();
  gRobotPrfMode = kPrfIdle;
  gTeachMove.cmd = 0;
  gTeachMove.velocity = 0.0;
}

// An alarm outside the limit bytes, or a joint pushed further past the limit it
// already exceeds.
bool mustHold(const JointTheta& measured) {
  for (int byte = 0; byte < kAlarmMapBytes; ++byte) {
    if (byte != kJointLimitByte && byte != kJogTolerantByte && gAlarmSysState[byte] != 0) return true;
  }
  const double* joints = &measured.j1;
  for (unsigned k = 0; k < 4; ++k) {
    if (AlarmIsSet(kJointAboveMaxAlarm + 2 * k) && gRobotAxisMove.nextPos[k] > joints[k]) return true;
    if (AlarmIsSet(kJointAboveMaxAlarm + 2 * k + 1) && gRobotAxisMove.nextPos[k] < joints[k]) return true;
  }
  return false;
}

// Decelerates the active jog by one period; false once the velocity has
// crossed zero (or no jog is active), after ending the jog.
bool decelerate() {
  const int command = gTeachMove.cmd;
  if (jog::IsAxisCommand(command)) {
    const double step = gTeachMove.acceleration * gPeriodTime;
    bool moving;
    if (jog::IsPositive(command)) {
      gTeachMove.velocity -= step;
      moving = gTeachMove.velocity > 0.0;
    } else {
      gTeachMove.velocity += step;
      moving = gTeachMove.velocity < 0.0;
    }
    if (moving) return true;
  }
  gTeachMove.cmd = 0;
  gTeachMove.velocity = 0.0;
  gRobotPrfMode = kPrfIdle;
  return false;
}

// Joints for gDistPos with the arm kept on the side it is on.
void solveCartesianTarget() {
  JointTheta joints = jog::MeasuredJoints();
  const bool rightHanded = joints.j2 >= 0.0;
  const int rc = InverseCal(&gDistPos, rightHanded, &joints, kCheckSingularity, &gToolParams, &gLocalParams);
  if (rc == kKinSingular) {
    AlarmSysSetBit(kAlarmJogSingular, true);
    return;
  }
  if (rc == kKinOutOfReach) {
    AlarmSysSetBit(kAlarmJogOutOfReach, true);
    return;
  }
  if (rc != kKinOk && rc != kKinSoftLimit) return;
  // A soft-limit solution is still taken: the axis check stops the jog there.
  std::memcpy(gRobotAxisMove.nextPos, &joints, sizeof gRobotAxisMove.nextPos);
}

// The measured pose with coordinate `axis` advanced by one period of the jog.
void advanceCartesianTarget(int axis) {
  gDistPos = jog::MeasuredPose();
  jog::Coordinate(gDistPos, axis) += gTeachMove.velocity * gPeriodTime;
}

}  // namespace

void SinglePos() {
  const double step = gTeachMove.acceleration * gPeriodTime;
  const double d = gTeachMove.velocity - gTeachMove.targetSpeed;
  if (d > step) {
    gTeachMove.velocity -= step;
    KernelLog("jog pos add\r\n");
  } else if (d < -step) {
    gTeachMove.velocity += step;
    KernelLog("jog pos sub\r\n");
  } else {
    gTeachMove.velocity = gTeachMove.targetSpeed;
  }
  gCmdFinishFlag = 1;
}

void SingleNeg() {
  const double step = gTeachMove.acceleration * gPeriodTime;
  const double d = gTeachMove.velocity + gTeachMove.targetSpeed;
  if (d < -step) {
    gTeachMove.velocity += step;
  } else if (d > step) {
    gTeachMove.velocity -= step;
  } else {
    gTeachMove.velocity = -gTeachMove.targetSpeed;
  }
  gCmdFinishFlag = 1;
}

void JointTeach(int command) {
  clearJointSpeeds();
  if (command == 0) {
    JointTeachStop();
  } else if (AlarmSysCheck() != 0 && gAlarmSysState[kJointLimitByte] == 0) {
    JointTeachStop();
  } else if (!jog::IsAxisCommand(command)) {
    gTeachMove.velocity = 0.0;
    gTeachMove.cmd = 0;
  } else {
    const int axis = jog::AxisOf(command);
    const tagJOGJointParams& params = gSysParams.jogJointParams;
    if (!jog::LoadSpeed(params.velocity[axis], params.acceleration[axis])) return;
    ramp(command);
    gRobotAxisMove.nextVel[axis] = gTeachMove.velocity;
    gTeachMove.cmd = static_cast<std::uint8_t>(command);
  }

  const JointTheta measured = jog::MeasuredJoints();
  const double* joints = &measured.j1;
  for (int j = 0; j < 4; ++j) gRobotAxisMove.nextPos[j] = joints[j] + gPeriodTime * gRobotAxisMove.nextVel[j];
  if (mustHold(measured)) holdMeasured(measured);
}

void JointTeachStop() {
  if (decelerate()) {
    clearJointSpeeds();
    gRobotAxisMove.nextVel[jog::AxisOf(gTeachMove.cmd)] = gTeachMove.velocity;
    return;
  }
  clearJointSpeeds();
}

void CrdTeach(int command) {
  if (command == 0) {
    CrdTeachStop();
  } else if (jog::IsAxisCommand(command)) {
    const int axis = jog::AxisOf(command);
    const tagJOGCoordinateParams& params = gSysParams.jogCoordinateParams;
    if (!jog::LoadSpeed(params.velocity[axis], params.acceleration[axis])) return;
    ramp(command);
    advanceCartesianTarget(axis);
    gTeachMove.cmd = static_cast<std::uint8_t>(command);
  } else {
    gTeachMove.velocity = 0.0;
    gTeachMove.cmd = 0;
    gDistPos = jog::MeasuredPose();
  }
  if (gRobotPrfMode != kPrfIdle) solveCartesianTarget();
}

void CrdTeachStop() {
  if (decelerate()) advanceCartesianTarget(jog::AxisOf(gTeachMove.cmd));
}
