#include <cstring>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/parallel_outputs.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr int kJoints = 4;

bool isJointMove(std::uint32_t type) { return type == 1 || type == 4 || type == 6 || type == 8; }

// Only these following moves add a share during the blend. Any other (lines
// of type 5 or 7 among them) would start partway into its own profile after
// the hand-over while the arm stands at its start, so this move runs alone to
// its end and the next one starts from its beginning.
bool isBlendPartner(std::uint32_t type) { return isJointMove(type) || type == 2 || type == 10 || type == 11; }

void takeLoad(const PreDealData* cur) {
  static_assert(sizeof(gLoad) + sizeof(gLoadFullParams) == sizeof cur->plannerWords);
  const auto* words = reinterpret_cast<const std::uint8_t*>(cur->plannerWords);
  if (cur->loadFlag != 0) {
    std::memcpy(&gLoad, words, sizeof gLoad);
  } else {
    gLoad = {};
  }
  std::memcpy(&gLoadFullParams, words + sizeof gLoad, sizeof gLoadFullParams);
}

// The share of a following Cartesian move as joint offsets: its pose at tn
// solved against its own start joints. False when the pose cannot be solved
// (alarm 32, 33 or 34 for a singular, unreachable or limit-breaking pose).
bool cartesianShare(double tn, PreDealData* cur, PreDealData* next, double offset[kJoints]) {
  WCSPosition pose;
  const double* startJoints;
  if (next->motionType == 2) {
    pose = next->lineStart;
    startJoints = next->lineStartJoints;
    MOVLTrans(tn, cur, next, &pose);
  } else {
    pose = next->arcOrigin;
    startJoints = next->arcStartJoints;
    if (next->motionType == 10) {
      MOVCTrans(tn, cur, next, &pose);
    } else {
      CircleTrans(tn, cur, next, &pose);
    }
  }
  if (cur->externalToolFlag != 0) CalECPToBase(&cur->stationToolParams, &pose);
  JointTheta joints{};
  const int code = InverseCalBase(&pose, next->armOrientation != 0, &joints, kCheckSingularity, &next->toolParams);
  if (code != kKinOk) {
    if (code == kKinSingular) AlarmSysSetBit(32, true);
    if (code == kKinOutOfReach) AlarmSysSetBit(33, true);
    if (code == kKinSoftLimit) AlarmSysSetBit(34, true);
    return false;
  }
  offset[0] = joints.j1 - startJoints[0];
  offset[1] = joints.j2 - startJoints[1];
  offset[2] = joints.j3 - startJoints[2];
  offset[3] = joints.j4 - startJoints[3];
  return true;
}

}  // namespace

void MOVJ(PreDealData* cur, PreDealData* next) {
  takeLoad(cur);
  TrajPlanData& plan = cur->trajPlan;
  const JointMove& move = cur->jointMove;

  if (plan.noMotion != 0) {
    gCmdFinishFlag = 1;
    if (gPauseCmdFlag != 0) {
      gPauseCmdFlag = 0;
      gSysParams.runQueuedCmd = 0;
    }
    std::memcpy(gRobotAxisMove.nextPos, cur->targetAngle, sizeof gRobotAxisMove.nextPos);
    return;
  }

  const double period = gPeriodTime;
  gPeriodCount += 1;
  const double t = gPeriodCount * period;
  if (gPeriodCount == 1 && gAccType == 0) {
    KernelLog("MOVJ target %1.5lf %1.5lf %1.5lf %1.5lf t1 %1.5f\r\n", cur->targetPose.x, cur->targetPose.y,
              cur->targetPose.z, cur->targetPose.r, plan.t1);
  }
  if (gPeriodCount1 == 1 && next != nullptr) {
    KernelLog("CP MOVJ target %1.5lf %1.5lf %1.5lf %1.5lf\r\n", next->targetPose.x, next->targetPose.y,
              next->targetPose.z, next->targetPose.r);
  }

  const double T = plan.tTotal;
  double s;
  if (t <= T) {
    const double sPrev = JointCalc(&plan, t - period);
    s = JointCalc(&plan, t);
    plan.sPrev = sPrev;
    plan.vCurrent = (s - sPrev) / period;
  } else {
    s = plan.dist;
  }
  if (t >= T + strLocalVar[0].delay2 * period) plan.noMotion = 1;

  double offset[kJoints] = {};
  if (next != nullptr && t > T - cur->blendTime + period && isBlendPartner(next->motionType)) {
    gPeriodCount1 += 1;
    if (gPeriodCount1 == 1 && gInputShaping != 0) vInitHistoryData(1, 0.0);
    const double tn = gPeriodCount1 * period;
    if (isJointMove(next->motionType)) {
      MOVJTrans(tn, next, offset);
    } else if (!cartesianShare(tn, cur, next, offset)) {
      gCmdFinishFlag = 1;
      return;
    }
  }

  if (gInputShaping != 0) {
    if (strLocalVar[0].endFlag == 0) {
      vInitHistoryData(0, s);
      strLocalVar[0].endFlag = 1;
    }
    if (gPeriodCount == 1) vInitHistoryData(0, s);
    vCalcInputShaping(0, s, &s);
  }

  for (int i = 0; i < kJoints; ++i) gRobotAxisMove.nextPos[i] = move.initialPos[i] + s * move.u[i] + offset[i];
  ParallelIOControl(cur);

  if (plan.noMotion != 0) {
    if (next == nullptr) {
      std::memcpy(gRobotAxisMove.nextPos, cur->targetAngle, sizeof gRobotAxisMove.nextPos);
      strLocalVar[0].endFlag = 0;
    }
    gPeriodCount = 0;
    gCmdFinishFlag = 1;
  }
}

float signModified(float x, float limit) {
  if (x > limit) return 1.0f;
  if (x < -limit) return -1.0f;
  return x / limit;
}
