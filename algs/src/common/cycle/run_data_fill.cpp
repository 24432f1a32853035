#include "common/cycle/run_data_fill.h"

#include <cmath>
#include <cstring>

#include "Dynamics/scara_jacobian.h"
#include "Dynamics/scara_torque.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/run_data.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics_constants.h"

namespace {

double gLastVelocity[4] = {};
double gProfileAcceleration[4] = {};

// Joint values in the dynamics' units: radians, joint 3 in metres.
void ToModelUnits(const double* in, double* out) {
  out[0] = in[0] * kDegToRad;
  out[1] = in[1] * kDegToRad;
  out[2] = in[2] / 1000.0;
  out[3] = in[3] * kDegToRad;
}

// Tool centre point acceleration into a run-data block: x, y, z in mm/s^2,
// the angular part (element 5) in degrees/s^2.
void TcpAcceleration(const double* pos, const double* vel, const double* acc, double* out) {
  double q[4], qd[4], qdd[4], v[4] = {}, a[4] = {};
  ToModelUnits(pos, q);
  ToModelUnits(vel, qd);
  ToModelUnits(acc, qdd);
  calcTCPAcc(q, qd, qdd, v, a, nullptr);
  for (int k = 0; k < 3; ++k) out[k] = a[k] * 1000.0;
  out[5] = a[3] * kRadToDeg;
}

// While torque feed-forward is on: the model's torques of joints 1-3 for
// this cycle's commanded state into the fourth motion-state group.
void TorqueFeedForward(AxesGroupRef& g) {
  double tau[4] = {};
  if (gTorqueFeedforward != 0) {
    double q[4], qd[4], qdd[4];
    ToModelUnits(gRobotAxisMove.nextPos, q);
    ToModelUnits(gRobotAxisMove.nextVel, qd);
    ToModelUnits(gProfileAcceleration, qdd);
    calcTorqueW7(q, qd, qdd, tau);
    tau[3] = 0.0;
  }
  for (int j = 0; j < 4; ++j) {
    gRobotAxisMove.aux[j] = tau[j];
    g.m_Joints[j].m_TorqueFeedForward = tau[j];
  }
}

std::uint8_t WholeRatio(float ratio) {
  if (!(ratio > 0.0f)) return 0;
  return ratio >= 255.0f ? 255 : static_cast<std::uint8_t>(ratio);
}

void Frame(tagCoordParamsFull frame, double* out) {
  out[0] = frame.x;
  out[1] = frame.y;
  out[2] = frame.z;
  out[3] = frame.r;
}

}  // namespace

double ToDriveSide(const AxesGroupJoint& joint, int j, double value) {
  if (joint.m_GearDen == 0.0) return 0.0;
  const double result = value * joint.m_GearNum / (joint.m_GearDen * gJointPara[5 + j]);
  return std::isfinite(result) ? result : 0.0;
}

void FillRunData(AxesGroupRef& g) {
  for (int j = 0; j < 4; ++j) {
    gProfileAcceleration[j] = (gRobotAxisMove.nextVel[j] - gLastVelocity[j]) / gPeriodTime;
    gLastVelocity[j] = gRobotAxisMove.nextVel[j];
  }
  TorqueFeedForward(g);

  tagAlgsRunData& d = gAlgsRunData;
  for (int j = 0; j < 4; ++j) {
    const AxesGroupJoint& joint = g.m_Joints[j];
    d.cmdJointPos[j] = gRobotAxisMove.nextPos[j];
    d.cmdJointVel[j] = gRobotAxisMove.nextVel[j];
    d.cmdJointAcc[j] = gProfileAcceleration[j];
    d.auxDriveSide[j] = ToDriveSide(joint, j, gRobotAxisMove.aux[j]);
    d.aux[j] = gRobotAxisMove.aux[j];
    d.actJointPos[j] = joint.m_ActPosition;
    d.actJointVel[j] = joint.m_ActVelocity;
    d.actJointTorque[j] = ToDriveSide(joint, j, joint.m_ActTorque);
  }
  TcpAcceleration(gActualPosition, gActualVelocity, gActualAcceleration, d.actTcpAcc);
  TcpAcceleration(gRobotAxisMove.nextPos, gRobotAxisMove.nextVel, gProfileAcceleration, d.cmdTcpAcc);

  Frame(gSysParams.localParams, d.userFrame);
  Frame(gSysParams.toolParams, d.toolFrame);
  d.speedScaling = gSysParams.speedFactorRatio;
  const tagPTPCommonParams common = gSysParams.ptpParams.common;
  const float ratios[9] = {common.velocityRatio,        common.accelerationRatio, common.jerkRatio,
                           common.xyzVelocityRatio,     common.rVelocityRatio,    common.xyzAccelerationRatio,
                           common.rAccelerationRatio,   common.xyzJerkRatio,      common.rJerkRatio};
  for (int k = 0; k < 9; ++k) d.ptpCommon[k] = WholeRatio(ratios[k]);
  d.armOrientation = gRobotAxisMove.nextPos[1] >= 0.0 ? 1 : 0;
  d.frameIndex[0] = static_cast<std::uint8_t>(gSysParams.localParams.index);
  d.frameIndex[1] = static_cast<std::uint8_t>(gSysParams.toolParams.index);
  d.runQueuedCmd = gSysParams.runQueuedCmd;
  d.pauseCmdFlag = gPauseCmdFlag;
  d.jogging = (gRobotPrfMode == kPrfJogJoint || gRobotPrfMode == kPrfJogCartesian) ? 1 : 0;
}
