#include <cstring>

#include "common/cycle/cycle_steps.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr std::uint32_t kEnableCheckCycles = 50;  // 0.2 s
constexpr std::uint32_t kDisableIdleCycles = 101;
constexpr std::uint32_t kHomingCycles = 500;      // 2 s
constexpr unsigned kAlarmHoming = 104;
constexpr unsigned kAlarmEnable = 105;
constexpr std::uint32_t kPoseResetFlag = 2;  // joint 2
constexpr int kPoseResetJoint = 1;

bool ReadyForHoming(const AxesGroupRef& g) {
  for (const AxesGroupJoint& joint : g.m_Joints) {
    if (joint.m_State != 3 && joint.m_State != 4) return false;
  }
  return true;
}

void SetCommandedJoint(int j, double value) {
  double joints[4];
  std::memcpy(joints, &gSysParams.joint, sizeof joints);
  joints[j] = value;
  std::memcpy(&gSysParams.joint, joints, sizeof joints);
}

// Selected joints hold where the drive puts them.
void FollowActual(const AxesGroupRef& g, int j) {
  const double actual = g.m_Joints[j].m_ActPosition;
  SetCommandedJoint(j, actual);
  gRobotAxisMove.nextPos[j] = actual;
  gRobotAxisMove.nextVel[j] = 0.0;
}

void HomingFailed(AxesGroupRef& g) {
  AlarmSysSetBit(kAlarmHoming, true);
  g.m_DriveCmd.HomeFlag = 0;
  gHomeCmdCount = 0;
  gRobotPrfMode = kPrfIdle;
}

void Homing(AxesGroupRef& g) {
  if (!ReadyForHoming(g)) {
    KernelLog("run gRobotPrfMode 353\r\n");
    HomingFailed(g);
    return;
  }
  const std::uint32_t mask = g_single_joint_mode & 0x0F;
  if (gHomeCmdCount == 0) {
    g.m_DriveCmd.HomeFlag = mask;
    KernelLog("run axesGroup->m_DriveCmd.HomeFlag %d\r\n", static_cast<int>(mask));
    for (int j = 0; j < 4; ++j) {
      if ((mask & (1u << j)) != 0) g.m_Joints[j].m_HomePosition = 0.0;
    }
    gHomeCmdCount = 1;
    return;
  }
  bool homing = false;
  for (int j = 0; j < 4; ++j) {
    if ((mask & (1u << j)) == 0) continue;
    if (gSimulatedFlag[j] == 0 && g.m_Joints[j].m_HomingDone != 1) {
      homing = true;
      KernelLog("run gRobotPrfMode 333\r\n");
    }
    FollowActual(g, j);
  }
  KernelLog("home %1.3f %1.3f %1.3f %1.3f\r\n", g.m_Joints[0].m_ActPosition, g.m_Joints[1].m_ActPosition,
            g.m_Joints[2].m_ActPosition, g.m_Joints[3].m_ActPosition);
  if (!homing) {
    g.m_DriveCmd.HomeFlag = 0;
    KernelLog("run gRobotPrfMode HomeFlag %d\r\n", static_cast<int>(g.m_DriveCmd.HomeFlag));
    gHomeCmdCount = 0;
    gRobotPrfMode = kPrfIdle;
    return;
  }
  if (++gHomeCmdCount > kHomingCycles) {
    KernelLog("run gRobotPrfMode 354\r\n");
    HomingFailed(g);
  }
}

void PoseReset(AxesGroupRef& g) {
  if (!ReadyForHoming(g)) {
    KernelLog("run gRobotPrfMode 353\r\n");
    HomingFailed(g);
    return;
  }
  if (gHomeCmdCount == 0) {
    g.m_DriveCmd.HomeFlag = kPoseResetFlag;
    g.m_Joints[kPoseResetJoint].m_HomePosition = homeOffset;
    KernelLog("OnResetPose run 363\r\n");
    gHomeCmdCount = 1;
    return;
  }
  const double actual = g.m_Joints[kPoseResetJoint].m_ActPosition;
  SetCommandedJoint(kPoseResetJoint, actual);
  gRobotAxisMove.nextPos[kPoseResetJoint] = actual;
  if (g.m_Joints[kPoseResetJoint].m_HomingDone == 1) {
    g.m_DriveCmd.HomeFlag = 0;
    KernelLog("OnResetPose run gRobotPrfMode HomeFlag %d !!!!!!!!\r\n", static_cast<int>(g.m_DriveCmd.HomeFlag));
    gHomeCmdCount = 0;
    gRobotPrfMode = kPrfIdle;
    return;
  }
  KernelLog("OnResetPose run 369\r\n");
  if (++gHomeCmdCount > kHomingCycles) {
    KernelLog("OnResetPose run gRobotPrfMode 354\r\n");
    HomingFailed(g);
  }
}

}  // namespace

void HandleEnable(AxesGroupRef& g) {
  if (gHandTeachFlag == 0) {
    if (gEnableCheckCount == 0) {
      if (!NoDriveEnabled(g)) return;
      gEnableCheckCount = 1;
      g.m_EnableRequest = 1;
      gRobotPrfMode = kPrfEnableCheck;
      return;
    }
    ++gEnableCheckCount;
    KernelLog("run enableCheckCount %d gHandTeachFlag %d\r\n", static_cast<int>(gEnableCheckCount), gHandTeachFlag);
    if (gEnableCheckCount <= kEnableCheckCycles) return;
    if (AllDrivesEnabled(g)) {
      gDriverAlarmFlag = 0;
      KernelLog("run ERR_OTHER_ENBLE_sucess!!!!!!\r\n");
    } else {
      gDriverAlarmFlag = 1;
      AlarmSysSetBit(kAlarmEnable, true);
      KernelLog("run ERR_OTHER_ENBLE_FAIL\r\n");
    }
    gEnableCheckCount = 0;
    gRobotPrfMode = kPrfIdle;
    return;
  }
  if (gRobotPrfMode != kPrfIdle) return;
  if (++gDisableCount >= kDisableIdleCycles) {
    KernelLog("stop disableCount %d\r\n", static_cast<int>(gDisableCount));
    gDisableCount = 0;
    g.m_EnableRequest = 0;
  }
}

void HandleHoming(AxesGroupRef& g) {
  if (gRobotPrfMode != kPrfHoming && gRobotPrfMode != kPrfPoseReset) return;
  KernelLog("run gRobotPrfMode %d gHomeCmdCount %d\r\n", gRobotPrfMode, static_cast<int>(gHomeCmdCount));
  if (gRobotPrfMode == kPrfHoming) {
    Homing(g);
  } else {
    PoseReset(g);
  }
}
