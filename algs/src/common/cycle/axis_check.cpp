#include <cmath>
#include <cstring>

#include "PTP/stopping/queue_drops.h"
#include "PTP/stopping/stop_finish.h"
#include "PTP/stopping/stop_request.h"
#include "common/cycle/profile.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr double kLimitMargin = 0.001;
constexpr unsigned kAlarmFirstOverSpeed = 48;  // 48-51
constexpr unsigned kAlarmFirstOverMax = 64;    // 64, 66, 68, 70
constexpr unsigned kAlarmFirstUnderMin = 65;   // 65, 67, 69, 71
constexpr unsigned kAlarmLastLimit = 71;

void Commanded(double out[4]) { std::memcpy(out, &gSysParams.joint, 4 * sizeof(double)); }

bool AnyLimitAlarm() {
  for (unsigned i = kAlarmFirstOverMax; i <= kAlarmLastLimit; ++i) {
    if (AlarmIsSet(i)) return true;
  }
  return false;
}

void TeachStopWithAlarmDeal() {
  SetStopParams(kStopTeach);
  gTeachMove = {};
  AlarmStopDeal();
}

}  // namespace

double MotorRpm(int joint, double travel) {
  const double unit = joint == 2 ? gScaraMechPara[2] : 360.0;
  return (travel / gPeriodTime / unit * 60.0) / gJointPara[5 + joint];
}

void JogOffLimit() {
  double commanded[4];
  Commanded(commanded);
  bool further = false;
  for (int j = 0; j < 4; ++j) {
    const double step = gRobotAxisMove.nextPos[j] - commanded[j];
    if (AlarmIsSet(kAlarmFirstOverMax + 2 * j) && step > 0.0) further = true;
    if (AlarmIsSet(kAlarmFirstUnderMin + 2 * j) && step < 0.0) further = true;
  }
  if (further) TeachStopWithAlarmDeal();
}

void AxisCheck() {
  double commanded[4];
  Commanded(commanded);
  if (gHandTeachFlag == 0) {
    for (int j = 0; j < 4; ++j) {
      const double rpm = MotorRpm(j, gRobotAxisMove.nextPos[j] - commanded[j]);
      if (std::fabs(rpm) > gAxisSpeedOver[j]) AlarmSysSetBit(kAlarmFirstOverSpeed + j, true);
    }
    if (gRobotPrfMode != kPrfHoming) {
      for (int j = 0; j < 4; ++j) {
        AlarmSysSetBit(kAlarmFirstOverMax + 2 * j, commanded[j] > gSoftLimitPara[j] + kLimitMargin);
        AlarmSysSetBit(kAlarmFirstUnderMin + 2 * j, commanded[j] < gSoftLimitPara[4 + j] - kLimitMargin);
      }
    }
  }

  const std::uint8_t mode = gRobotPrfMode;
  const bool jogOrEnable = mode == kPrfJogJoint || mode == kPrfJogCartesian || mode == kPrfEnableCheck;
  if (jogOrEnable && AlarmSysCheck() != 0) {
    KernelLog("alarm when jog or enable   \r\n");
    if (gHandTeachFlag != 0) {
      gRobotPrfMode = kPrfIdle;
      std::memset(gDriverEnbleFlag, 0, sizeof gDriverEnbleFlag);
    } else if (!AnyLimitAlarm()) {
      KernelLog(" other alarm stop   \r\n");
      TeachStopWithAlarmDeal();
    } else {
      KernelLog(" jog alarm stop   \r\n");
      JogOffLimit();
    }
    return;
  }
  if (AlarmSysCheck() == 0) return;
  KernelLog("alarm when not jog and enable  gRobotPrfMode:%d, gStopMode:%d \r\n", mode, gStopMode);
  const bool quiet = mode == kPrfIdle || mode == kPrfHoming || mode == kPrfPoseReset ||
                     (mode == kPrfStop && (gStopMode == kStopEmergency || gStopMode == kStopTeach));
  if (quiet) return;
  KernelLog("alarm EMERGENCY_STOP   \r\n");
  SetStopParams(kStopEmergency);
  AlarmStopDeal();
  SystemParamsReset();
}
