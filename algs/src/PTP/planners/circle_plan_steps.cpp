#include "PTP/planners/circle_plan_steps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "PTP/path/circle_geometry.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace circle_steps {

namespace {

// Below this a share counts as absent (1e-6 in single precision).
constexpr double kNoShare = 9.999999974752427e-07;
constexpr int kReachPoints = 10;

WCSPosition poseOf(const tagARCPoint& p) {
  return {static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z), static_cast<double>(p.r)};
}

bool sameXYZ(const WCSPosition& a, const WCSPosition& b) {
  return std::fabs(a.x - b.x) < 1e-5 && std::fabs(a.y - b.y) < 1e-5 && std::fabs(a.z - b.z) < 1e-5;
}

void logPose(const char* fmt, const WCSPosition& p) { KernelLog(fmt, p.x, p.y, p.z, p.r); }

}  // namespace

CircleInputs ReadCircle(const PackedBaseCmd& cmd) {
  CircleInputs in;
  in.motion = ReadPackedMotion(&cmd);
  const tagCircleCmd move = cmd.body.circle.cmd;
  in.middle = poseOf(move.cirPoint);
  in.end = poseOf(move.toPoint);
  in.turns = move.count;
  return in;
}

void Refuse(unsigned index) {
  AlarmSysSetBit(index, true);
  gCmdFinishFlag = 1;
}

bool CheckStartJoints(const JointTheta& joints, bool hand) {
  const double j[4] = {joints.j1, joints.j2, joints.j3, joints.j4};
  bool inside = std::fabs(j[1]) >= gSoftLimitPara[8];
  for (int i = 0; i < 4; ++i) inside = inside && j[i] >= gSoftLimitPara[4 + i] && j[i] <= gSoftLimitPara[i];
  if (!inside) {
    Refuse(18);
    return false;
  }
  if ((j[1] < 0.0 && hand) || (j[1] >= 0.0 && !hand)) {
    Refuse(22);
    return false;
  }
  return true;
}

bool TakeLimits(const tagPTPParamsBlock& params, PathLimits* out) {
  const double g = static_cast<double>(gSysParams.speedFactorRatio) / 100.0;
  const tagPTPCoordinateParams base = params.coordinate;
  const tagPTPCommonParams pct = params.common;
  const auto scaled = [g](float value, float percent) {
    return g * static_cast<double>(value) * static_cast<double>(percent) / 100.0;
  };
  *out = {scaled(base.xyzVelocity, pct.xyzVelocityRatio),   scaled(base.xyzAcceleration, pct.xyzAccelerationRatio),
          scaled(base.xyzJerk, pct.xyzJerkRatio),           scaled(base.rVelocity, pct.rVelocityRatio),
          scaled(base.rAcceleration, pct.rAccelerationRatio), scaled(base.rJerk, pct.rJerkRatio)};
  const double all[6] = {out->v, out->a, out->j, out->vR, out->aR, out->jR};
  // A NaN limit is refused with the small ones.
  if (std::any_of(all, all + 6, [](double x) { return !(x >= 1e-5); })) {
    Refuse(26);
    return false;
  }
  return true;
}

void ToExternalTool(const tagToolParams& ecp, WCSPosition* start, WCSPosition* middle, WCSPosition* end) {
  logPose("Circle ECP origPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", *start);
  CalECPToTool(&ecp, start);
  logPose("Circle ECP origPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n", *start);
  logPose("Circle ECP midPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", *middle);
  logPose("Circle ECP endPosBasePlan:%1.3f %1.3f %1.3f %1.3f\r\n", *end);
  CalECPToTool(&ecp, middle);
  CalECPToTool(&ecp, end);
  logPose("Circle ECP midPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n", *middle);
  logPose("Circle ECP endPosECPPlan:%1.3f %1.3f %1.3f %1.3f\r\n", *end);
}

bool Distinct(const WCSPosition& start, const WCSPosition& middle, const WCSPosition& end) {
  if (sameXYZ(middle, start) || sameXYZ(end, start) || sameXYZ(end, middle)) {
    Refuse(19);
    return false;
  }
  return true;
}

bool HasLength(const CirlPlanPara& plan) {
  if (plan.radius * plan.angle < 1e-5 && plan.rTravel < 1e-5) {
    Refuse(19);
    return false;
  }
  return true;
}

bool ReachAlongPath(const CircleInputs& in, const WCSPosition& start, double endR, const CirlPlanPara& plan,
                    WCSPosition* pathEnd, JointTheta* endJoints) {
  const double dr = endR - start.r;
  for (int i = 1; i <= kReachPoints; ++i) {
    WCSPosition point;
    TP_CalcCirclePtForScara(start, plan.rotation, plan.centre, plan.radius, i * plan.angle / kReachPoints,
                            i * dr / kReachPoints, &point);
    if (i == kReachPoints) *pathEnd = point;
    if (in.motion.eCPFlag) CalECPToBase(&in.motion.ecpParams, &point);
    JointTheta joints;
    if (InverseCalBase(&point, in.motion.arm, &joints, kCheckSingularity, &in.motion.toolParams) != kKinOk) {
      Refuse(29);
      return false;
    }
    if (i == kReachPoints) *endJoints = joints;
  }
  return true;
}

void PlanProfile(PreDealData* entry, const PathLimits& limits, bool halve) {
  const double arc = entry->arcRadius * entry->arcAngle;
  const double travel = entry->arcRTravel;
  const double length = std::sqrt(arc * arc + travel * travel);
  const double k1 = arc / length;
  const double k2 = entry->arcRDir * travel / length;
  entry->arcShare = k1;
  entry->arcDeltaR = k2;

  double v, a, j;
  if (arc < kNoShare) {
    v = limits.vR;
    a = limits.aR;
    j = limits.jR;
  } else if (travel < kNoShare) {
    v = limits.v;
    a = limits.a;
    j = limits.j;
  } else {
    v = std::min(limits.v / k1, std::fabs(limits.vR / k2));
    a = std::min(limits.a / k1, std::fabs(limits.aR / k2));
    j = std::min(limits.j / k1, std::fabs(limits.jR / k2));
  }
  if (halve) {
    a /= 2.0;
    j /= 2.0;
  }

  TrajPlanData& profile = entry->trajPlan;
  profile.dist = length;
  profile.vMax = v;
  profile.aMax = a;
  profile.aMaxDec = a;
  profile.jerk = j;
  profile.vStart = 0.0;
  profile.vEnd = 0.0;
  profile.period = gPeriodTime;
  profile.noMotion = 0;
  TrajPlan(&profile);

  entry->blendTime = profile.tAcc * entry->transition / 100.0;
  entry->pathJerk = profile.jerk;
  entry->baseJerk = profile.jerk;
}

}  // namespace circle_steps
