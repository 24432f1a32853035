#include "PTP/planners/cart_start.h"

#include <cmath>
#include <cstring>

#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

bool StartJointsValid(const JointTheta& joints) {
  const double q[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
  for (int i = 0; i < 4; ++i) {
    if (!(q[i] <= gSoftLimitPara[i] && q[i] >= gSoftLimitPara[i + 4])) return false;
  }
  return std::fabs(joints.j2) >= gSoftLimitPara[8];
}

bool ElbowAgrees(bool arm, double j2) { return arm ? j2 >= 0.0 : j2 < 0.0; }

WCSPosition OriginOf(const JointTheta& joints, const CartCommand& c, const char* baseFormat, const char* ecpFormat) {
  tagGPose at{};
  at.joint = joints;
  WCSPosition origin;
  ForwardCalBase(&at, &origin, &c.tool);
  if (c.ecpOn) {
    if (baseFormat != nullptr) KernelLog(baseFormat, origin.x, origin.y, origin.z, origin.r);
    CalECPToTool(&c.ecp, &origin);
    if (ecpFormat != nullptr) KernelLog(ecpFormat, origin.x, origin.y, origin.z, origin.r);
  }
  return origin;
}

JointTheta ActualJoints() {
  JointTheta joints;
  std::memcpy(&joints, reinterpret_cast<const char*>(&gSysParams) + offsetof(tagSysParams, joint), sizeof joints);
  return joints;
}
