#include "PTP/stopping/stop_state.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

tagStopState gStopState = {};

void CommandedJoints(double out[kStopJoints]) {
  JointTheta joints;
  std::memcpy(&joints, reinterpret_cast<const char*>(&gSysParams) + offsetof(tagSysParams, joint), sizeof joints);
  out[0] = joints.j1;
  out[1] = joints.j2;
  out[2] = joints.j3;
  out[3] = joints.j4;
}

bool JointsAtRest() {
  for (double v : gRobotAxisMove.nextVel) {
    if (!(std::fabs(v) < kRestSpeed)) return false;
  }
  return true;
}

void SetPointsFromSpeeds() {
  double commanded[kStopJoints];
  CommandedJoints(commanded);
  for (int j = 0; j < kStopJoints; ++j) {
    gRobotAxisMove.nextPos[j] = commanded[j] + gPeriodTime * gRobotAxisMove.nextVel[j];
  }
}

double CyclesIn(double seconds) {
  if (!std::isfinite(seconds) || !(seconds > 0.0) || !(gPeriodTime > 0.0)) return 0.0;
  return std::floor(seconds / gPeriodTime);
}

double SCurveStopSpeed(double u, double jerk, double stopTime, std::uint32_t n) {
  const double cycles = CyclesIn(stopTime);
  const double count = static_cast<double>(n);
  if (count >= cycles) return 0.0;
  const double t = count * gPeriodTime;
  if (2.0 * count < cycles) return u - jerk / 2.0 * t * t;
  const double left = stopTime - t;
  return jerk / 2.0 * left * left;
}
