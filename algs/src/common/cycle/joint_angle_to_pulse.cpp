#include <cmath>
#include <cstring>

#include "Dynamics/dynamic_optimal.h"
#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/path_stop.h"
#include "common/cycle/cycle_steps.h"
#include "common/cycle/profile.h"
#include "common/cycle/run_data_fill.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/kinematics.h"

tagProfileMotionInfo gProfileMotion = {};

namespace {

constexpr double kRpmJumpPerSecond = 300000.0;  // 1200 rpm per 4 ms cycle
constexpr unsigned kAlarmFirstRpmJump = 52;     // 52-55

void SetCommandedFromSetPoints() {
  std::memcpy(&gSysParams.joint, gRobotAxisMove.nextPos, sizeof gRobotAxisMove.nextPos);
}

}  // namespace

void RunStop() {
  switch (gStopMode) {
    case kStopEmergency:
      EmergencyStop();
      break;
    case kStopSmooth:
      SmoothStopS();
      break;
    case kStopPath:
      PathStop();
      break;
    case kStopTeach:
      TeachStop();
      break;
    default:
      break;
  }
}

void CalAxisSpeed(bool check) {
  double commanded[4];
  std::memcpy(commanded, &gSysParams.joint, sizeof commanded);
  for (int j = 0; j < 4; ++j) {
    const double travel = gRobotAxisMove.nextPos[j] - commanded[j];
    gRobotAxisMove.nextVel[j] = travel / gPeriodTime;
    const double rpm = MotorRpm(j, travel);
    if (check && std::fabs(rpm - gProfileMotion.motorRpm[j]) > kRpmJumpPerSecond * gPeriodTime) {
      AlarmSysSetBit(kAlarmFirstRpmJump + j, true);
    }
    gProfileMotion.motorRpm[j] = rpm;
    gProfileMotion.followError[j] = commanded[j] - gActualPosition[j];
  }
}

void JointAngleToPulse(AxesGroupRef& g) {
  if (gRobotPrfMode == kPrfStop) RunStop();

  StampStage(21);
  if (gHandTeachFlag == 0 || AllDrivesEnabled(g)) {
    CalAxisSpeed(true);
    SetCommandedFromSetPoints();
  } else if (NoDriveEnabled(g)) {
    for (int j = 0; j < 4; ++j) gRobotAxisMove.nextPos[j] = gActualPosition[j];
    SetCommandedFromSetPoints();
    CalAxisSpeed(false);
    if (gCouplFlag[3] != 0) {
      const double coupled = gActualPosition[2] + gActualPosition[3] * gRatioCompToThreeFromFour;
      gRobotAxisMove.nextPos[2] = coupled;
      SetCommandedFromSetPoints();
    }
  }
  StampStage(22);

  if (gExcitMode != 1) {
    JointTheta commanded;
    std::memcpy(&commanded, &gSysParams.joint, sizeof commanded);
    WCSPosition pose;
    ForwardCal(&commanded, &pose);
    KernelLog("S1:%1.3f,%1.3f,%1.3f\r\n", pose.x, pose.y, pose.z);
  }
  if (gDynamicOptimal != 0 || gTorqueFeedforward != 0) {
    dynParam.para[dyn_slot::kPayloadMass] = gLoadFullParams.weight;
    dynParam.para[dyn_slot::kPayloadInertia] = gLoadFullParams.inertia;
    KernelLog("profile load parameters:%d, %1.3f, %1.3f\r\n", gLoadFullParams.index, gLoadFullParams.weight,
              gLoadFullParams.inertia);
  }
  FillRunData(g);
  KernelLog("isRunQueuedCmd:%d, isPauseCmdFlag:%d, isJog:%d, gRobotPrfMode:%d   \r\n", gSysParams.runQueuedCmd,
            gPauseCmdFlag, (gRobotPrfMode == kPrfJogJoint || gRobotPrfMode == kPrfJogCartesian) ? 1 : 0,
            gRobotPrfMode);
  StampStage(23);
}
