#include <cmath>

#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/resume_replan.h"
#include "PTP/stopping/stop_finish.h"
#include "PTP/stopping/stop_state.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

// Jerk of the S-curve stops per unit of starting speed: 100 stops in 0.2 s,
// 300 (collision pause) in 0.1155 s, 400 (conveyor stop) in 0.1 s.
constexpr double kSmoothJerkRatio = 100.0;
constexpr double kCollisionJerkRatio = 300.0;
constexpr double kConveyorJerkRatio = 400.0;

double stopTimeOf(double u, double jerk) { return jerk == 0.0 ? 0.0 : 2.0 * std::sqrt(u / jerk); }

// First cycle: each joint's jerk and stop time; with `toTarget`, no joint
// stops beyond the entry's target.
void plan(double jerkRatio, bool toTarget) {
  double targetJerk[kStopJoints] = {};
  if (toTarget) StopWithTargetPosS(targetJerk, gStopState.direction);
  for (int j = 0; j < kStopJoints; ++j) {
    const double u = gRobotAxisMove.nextVel[j];
    double jerk = u * jerkRatio;
    if (toTarget && std::fabs(jerk) < std::fabs(targetJerk[j])) jerk = targetJerk[j];
    gStopState.stopSpeed[j] = u;
    gStopState.rate[j] = jerk;
    gStopState.stopTime[j] = stopTimeOf(u, jerk);
    KernelLog("SmoothStopS time %1.3f jerk %1.3f\r\n", gStopState.stopTime[j], jerk);
  }
  gStopCmdPlanFlag = 1;
  gPeriodCount = 1;
}

// One cycle of the S-curves; plans them in the stop's first cycle.
void sCurveCycle(double jerkRatio, bool toTarget) {
  if (gStopCmdPlanFlag == 0) {
    plan(jerkRatio, toTarget);
  } else {
    gPeriodCount += 1;
  }
  const std::uint32_t n = gPeriodCount;
  for (int j = 0; j < kStopJoints; ++j) {
    gRobotAxisMove.nextVel[j] =
        SCurveStopSpeed(gStopState.stopSpeed[j], gStopState.rate[j], gStopState.stopTime[j], n);
  }
  KernelLog("SmoothStopS t0 %1.3f speed %1.3f\r\n", n * gPeriodTime, gRobotAxisMove.nextVel[0]);
  SetPointsFromSpeeds();
}

}  // namespace

void SmoothStopS() {
  if (JointsAtRest()) {
    if (gStopCmdPlanFlag != 0 && gPauseCmdFlag != 0) ReplanForResume(&gPreDealData);
    StopFinishDeal();
    return;
  }
  const double ratio = gCollisionPause != 0 ? kCollisionJerkRatio : kSmoothJerkRatio;
  sCurveCycle(ratio, true);
}

void ConvSmoothStopS() {
  if (JointsAtRest()) {
    // The queue goes on from where the arm stands.
    const double* q = gRobotAxisMove.nextPos;
    gPreDealPos.joint = JointTheta{q[0], q[1], q[2], q[3]};
    StopFinishDeal();
    return;
  }
  sCurveCycle(kConveyorJerkRatio, false);
}
