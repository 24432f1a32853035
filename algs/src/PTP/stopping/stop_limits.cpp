// Where the joint stops must end: the soft limits and the entry's target.
#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/stop_state.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr int kJoint3 = 2;

bool isJump(const PreDealData& entry) { return entry.motionType == 0 || entry.motionType == 3; }

}  // namespace

void StopWithSoftLimit(double deceleration[4], int direction[4]) {
  const PreDealData& entry = gPreDealData;
  double commanded[kStopJoints];
  CommandedJoints(commanded);
  for (int j = 0; j < kStopJoints; ++j) {
    const double v = gRobotAxisMove.nextVel[j];
    if (v > 0.0) {
      double upper = gSoftLimitPara[j];
      if (j == kJoint3 && isJump(entry)) upper = entry.jumpZUpper;
      // A distance of 0 gives an infinite deceleration: the stop rules then
      // halt the joint in one cycle.
      direction[j] = 1;
      deceleration[j] = -v * v / (2.0 * (upper - commanded[j]));
    } else if (v < 0.0) {
      const double lower = j == kJoint3 ? entry.targetAngle[kJoint3] : gSoftLimitPara[4 + j];
      direction[j] = -1;
      deceleration[j] = v * v / (2.0 * (commanded[j] - lower));
    } else {
      direction[j] = 1;
      deceleration[j] = 0.0;
    }
  }
}

void StopWithTargetPosS(double jerk[4], int direction[4]) {
  const PreDealData& entry = gPreDealData;
  double commanded[kStopJoints];
  CommandedJoints(commanded);
  for (int j = 0; j < kStopJoints; ++j) {
    const double v = gRobotAxisMove.nextVel[j];
    double distance = 0.0;
    if (v > 0.0) {
      const double target = j == kJoint3 && isJump(entry) ? entry.jumpZUpper : entry.targetAngle[j];
      direction[j] = 1;
      distance = target - commanded[j];
    } else if (v < 0.0) {
      direction[j] = -1;
      distance = commanded[j] - entry.targetAngle[j];
    } else {
      direction[j] = 1;
      jerk[j] = 0.0;
      continue;
    }
    // The S-curve from v with jerk J covers v * sqrt(v / J): v^3 / d^2 covers d.
    jerk[j] = v * v * v / (distance * distance);
  }
}
