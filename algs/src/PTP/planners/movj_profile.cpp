#include "PTP/planners/movj_profile.h"

#include <cmath>

#include "PTP/planners/dynamic_caps.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"

namespace {

// The smallest |limit_i / u_i| over the moving joints.
double pathLimit(const TrajPlanData jointData[kJointCount], const double u[kJointCount], double joint1Scale,
                 double TrajPlanData::*limit) {
  double best = 0.0;
  bool first = true;
  for (int i = 0; i < kJointCount; ++i) {
    if (jointData[i].noMotion != 0) continue;
    const double scale = i == 0 ? joint1Scale : 1.0;
    const double value = std::fabs(jointData[i].*limit * scale / u[i]);
    if (first || value < best) best = value;
    first = false;
  }
  return best;
}

// A five-segment plan whose jerk phase is short while the jerk it puts on
// joint 1 or 2 is large.
bool shortJerk(const TrajPlanData& plan, const double u[kJointCount]) {
  const double t1 = plan.t1;
  const double a1 = plan.jerk * u[0];
  const double a2 = plan.jerk * u[1];
  return (std::fabs(t1 * t1 * a1) < 160.0 && std::fabs(a1) > 20000.0) ||
         (std::fabs(t1 * t1 * a2) < 30.0 && std::fabs(a2) > 3000.0);
}

void logShortJerk(const PreDealData* entry, const PackedMotion& motion) {
  const TrajPlanData& plan = entry->trajPlan;
  const double* start = entry->jointMove.initialPos;
  const double* target = entry->targetAngle;
  KernelLog("GODEBUG2");
  KernelLog("gPreDealPos.xyzr:%lf,%lf,%lf,%lf \r\n", gPreDealPos.pose.x, gPreDealPos.pose.y, gPreDealPos.pose.z,
            gPreDealPos.pose.r);
  KernelLog("GODEBUG2");
  KernelLog("packedCmd->cmd.xyzr:%lf,%lf,%lf,%lf \r\n", static_cast<double>(motion.ptpCmd.x),
            static_cast<double>(motion.ptpCmd.y), static_cast<double>(motion.ptpCmd.z),
            static_cast<double>(motion.ptpCmd.r));
  KernelLog("GODEBUG2");
  KernelLog("jointMove->initialPos[]:%lf,%lf,%lf,%lf \r\n", start[0], start[1], start[2], start[3]);
  KernelLog("GODEBUG2");
  KernelLog("preDealData->targetAngle[]:%lf,%lf,%lf,%lf \r\n", target[0], target[1], target[2], target[3]);
  KernelLog("GODEBUG2");
  KernelLog("jointNormalData->s: %lf ,jointNormalData->v: %lf ,jointNormalData->jerk: %lf \r\n", plan.dist, plan.vMax,
            plan.jerk);
  KernelLog("GODEBUG2");
  KernelLog("jointNormalData->t1: %lf ,jointNormalData->t3: %lf ,jointNormalData->T: %lf \r\n", plan.t1, plan.tConst,
            plan.tTotal);
  KernelLog("GODEBUG2");
  KernelLog(
      "gSysParams.speedFactorRatio: %f ,jointParams->velocity[0]: %f ,jointParams->jerk[0]: %f "
      ",jointParams->acceleration[0]: %f ,commonParams->velocityRatio: %f \r\n",
      static_cast<double>(gSysParams.speedFactorRatio), static_cast<double>(motion.ptpParams.joint.velocity[0]),
      static_cast<double>(motion.ptpParams.joint.jerk[0]), static_cast<double>(motion.ptpParams.joint.acceleration[0]),
      static_cast<double>(motion.ptpParams.common.velocityRatio));
}

}  // namespace

bool PlanJointProfile(JointPlanKind kind, PreDealData* entry, PreDealData* last, TrajPlanData jointData[kJointCount],
                      const double target[kJointCount], const PackedMotion& motion) {
  TrajPlanData& plan = entry->trajPlan;
  JointMove& move = entry->jointMove;

  double sumSquares = 0.0;
  bool anyMoves = false;
  for (int i = 0; i < kJointCount; ++i) {
    const double d = target[i] - move.initialPos[i];
    jointData[i].dist = std::fabs(d);
    jointData[i].accDir = d < 0.0 ? -1 : 1;
    jointData[i].noMotion = jointData[i].dist < kPlanEpsilon ? 1 : 0;
    anyMoves = anyMoves || jointData[i].noMotion == 0;
    sumSquares += d * d;
  }
  if (!anyMoves) {
    plan.noMotion = 1;
    if (kind == JointPlanKind::kPreDeal && last != nullptr) last->blendTime = 0.0;
    return false;
  }

  if (kind == JointPlanKind::kStop) {
    // The arm is at rest: the speed and position a run or a speed change left
    // in the profile would start the resumed move at its old speed.
    plan.vCurrent = 0.0;
    plan.sPrev = 0.0;
    plan.variableSpeed = 0;
  }
  const double s = std::sqrt(sumSquares);
  for (int i = 0; i < kJointCount; ++i) move.u[i] = jointData[i].accDir * jointData[i].dist / s;

  plan.dist = s;
  plan.vStart = kind == JointPlanKind::kSpeedChange ? plan.vCurrent : 0.0;
  plan.vEnd = 0.0;
  plan.period = gPeriodTime;
  if (gDynamicOptimal == 0) {
    // While this move overlaps a neighbour, each may take half of joint 1's
    // acceleration.
    const bool mayBlend = (last != nullptr && last->blendTime > kPlanEpsilon) || entry->transition >= 1;
    const double joint1Scale = kind != JointPlanKind::kSpeedChange && mayBlend ? 0.5 : 1.0;
    plan.vMax = pathLimit(jointData, move.u, 1.0, &TrajPlanData::vMax);
    plan.aMax = pathLimit(jointData, move.u, joint1Scale, &TrajPlanData::aMax);
    plan.aMaxDec = plan.aMax;
    plan.jerk = pathLimit(jointData, move.u, 1.0, &TrajPlanData::jerk);
  } else {
    MOVJDynOpt(move, jointData, &plan, entry->transition, motion.loadFullParams);
  }
  TrajPlan(&plan);

  if (gAccType == 0 && shortJerk(plan, move.u) && plan.t1 < gMinAccT1) {
    if (kind == JointPlanKind::kStop) {
      TrajPlan5S_ValidT(&plan, gMinAccT1);
    } else if (plan.tTotal > 5.0) {
      logShortJerk(entry, motion);
    }
  }

  const double accTime =
      gDynamicOptimal != 0 && kind != JointPlanKind::kStop ? std::fmin(plan.tAcc, plan.tDec) : plan.tAcc;
  entry->blendTime = entry->transition * accTime / 100.0;
  if (kind != JointPlanKind::kStop && gUsingTrueMotion == 0 && last != nullptr && last->blendTime > plan.tAcc) {
    last->blendTime = plan.tAcc;
  }
  plan.noMotion = 0;
  return true;
}
