#include <cstring>

#include "common/cycle/cycle_steps.h"
#include "common/cycle/hand_guiding.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"

namespace {

std::uint8_t gLastLatchEnable = 0;

}  // namespace

void HandleLatch(AxesGroupRef& g) {
  if (gLatchEnable != gLastLatchEnable) {
    gLastLatchEnable = gLatchEnable;
    if (gLatchEnable != 0) {
      KernelLog("gLatchEnable reset \r\n");
    } else {
      for (AxesGroupJoint& joint : g.m_Joints) joint.m_LatchDone = 0;
      KernelLog("gLatchEnable clean \r\n");
    }
  }
  bool allDone = true;
  for (const AxesGroupJoint& joint : g.m_Joints) allDone = allDone && joint.m_LatchDone != 0;
  if (!allDone) {
    gstLatchPose.valid = 0;
    return;
  }
  const JointTheta latched{g.m_Joints[0].m_LatchedPos, g.m_Joints[1].m_LatchedPos, g.m_Joints[2].m_LatchedPos,
                           g.m_Joints[3].m_LatchedPos};
  WCSPosition pose;
  ForwardCal(&latched, &pose);
  gstLatchPose = {1, static_cast<float>(pose.x), static_cast<float>(pose.y), static_cast<float>(pose.z),
                  static_cast<float>(pose.r)};
  KernelLog("gstLatchPose is:%d x:%1.3f y:%1.3f z:%1.3f r:%1.3f\r\n", static_cast<int>(gstLatchPose.valid), pose.x,
            pose.y, pose.z, pose.r);
}

void WriteSetValues(AxesGroupRef& g) {
  bool all = true;
  for (int j = 0; j < 4; ++j) {
    AxesGroupJoint& joint = g.m_Joints[j];
    joint.m_LatchEnable = gLatchEnable;
    joint.m_LatchType = gLatchType;
    joint.m_NewSetValues.m_Position = gRobotAxisMove.nextPos[j];
    gTorque[j] = joint.m_ActTorque;
    joint.m_NewSetValues.m_Friction = HandGuidingFriction(j);
    gDriverEnbleFlag[j] = DriveEnabled(joint) ? 1 : 0;
    all = all && gDriverEnbleFlag[j] != 0;
  }
  gRobotEnableFlag = all ? 1 : 0;
  if (gCouplFlag[3] != 0) {
    g.m_Joints[2].m_NewSetValues.m_Position =
        gRobotAxisMove.nextPos[2] - gRobotAxisMove.nextPos[3] * gRatioCompToThreeFromFour;
  }
  StampStage(28);
}
