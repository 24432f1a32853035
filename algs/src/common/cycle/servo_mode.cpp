#include "common/cycle/cycle_log.h"
#include "common/cycle/cycle_steps.h"
#include "common/cycle/hand_guiding.h"
#include "common/kernel/alarms.h"
#include "common/kernel/drive_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr unsigned kAlarmServoMode = 161;
constexpr std::uint8_t kTorqueMode = 1;
constexpr std::uint8_t kPositionMode = 0;
constexpr double kTorqueModeSpeedShare = 0.4;

void SwitchDone() {
  gServoModeSwitch = 0;
  gServoModeStep = 0;
}

}  // namespace

void ServoModeSwitch(AxesGroupRef& g) {
  if (gServoModeSwitch == 0) {
    g.m_ModeExecute = 0;
    gServoModeStep = 0;
    return;
  }
  if (gDriverAlarmFlag != 0 || gRobotPrfMode != kPrfIdle) {
    AlarmSysSetBit(kAlarmServoMode, true);
    CYCLE_INFO("gDriverAlarmFlag:%d,  gRobotPrfMode:%d ", gDriverAlarmFlag, gRobotPrfMode);
    SwitchDone();
    return;
  }
  if (gServoMode == kTorqueMode) {
    if (gRobotEnableFlag == 0) {
      AlarmSysSetBit(kAlarmServoMode, true);
      CYCLE_INFO("can not switch ct mode when servo off");
      SwitchDone();
      return;
    }
    if (gServoModeStep == 0) {
      g.m_ModeWord = kTorqueMode;
      for (int j = 0; j < 4; ++j) {
        const double velocity = static_cast<double>(gSysParams.ptpParams.joint.velocity[j]) * kTorqueModeSpeedShare;
        g.m_Joints[j].m_Limits.m_MaxVelocityAppl = velocity;
        CYCLE_INFO("axesGroup->m_Joints[%d].m_Limits.m_MaxVelocityAppl : %f", j, velocity);
      }
      SetHandGuiding(true);
      gServoModeStep = 1;
      return;
    }
    g.m_ModeExecute = 1;
    SwitchDone();
    return;
  }
  if (gServoMode == kPositionMode) {
    if (gServoModeStep == 0) {
      g.m_ModeWord = kPositionMode;
      for (AxesGroupJoint& joint : g.m_Joints) joint.m_Limits.m_MaxVelocityAppl = 0.0;
      gHandTeachFlag = 1;
      gServoModeStep = 1;
      return;
    }
    g.m_ModeExecute = 1;
    for (AxesGroupJoint& joint : g.m_Joints) joint.m_TorqueModeFactor = 1.0;
    SetHandGuiding(false);
    SwitchDone();
    return;
  }
  if (gServoModeStep == 0) {
    g.m_ModeWord = gServoMode;
    gServoModeStep = 1;
    return;
  }
  g.m_ModeExecute = 0;
  SwitchDone();
}
