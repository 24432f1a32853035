#include <cstring>

#include "PTP/planners/cart_conveyor.h"
#include "common/cycle/profile.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/run_data.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/conveyor_track.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"
#include "common/kinematics/kinematics_state.h"

namespace {

constexpr std::uint32_t kOpModePosition = 8;
constexpr std::uint32_t kOpModeTorque = 10;
constexpr std::uint32_t kOpModeHoming = 6;
constexpr std::uint32_t kAccelerationCycles = 5;
constexpr unsigned kAlarmFirstInverse = 32;  // 32-34 for codes 16-18

double gVelocityBefore[4] = {};
std::uint32_t gLastModeChangeDone[4] = {};

// Byte j of gActualServoMode is joint j's mode: the drag-teach commands
// check every joint's byte.
void MirrorOpMode(int joint, std::uint32_t opMode) {
  std::uint8_t modes[sizeof gActualServoMode];
  std::memcpy(modes, &gActualServoMode, sizeof modes);
  if (opMode == kOpModePosition) modes[joint] = 0;
  if (opMode == kOpModeTorque) modes[joint] = 1;
  if (opMode == kOpModeHoming) modes[joint] = 3;
  std::memcpy(&gActualServoMode, modes, sizeof modes);
}

JointTheta CommandedTheta() {
  JointTheta joints;
  std::memcpy(&joints, &gSysParams.joint, sizeof joints);
  return joints;
}

void StorePose(const WCSPosition& pose, double* out) {
  out[0] = pose.x;
  out[1] = pose.y;
  out[2] = pose.z;
  out[3] = pose.r;
}

}  // namespace

void KineticFdCal(AxesGroupRef& g) {
  const bool accelerationCycle = gSystick % kAccelerationCycles == 0;
  for (int j = 0; j < 4; ++j) {
    const AxesGroupJoint& joint = g.m_Joints[j];
    gActualPosition[j] = joint.m_ActPosition;
    gActualVelocity[j] = joint.m_ActVelocity;
    MirrorOpMode(j, joint.m_OpMode);
    if (accelerationCycle) {
      gActualAcceleration[j] = (gActualVelocity[j] - gVelocityBefore[j]) / kAccelerationCycles / gPeriodTime;
      gVelocityBefore[j] = gActualVelocity[j];
    }
  }

  const JointTheta before = CommandedTheta();
  double commanded[4];
  std::memcpy(commanded, &before, sizeof commanded);
  for (int j = 0; j < 4; ++j) {
    AxesGroupJoint& joint = g.m_Joints[j];
    if (g.m_EnableRequest == 0) {
      gRobotAxisMove.nextPos[j] = joint.m_ActPosition;
      commanded[j] = joint.m_ActPosition;
      joint.m_TorqueModeFactor = 0.0;
    } else {
      if (joint.m_OpMode == kOpModeTorque) gRobotAxisMove.nextPos[j] = joint.m_ActPosition;
      if (joint.m_ModeChangeDone != 0 && gLastModeChangeDone[j] == 0) {
        gRobotAxisMove.nextPos[j] = joint.m_PosAtModeChange;
        joint.m_TorqueModeFactor = 0.0;
        g.m_ModeChangeJoint = static_cast<std::uint32_t>(j);
      }
      commanded[j] = gRobotAxisMove.nextPos[j];
    }
    gLastModeChangeDone[j] = joint.m_ModeChangeDone;
  }
  std::memcpy(&gSysParams.joint, commanded, sizeof commanded);

  WCSPosition pose;
  ForwardCal(&before, &pose);
  std::memcpy(&gSysParams.pose, &pose, sizeof pose);
  StorePose(pose, gAlgsRunData.cmdPose);

  if (gOutObj.reached != 0) ConvSys();

  const JointTheta actual{gActualPosition[0], gActualPosition[1], gActualPosition[2], gActualPosition[3]};
  ForwardCal(&actual, &pose);
  StorePose(pose, gAlgsRunData.actPose);
  if (gExcitMode != 1) KernelLog("S3:%1.3f,%1.3f,%1.3f\r\n", pose.x, pose.y, pose.z);
}

void ConvSys() {
  WCSPosition pose{gOutObj.pose[0], gOutObj.pose[1], gOutObj.pose[2], gOutObj.pose[3] * kRadToDeg};
  double U[4][4];
  track1.getUserCoord(U);
  const tagCurrentEncoder& channel = gCurrentEncoder[TrackedChannel()];
  track1.sync(channel.position, channel.velocity, U);
  CalObjToBase(&pose, U);
  KernelLog("Profile track:%1.3f %1.3f %1.3f\r\n", pose.x, pose.y, pose.z);

  const JointTheta current = CommandedTheta();
  JointTheta solution = current;
  const int code = InverseCalBase(&pose, current.j2 >= 0.0, &solution, kCheckAllJoints, &gToolParams);
  if (code != kKinOk) {
    if (code >= kKinSingular && code <= kKinSoftLimit) {
      AlarmSysSetBit(kAlarmFirstInverse + static_cast<unsigned>(code - kKinSingular), true);
    }
    gCmdFinishFlag = 1;
    return;
  }
  if (solution.j4 - current.j4 > 180.0) solution.j4 -= 360.0;
  if (solution.j4 - current.j4 < -180.0) solution.j4 += 360.0;
  gRobotAxisMove.nextPos[0] = solution.j1;
  gRobotAxisMove.nextPos[1] = solution.j2;
  gRobotAxisMove.nextPos[2] = solution.j3;
  gRobotAxisMove.nextPos[3] = solution.j4;
}
