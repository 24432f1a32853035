#include "PTP/planners/movj_target.h"

#include "common/kernel/alarms.h"
#include "common/kernel/kernel_queues.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr unsigned kAlarmJointLimit = 18;
constexpr unsigned kAlarmPTPMode = 25;

WCSPosition commandValues(const tagPTPCmd& cmd) {
  return {static_cast<double>(cmd.x), static_cast<double>(cmd.y), static_cast<double>(cmd.z),
          static_cast<double>(cmd.r)};
}

void toArray(const JointTheta& j, double out[kJointCount]) {
  out[0] = j.j1;
  out[1] = j.j2;
  out[2] = j.j3;
  out[3] = j.j4;
}

JointTheta fromArray(const double in[kJointCount]) { return {in[0], in[1], in[2], in[3]}; }

// A base-frame pose through the reach check (mode 0: every joint, no
// singularity test); the check raises its own alarm.
bool solvePose(const WCSPosition& base, bool arm, const tagToolParams& tool, double target[kJointCount]) {
  JointTheta joints{};
  if (PointCheck(&base, &joints, arm, kCheckAllJoints, &tool) != 0) return false;
  toArray(joints, target);
  return true;
}

// Joint targets are tested before they replace the pre-processing joints.
bool acceptJoints(const double target[kJointCount]) {
  if (!JointsWithinSoftLimits(target)) {
    AlarmSysSetBit(kAlarmJointLimit, true);
    return false;
  }
  return true;
}

}  // namespace

bool JointMoveTarget(const PackedMotion& motion, double target[kJointCount], WCSPosition* targetPose) {
  const WCSPosition values = commandValues(motion.ptpCmd);
  const tagToolParams tool = motion.toolParams;
  const tagLocalParams user = motion.localParams;
  switch (motion.ptpCmd.ptpMode) {
    case 1: {
      CalCordToBase(&values, targetPose, &user);
      if (!solvePose(*targetPose, motion.arm, tool, target)) return false;
      break;
    }
    case 8: {
      WCSPosition present;
      ForwardCalBase(&gPreDealPos, &present, &tool);
      CalCordToLocal(&present, &present, &user);
      present.x += values.x;
      present.y += values.y;
      present.z += values.z;
      present.r += values.r;
      CalCordToBase(&present, targetPose, &user);
      if (!solvePose(*targetPose, gPreDealPos.joint.j2 >= 0.0, tool, target)) return false;
      break;
    }
    case 4:
    case 6: {
      target[0] = values.x;
      target[1] = values.y;
      target[2] = values.z;
      target[3] = values.r;
      if (motion.ptpCmd.ptpMode == 6) {
        double start[kJointCount];
        toArray(gPreDealPos.joint, start);
        for (int i = 0; i < kJointCount; ++i) target[i] += start[i];
      }
      if (!acceptJoints(target)) return false;
      tagGPose at{};
      at.joint = fromArray(target);
      ForwardCalBase(&at, targetPose, &tool);
      break;
    }
    default:
      AlarmSysSetBit(kAlarmPTPMode, true);
      return false;
  }
  gPreDealPos.joint = fromArray(target);
  return true;
}
