#include "PTP/planners/cart_run.h"

#include <cmath>
#include <cstring>

#include "PTP/path/input_shaping.h"
#include "PTP/path/pose_shaping.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/planners/cart_conveyor.h"
#include "PTP/planners/cart_start.h"
#include "PTP/planners/parallel_outputs.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

bool isJointMove(std::uint32_t type) { return type == 1 || type == 4 || type == 6 || type == 8; }

void entryPoseAt(const void* entry, double s, WCSPosition* pose) {
  PathPoseAt(*static_cast<const PreDealData*>(entry), s, pose);
}

}  // namespace

void CartLoadWords(const PreDealData* cur) {
  static_assert(sizeof(gLoad) + sizeof(gLoadFullParams) == sizeof(cur->plannerWords));
  if (cur->loadFlag != 0) {
    std::memcpy(&gLoad, cur->plannerWords, sizeof gLoad);
  } else {
    std::memset(&gLoad, 0, sizeof gLoad);
  }
  std::memcpy(&gLoadFullParams, reinterpret_cast<const char*>(cur->plannerWords) + sizeof gLoad,
              sizeof gLoadFullParams);
}

void CartBlend(PreDealData* cur, PreDealData* next, double t, WCSPosition* pose, double offset[4]) {
  // A line or arc shaped as a whole pose: cur's own pose, or the corner
  // blend's that replaces it, goes through the pose shaper; shares added to
  // it (a full circle's, a joint move's) are shaped on channel 1 already.
  const bool shapePose = PoseShapingFor(cur->motionType);
  // A profile that starts afresh (from rest, or re-planned) seeds the history
  // from channel 0, as MOVLCMain seeds the channel.
  const bool restart = !PoseShapingRunning() || (gPeriodCount == 1 && !PoseShapingAfterBlend());
  if (shapePose && restart) {
    PoseShapingSeed(&entryPoseAt, cur);
  }
  const auto shapePoseAs = [&](bool blendSample) {
    if (shapePose) PoseShapingStep(pose, blendSample);
  };
  const auto shapeOwnPose = [&] { shapePoseAs(false); };
  if (next == nullptr) return shapeOwnPose();
  const std::uint32_t type = next->motionType;
  const bool pathNext = type == 2 || type == 10;
  if (!pathNext && !isJointMove(type) && type != 11) return shapeOwnPose();
  const TrajPlanData& plan = cur->trajPlan;
  const double period = gPeriodTime;
  // A corner blend starts where the re-planned profile ends.
  const double cornerTime = CornerBlendTime(*cur, next);
  const double end = plan.tTotal + cornerTime;
  const double threshold = end - cur->blendTime + (gUsingTrueMotion != 0 && pathNext ? period / 2 : period);
  // With true motion a following line or arc shares only through a corner
  // blend: without one (refused, or none prepared) it starts after cur.
  const bool cornerShare = gUsingTrueMotion != 0 && pathNext && cur->motionType != 1 && cur->motionType != 11;
  if (!(t > threshold) || (cornerShare && !(cornerTime > 0.0))) return shapeOwnPose();

  gPeriodCount1 += 1;
  if (gPeriodCount1 == 1 && gInputShaping != 0) vInitHistoryData(1, 0.0);
  const double tn = gPeriodCount1 * period;
  if (type == 2 || type == 10) {
    if (!cornerShare) shapeOwnPose();
    if (type == 2) {
      MOVLTrans(tn, cur, next, pose);
    } else {
      MOVCTrans(tn, cur, next, pose);
    }
    // The blending object's pose in place of cur's.
    if (cornerShare) shapePoseAs(true);
    return;
  }
  shapeOwnPose();
  if (type == 11) {
    CircleTrans(tn, cur, next, pose);
  } else {
    MOVJTrans(tn, next, offset);
  }
}

void CartPoseToBase(PreDealData* cur, WCSPosition* pose, const char* trackFormat) {
  if (cur->externalToolFlag != 0) {
    const WCSPosition path = *pose;
    CalECPToBase(&cur->stationToolParams, pose);
    // Where the arm stands, against the point, and how far that is from the path.
    tagGPose at{};
    at.joint = ActualJoints();
    WCSPosition actual;
    ForwardCalBase(&at, &actual, &cur->toolParams);
    CalECPToTool(&cur->stationToolParams, &actual);
    KernelLog("S2:%1.3f,%1.3f,%1.3f\r\n", actual.x, actual.y, actual.z);
    KernelLog("7:%1.5f\r\n", std::sqrt((actual.x - path.x) * (actual.x - path.x) +
                                        (actual.y - path.y) * (actual.y - path.y) +
                                        (actual.z - path.z) * (actual.z - path.z)));
  } else if (cur->conveyorFlag != 0) {
    TrackPose(pose);
    KernelLog(trackFormat, pose->x, pose->y, pose->z);
    KernelLog("conveyorID1: %d\r\n", TrackedChannel());
  }
}

bool CartSetPoint(PreDealData* cur, const WCSPosition& pose, const double offset[4], const char* failLog) {
  JointTheta joints{};
  const bool finite = std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.z) && std::isfinite(pose.r);
  // A pose that is not a number is out of any reach: stopped here.
  const int rc = finite ? InverseCalBase(&pose, cur->armOrientation != 0, &joints, kCheckSingularity, &cur->toolParams)
                        : kKinOutOfReach;
  if (rc != kKinOk) {
    if (rc == kKinSingular || rc == kKinOutOfReach || rc == kKinSoftLimit) {
      AlarmSysSetBit(static_cast<unsigned>(rc + 16), true);
    }
    if (failLog != nullptr) KernelLog("%s", failLog);
    gCmdFinishFlag = 1;
    return false;
  }
  const double q[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
  for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = q[i] + offset[i];
  if (cur->conveyorFlag != 0) gRobotAxisMove.nextPos[3] = UnwrapJ4(gRobotAxisMove.nextPos[3]);
  ParallelIOControl(cur);
  return true;
}

void CartConveyorFinish(const char* finishLog) {
  gPreDealPos.joint = SetPointJoints();
  KernelLog("%s", finishLog);
  gOutObj.reached = 1;
}

JointTheta SetPointJoints() {
  const double* q = gRobotAxisMove.nextPos;
  return JointTheta{q[0], q[1], q[2], q[3]};
}
