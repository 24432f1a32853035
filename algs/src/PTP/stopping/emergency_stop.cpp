#include <cmath>

#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/stop_finish.h"
#include "PTP/stopping/stop_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

// The emergency stop never takes longer than 1 / this rate: 0.1 s.
constexpr double kMinStopRate = 10.0;

void plan() {
  double limit[kStopJoints];
  StopWithSoftLimit(limit, gStopState.direction);
  for (int j = 0; j < kStopJoints; ++j) {
    const double v = gRobotAxisMove.nextVel[j];
    gStopState.stopSpeed[j] = std::fabs(v);
    double rate = 0.0;
    if (v != 0.0) {
      rate = std::fabs(limit[j] / v);
      if (rate < kMinStopRate) rate = kMinStopRate;
    }
    gStopState.rate[j] = -v * rate;
  }
  gStopCmdPlanFlag = 1;
}

}  // namespace

void EmergencyStop() {
  if (JointsAtRest()) {
    gPauseCmdFlag = 0;
    StopFinishDeal();
    // The emergency-stop input takes the drives out of motion control.
    if (gEmergencyStop != 0) gHandTeachFlag = 1;
    return;
  }
  if (gStopCmdPlanFlag == 0) plan();
  for (int j = 0; j < kStopJoints; ++j) {
    double& v = gRobotAxisMove.nextVel[j];
    v += gStopState.rate[j] * gPeriodTime;
    // Past zero, or faster than at the start (an infinite deceleration): rest.
    if (v * gStopState.direction[j] <= 0.0 || std::fabs(v) > gStopState.stopSpeed[j]) v = 0.0;
  }
  SetPointsFromSpeeds();
}
