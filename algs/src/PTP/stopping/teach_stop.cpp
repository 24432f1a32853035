#include <cmath>

#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/stop_finish.h"
#include "PTP/stopping/stop_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr double kTeachStopTime = 0.1;

// The teach stop's rest test admits a speed of exactly the threshold.
bool atRest() {
  for (double v : gRobotAxisMove.nextVel) {
    if (!(std::fabs(v) <= kRestSpeed)) return false;
  }
  return true;
}

}  // namespace

void TeachStop() {
  if (atRest()) {
    StopFinishDeal();
    gPauseCmdFlag = 0;
    return;
  }
  if (gStopCmdPlanFlag == 0) {
    for (int j = 0; j < kStopJoints; ++j) gStopState.rate[j] = -gRobotAxisMove.nextVel[j] / kTeachStopTime;
    gStopCmdPlanFlag = 1;
    gPeriodCount = 0;
  }
  if (gPeriodCount < kTeachStopTime / gPeriodTime) {
    for (int j = 0; j < kStopJoints; ++j) gRobotAxisMove.nextVel[j] += gPeriodTime * gStopState.rate[j];
    gPeriodCount += 1;
  } else {
    for (double& v : gRobotAxisMove.nextVel) v = 0.0;
  }
  SetPointsFromSpeeds();
}
