#include "common/cycle/cycle_steps.h"
#include "common/cycle/run_scara.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr std::uint32_t kGroupError = 0xEE20;
constexpr unsigned kAlarmGroupError = 1;  // 2-5: joint 1-4 communication
constexpr unsigned kAlarmEmergencyStop = 85;
constexpr unsigned kAlarmSafeGuard = 86;
constexpr unsigned kAlarmFirstDriveFault = 96;  // 96, 98, 100, 102

}  // namespace

bool AllDrivesEnabled(const AxesGroupRef& g) {
  for (const AxesGroupJoint& joint : g.m_Joints) {
    if (!DriveEnabled(joint)) return false;
  }
  return true;
}

bool NoDriveEnabled(const AxesGroupRef& g) {
  for (const AxesGroupJoint& joint : g.m_Joints) {
    if (DriveEnabled(joint)) return false;
  }
  return true;
}

void CheckGroupErrors(const AxesGroupRef& g) {
  const std::uint32_t error = g.m_GroupErrorId;
  if (error == kGroupError) {
    AlarmSysSetBit(kAlarmGroupError, true);
  } else if (error > kGroupError && error <= kGroupError + 4) {
    const unsigned joint = error - kGroupError;  // 1..4
    if (gSimulatedFlag[joint - 1] == 0) AlarmSysSetBit(kAlarmGroupError + joint, true);
  }
}

void CheckSafetyInputs() {
  if (gEmergencyStop != 0) AlarmSysSetBit(kAlarmEmergencyStop, true);
  if (gSafeGuardStop != 0) AlarmSysSetBit(kAlarmSafeGuard, true);
}

void CheckOperational(AxesGroupRef& g) {
  bool allOperational = true;
  for (const AxesGroupJoint& joint : g.m_Joints) allOperational = allOperational && joint.m_Operational != 0;
  if (allOperational) return;
  AlarmSysSetBit(kAlarmEmergencyStop, true);
  gSysParams.runQueuedCmd = 0;
  gCmdFinishFlag = 1;
  gRobotPrfMode = kPrfIdle;
  gHandTeachFlag = 1;
  UpdateServoPos(g);
}

bool RecoverDriveFaults(AxesGroupRef& g) {
  if (gDriverAlarmFlag == 0) return false;
  KernelLog("gDriverAlarm ResetFlag %d\r\n", static_cast<int>(g.m_DriveCmd.ResetFlag));
  StampStage(24);
  g.m_EnableRequest = 0;
  StampStage(25);
  // A latched fault is cleared only on request, once no drive reports one.
  if (gDriverResetFlag != 0 && gHandTeachFlag != 0) {
    g.m_DriveCmd.ResetFlag = 1;
    KernelLog("start clear servo alarm, axesGroup->m_DriveCmd.ResetFlag: %d\r\n",
              static_cast<int>(g.m_DriveCmd.ResetFlag));
    bool anyFault = false;
    for (const AxesGroupJoint& joint : g.m_Joints) anyFault = anyFault || DriveFault(joint);
    if (!anyFault) {
      g.m_DriveCmd.ResetFlag = 0;
      gDriverAlarmFlag = 0;
      gDriverResetFlag = 0;
      UpdateServoPos(g);
      KernelLog("end clear servo alarm, axesGroup->m_DriveCmd.ResetFlag: %d\r\n",
                static_cast<int>(g.m_DriveCmd.ResetFlag));
    }
  }
  StampStage(26);
  return true;
}

void CheckDriveFaults(const AxesGroupRef& g) {
  for (int j = 0; j < 4; ++j) {
    const AxesGroupJoint& joint = g.m_Joints[j];
    if (!DriveFault(joint)) continue;
    KernelLog("gDriverAlarm gMaxTorque %1.3f %1.3f %1.3f %1.3f\r\n", gMaxTorque[0], gMaxTorque[1], gMaxTorque[2],
              gMaxTorque[3]);
    KernelLog("MOVJ t0 %d t1 %d Driver %d DRV_ALARM 5 ErrorCode:0x%x/%d\r\n", static_cast<int>(gPeriodCount),
              static_cast<int>(gPeriodCount1), j + 1, joint.m_ErrorCode, static_cast<int>(joint.m_ErrorCode));
    gDriverAlarmFlag = 1;
    gHandTeachFlag = 1;
    AlarmSysSetBit(kAlarmFirstDriveFault + 2 * static_cast<unsigned>(j), true);
  }
  StampStage(27);
}
