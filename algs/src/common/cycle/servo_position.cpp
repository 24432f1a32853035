#include <cstring>

#include "common/cycle/run_scara.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

void UpdateServoPos(const AxesGroupRef& g) {
  double joints[4];
  for (int j = 0; j < 4; ++j) joints[j] = g.m_Joints[j].m_ActPosition;
  if (gCouplFlag[3] != 0) joints[2] = joints[2] + joints[3] * gRatioCompToThreeFromFour;
  for (int j = 0; j < 4; ++j) {
    gRobotAxisMove.nextPos[j] = joints[j];
    gRobotAxisMove.nextVel[j] = 0.0;
  }
  std::memcpy(&gSysParams.joint, joints, sizeof joints);
}
