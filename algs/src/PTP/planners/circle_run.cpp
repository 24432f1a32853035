#include <cstring>

#include "PTP/path/input_shaping.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/path_transforms.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

// Next entries that add a share to a blend. Any other (a type-5 or type-7
// line among them) starts after this circle has ended: the execution starts
// the next entry at the blend's count, so a counted blend that adds nothing
// would start it partway into its profile.
bool AddsShare(std::uint32_t motionType) {
  return IsMotiontypeBelongto(static_cast<int>(motionType), 0) != 0 || motionType == 2 || motionType == 10 ||
         motionType == 11;
}

void takeLoad(const PreDealData& entry) {
  _stLoadParams load{};
  _stLoadFullParams full;
  if (entry.loadFlag) std::memcpy(&load, entry.plannerWords, sizeof load);
  std::memcpy(&full, reinterpret_cast<const std::uint8_t*>(entry.plannerWords) + sizeof load, sizeof full);
  gLoad = load;
  gLoadFullParams = full;
}

}  // namespace

int Circle(PreDealData* entry, PreDealData* next) {
  takeLoad(*entry);
  gPeriodCount += 1;
  const double t = gPeriodCount * gPeriodTime;
  WCSPosition pose = entry->targetPose;
  MOVLCMain(t, entry, next, &pose);

  double increments[4] = {0.0, 0.0, 0.0, 0.0};
  if (next != nullptr && t > entry->trajPlan.tTotal - entry->blendTime + gPeriodTime && AddsShare(next->motionType)) {
    gPeriodCount1 += 1;
    if (gPeriodCount1 == 1 && gInputShaping) vInitHistoryData(1, 0.0);
    const double tn = gPeriodCount1 * gPeriodTime;
    switch (next->motionType) {
      case 2:
        MOVLTrans(tn, entry, next, &pose);
        break;
      case 10:
        MOVCTrans(tn, entry, next, &pose);
        break;
      case 11:
        CircleTrans(tn, entry, next, &pose);
        break;
      default:
        MOVJTrans(tn, next, increments);
        break;
    }
  }
  if (entry->externalToolFlag) {
    const tagToolParams ecp = entry->stationToolParams;
    CalECPToBase(&ecp, &pose);
  }

  const tagToolParams tool = entry->toolParams;
  JointTheta joints;
  const int rc = InverseCalBase(&pose, entry->armOrientation != 0, &joints, kCheckSingularity, &tool);
  if (rc != kKinOk) {
    if (rc == kKinSingular) AlarmSysSetBit(32, true);
    if (rc == kKinOutOfReach) AlarmSysSetBit(33, true);
    if (rc == kKinSoftLimit) AlarmSysSetBit(34, true);
    gCmdFinishFlag = 1;
    return rc;
  }
  const double j[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
  for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = j[i] + increments[i];
  if (entry->trajPlan.noMotion) {
    if (next == nullptr) {
      // Exactly the planned end: the next queued move starts there.
      for (int i = 0; i < 4; ++i) gRobotAxisMove.nextPos[i] = entry->targetAngle[i];
      strLocalVar[0].endFlag = 0;
    }
    gPeriodCount = 0;
    gCmdFinishFlag = 1;
  }
  return rc;
}
