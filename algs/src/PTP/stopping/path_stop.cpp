#include "PTP/stopping/path_stop.h"

#include <cmath>

#include "PTP/path/arc_point.h"
#include "PTP/path/input_shaping.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movl.h"
#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/stop_finish.h"
#include "PTP/stopping/stop_request.h"
#include "PTP/stopping/stop_state.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

enum class PathKind { kNone, kLine, kArc, kCircle };

PathKind kindOf(std::uint32_t motionType) {
  switch (motionType) {
    case 2:
    case 5:  // a line to a joint target brakes along its line like the others
    case 7:
      return PathKind::kLine;
    case 10:
      return PathKind::kArc;
    case 11:
      return PathKind::kCircle;
    default:
      return PathKind::kNone;
  }
}

constexpr double kCollisionJerkRatio = 300.0;
constexpr unsigned kAlarmArcOverrun = 80;
// Rounding slack of the overrun test at the arc's very end.
constexpr double kArcAngleSlack = 1e-9;

double arcAngleAt(const PreDealData& e, double s) { return e.arcRadius > 0.0 ? s * e.arcShare / e.arcRadius : 0.0; }

// First cycle: the S-curve of the path parameter. False when it has no
// finite stop time.
bool plan(const PreDealData& e, double jerk) {
  const double u = e.pathSpeed;
  double stopTime = 2.0 * std::sqrt(u / jerk);
  if (gUsingTrueMotion != 0) {
    // Never past the end of the entry's profile.
    const double rest = std::fabs(e.trajPlan.dist - e.pathParam);
    if (stopTime * std::fabs(u) / 2.0 > rest) {
      stopTime = 2.0 * rest / u;
      if (rest > 0.0) jerk = u / ((rest / u) * (rest / u));
    }
  }
  if (!std::isfinite(stopTime)) return false;
  gStopState.pathStopSpeed = u;
  gStopState.pathStopTime = stopTime;
  gStopState.pathJerk = jerk;
  gStopState.restCycles = 0;
  gStopState.poseParam = gInputShaping != 0 ? e.arcTravelled : e.pathParam;
  gStopCmdPlanFlag = 1;
  gPeriodCount = 0;
  return true;
}

// The next path speed, taken at the end of the cycle (as the joint stops
// take theirs) so that the stop never covers more than its S-curve's
// distance; at rest, lines and circles count down the shaper's delay.
double nextSpeed(bool waitsForShaper) {
  const std::uint32_t n = gPeriodCount + 1;
  if (static_cast<double>(n) < CyclesIn(gStopState.pathStopTime)) {
    gPeriodCount = n;
    return SCurveStopSpeed(gStopState.pathStopSpeed, gStopState.pathJerk, gStopState.pathStopTime, n);
  }
  if (waitsForShaper) {
    gStopState.restCycles += 1;
    if (static_cast<std::int64_t>(gStopState.restCycles) >= strLocalVar[0].delay2) strLocalVar[0].endFlag = 0;
  }
  return 0.0;
}

WCSPosition poseAt(const PreDealData& e, PathKind kind, double s) {
  WCSPosition pose{};
  if (kind == PathKind::kLine) {
    const double d = s * e.lineLength;
    pose.x = e.lineStart.x + d * e.lineDir[0];
    pose.y = e.lineStart.y + d * e.lineDir[1];
    pose.z = e.lineStart.z + d * e.lineDir[2];
    pose.r = e.lineStart.r + s * e.lineDeltaR;
  } else {
    const double angle = arcAngleAt(e, s);
    if (angle > e.arcAngle + kArcAngleSlack) AlarmSysSetBit(kAlarmArcOverrun, true);
    TP_CalcArcPtForScara(e.arcOrigin, e.arcRotation, e.arcCentre, e.arcRadius, angle, s * e.arcDeltaR, &pose);
  }
  if (e.externalToolFlag != 0) {
    const tagToolParams ecp = e.stationToolParams;
    CalECPToBase(&ecp, &pose);
  }
  return pose;
}

void setPointAt(PreDealData* e, PathKind kind, double s) {
  const WCSPosition pose = poseAt(*e, kind, s);
  const bool finite = std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.z) && std::isfinite(pose.r);
  const tagToolParams tool = e->toolParams;
  JointTheta joints{};
  // A pose that is not a number is out of any reach: stopped here.
  const int rc = finite ? InverseCalBase(&pose, e->armOrientation != 0, &joints, kCheckSingularity, &tool)
                        : kKinOutOfReach;
  if (rc != kKinOk) {
    if (rc == kKinSingular || rc == kKinOutOfReach || rc == kKinSoftLimit) {
      AlarmSysSetBit(static_cast<unsigned>(rc + 16), true);
    }
    gCmdFinishFlag = 1;
    return;
  }
  gRobotAxisMove.nextPos[0] = joints.j1;
  gRobotAxisMove.nextPos[1] = joints.j2;
  gRobotAxisMove.nextPos[2] = joints.j3;
  gRobotAxisMove.nextPos[3] = joints.j4;
  gStopState.poseParam = s;
}

// At rest and paused: the entry re-planned from where the arm stands.
void replan(PreDealData* e, PathKind kind) {
  switch (kind) {
    case PathKind::kLine:
      MOVLPreDealTemp(&e->packedCmd, nullptr, e);
      return;
    case PathKind::kArc:
      StoreArcStopValues(e, gStopState.poseParam);
      MOVCPreDealTemp(&e->packedCmd, nullptr, e);
      return;
    case PathKind::kCircle:
      StoreArcStopValues(e, gStopState.poseParam);
      CirclePreDealTemp(&e->packedCmd, nullptr, e);
      return;
    case PathKind::kNone:
      return;
  }
}

}  // namespace

void StoreArcStopValues(PreDealData* entry, double s) {
  entry->arcAngleRun = arcAngleAt(*entry, s);
  entry->arcRemaining = entry->arcRadius * entry->arcAngle - s * entry->arcShare;
  entry->arcRemainingR = entry->arcRDir * entry->arcRTravel - s * entry->arcDeltaR;
  entry->arcTravelled = s;
}

void PathStop() {
  PreDealData* e = &gPreDealData;
  double jerk = e->pathJerk;
  if (gCollisionPause != 0 && jerk < e->baseJerk * kCollisionJerkRatio) jerk = e->baseJerk * kCollisionJerkRatio;
  if (e->motionType == 2 || e->motionType == 7) {
    KernelLog("runinl vNow:%1.3f sNow:%1.3f \r\n", e->pathSpeed, e->pathParam);
  }
  const PathKind kind = kindOf(e->motionType);
  if (kind == PathKind::kNone) return;

  const bool waitsForShaper = kind != PathKind::kArc;
  if (std::fabs(e->pathSpeed) < kRestSpeed && (!waitsForShaper || strLocalVar[0].endFlag == 0)) {
    if (gStopCmdPlanFlag != 0 && gPauseCmdFlag != 0) replan(e, kind);
    StopFinishDeal();
    return;
  }

  if (gStopCmdPlanFlag == 0) {
    if (!plan(*e, jerk)) {
      KernelLog("PathStop no finite stop time (v %1.3f jerk %1.3f), smooth stop\r\n", e->pathSpeed, jerk);
      SetStopParams(kStopSmooth);
      SmoothStopS();
    }
    // The run phase has set this cycle's point at s and fed the shaper: the
    // braking starts from there in the next cycle.
    return;
  }

  const double v = nextSpeed(waitsForShaper);
  const double s = e->pathParam + gPeriodTime * v;
  e->pathParam = s;
  e->pathSpeed = v;
  double sPose = s;
  if (gInputShaping != 0) vCalcInputShaping(0, s, &sPose);
  setPointAt(e, kind, sPose);
}
