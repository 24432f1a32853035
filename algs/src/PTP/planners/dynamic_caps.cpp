#include "PTP/planners/dynamic_caps.h"

#include <algorithm>

#include "Dynamics/dynamic_optimal.h"
#include "PTP/path/arc_point.h"
#include "PTP/path/path.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/core_interface.h"

namespace {

// The dynamic model takes radians from the full double pi, and metres.
constexpr double kModelPi = 3.141592653589793;
constexpr double kRad = kModelPi / 180.0;
constexpr double kMetre = 0.001;

// Joint 3 is in millimetres, the others in degrees.
double jointToModel(int i, double v) { return v * (i == 2 ? kMetre : kRad); }

int signOf(std::int32_t dir) { return dir < 0 ? -1 : 1; }

void setJointLimits(const TrajPlanData* jointData, MotionCmd& cmd) {
  for (int i = 0; i < 4; ++i) {
    cmd.jointVel[i] = jointToModel(i, jointData[i].vMax);
    cmd.jointAcc[i] = jointToModel(i, jointData[i].aMax);
    cmd.jointDec[i] = cmd.jointAcc[i];
    cmd.jointJerk[i] = jointToModel(i, jointData[i].jerk);
  }
}

// A joint line between two joint positions in kernel units.
MotionCmd jointLine(const double* from, const double* to, const TrajPlanData* jointData) {
  MotionCmd cmd{};
  cmd.kind = kPathJoint;
  for (int i = 0; i < 4; ++i) {
    cmd.start[i] = jointToModel(i, from[i]);
    cmd.end[i] = jointToModel(i, to[i]);
  }
  setJointLimits(jointData, cmd);
  return cmd;
}

void setPoint(const WCSPosition& p, double* out) {
  out[0] = p.x * kMetre;
  out[1] = p.y * kMetre;
  out[2] = p.z * kMetre;
  out[3] = p.r * kRad;
}

void setCartesianLimits(const TrajPlanData& pos, const TrajPlanData& rot, MotionCmd& cmd) {
  const double linear[4] = {pos.vMax, pos.aMax, pos.aMax, pos.jerk};
  const double rotation[4] = {rot.vMax, rot.aMax, rot.aMax, rot.jerk};
  for (int k = 0; k < 4; ++k) {
    cmd.linear[k] = linear[k] * kMetre;
    cmd.rotation[k] = rotation[k] * kRad;
  }
}

// Largest acceleration (isAcc) or deceleration of the path parameter that the
// torque bounds allow at boundary k of the plan.
double torqueLimit(const TrajPlanData& plan, int k, bool isAcc, const PathInfo& path, double* tMax, double* tMin) {
  double limit = kNoDynamicBound;
  DynamicOptimal(plan.motion.pos[k], plan.motion.vel[k], isAcc, path, dynParam, tMax, tMin, limit);
  return limit;
}

// The algorithm shared by the four moves: plan over the path parameter, cap at
// the first check points, re-plan, and cap again at the ends of the constant
// acceleration when the plan has one; scale back to the move's distance.
void capWithTorques(const MotionCmd& cmd, TrajPlanData* profile, std::uint8_t flag, _stLoadFullParams load) {
  PathInfo path{};
  getPath(cmd, path);
  if (!(path.extent > 0.0) || !(path.accScale > 0.0)) {
    KernelLog("DynOpt kind %d: empty path, limits unchanged\r\n", static_cast<int>(cmd.kind));
    return;
  }
  const double s0 = profile->dist;
  const double q = path.jerkScale / path.accScale;
  profile->dist = path.extent;
  profile->vMax = path.velScale;
  profile->aMax = path.accScale;
  profile->aMaxDec = path.decScale;
  profile->jerk = path.jerkScale;
  TrajPlan(profile);

  dynParam.para[dyn_slot::kPayloadMass] = load.weight;
  dynParam.para[dyn_slot::kPayloadInertia] = load.inertia;
  const double scale = flag != 0 ? 0.5 : 1.0;
  double tMax[4];
  double tMin[4];
  for (int j = 0; j < 4; ++j) {
    tMax[j] = torMax[j] * scale;
    tMin[j] = torMin[j] * scale;
  }

  profile->aMax = std::min(profile->aMax, torqueLimit(*profile, 1, true, path, tMax, tMin));
  profile->aMaxDec = std::min(profile->aMaxDec, torqueLimit(*profile, 6, false, path, tMax, tMin));
  profile->jerk = q * std::max(profile->aMax, profile->aMaxDec);
  TrajPlan(profile);

  if (profile->motion.time[2] - profile->motion.time[1] <= 1e-5) {
    profile->aMax *= s0;
    profile->aMaxDec *= s0;
  } else {
    profile->aMax = s0 * std::min(profile->aMax, torqueLimit(*profile, 2, true, path, tMax, tMin));
    profile->aMaxDec = s0 * std::min(profile->aMaxDec, torqueLimit(*profile, 5, false, path, tMax, tMin));
  }
  profile->dist = s0;
  profile->vMax *= s0;
  profile->jerk = q * std::max(profile->aMax, profile->aMaxDec);
}

}  // namespace

void MOVJDynOpt(const JointMove& move, const TrajPlanData* jointData, TrajPlanData* profile, std::uint8_t flag,
                _stLoadFullParams load) {
  double target[4];
  for (int i = 0; i < 4; ++i) target[i] = move.initialPos[i] + signOf(jointData[i].accDir) * jointData[i].dist;
  capWithTorques(jointLine(move.initialPos, target, jointData), profile, flag, load);
}

void MOVLDynOpt(WCSPosition start, WCSPosition end, TrajPlanData posLimits, TrajPlanData rotLimits,
                TrajPlanData* profile, std::uint8_t flag, _stLoadFullParams load) {
  MotionCmd cmd{};
  cmd.kind = kPathLine;
  setPoint(start, cmd.start);
  setPoint(end, cmd.end);
  setCartesianLimits(posLimits, rotLimits, cmd);
  capWithTorques(cmd, profile, flag, load);
}

void MOVCDynOpt(const CirlPlanPara& arc, WCSPosition start, WCSPosition end, TrajPlanData posLimits,
                TrajPlanData rotLimits, TrajPlanData* profile, std::uint8_t flag, _stLoadFullParams load) {
  // Half the sweep keeps an arc that takes the long way long.
  WCSPosition middle;
  TP_CalcArcPtForScara(start, arc.rotation, arc.centre, arc.radius, arc.angle / 2.0, (end.r - start.r) / 2.0,
                       &middle);
  MotionCmd cmd{};
  cmd.kind = kPathArc;
  setPoint(start, cmd.start);
  setPoint(middle, cmd.middle);
  setPoint(end, cmd.end);
  setCartesianLimits(posLimits, rotLimits, cmd);
  capWithTorques(cmd, profile, flag, load);
}

void JUMPDynOpt(const JumpMove& move, const TrajPlanData* jointData, TrajPlanData* profile, std::uint8_t flag,
                _stLoadFullParams load, int segment) {
  double target[4];
  for (int i = 0; i < 4; ++i) target[i] = move.initialPos[i] + signOf(jointData[i].accDir) * jointData[i].dist;
  const double top = move.origin.z + signOf(move.lift.accDir) * move.lift.dist;
  double from[4];
  double to[4];
  switch (segment) {
    case kJumpLift:
      for (int i = 0; i < 4; ++i) from[i] = to[i] = move.initialPos[i];
      from[2] = move.origin.z;
      to[2] = move.origin.z + signOf(profile->accDir) * profile->dist;
      break;
    case kJumpTravel:
      for (int i = 0; i < 4; ++i) {
        from[i] = move.initialPos[i];
        to[i] = target[i];
      }
      from[2] = to[2] = top;
      break;
    case kJumpDescent:
      for (int i = 0; i < 4; ++i) from[i] = to[i] = target[i];
      from[2] = top;
      to[2] = top + signOf(profile->accDir) * profile->dist;
      break;
    default:
      KernelLog("JUMPDynOpt segment %d unknown, limits unchanged\r\n", segment);
      return;
  }
  capWithTorques(jointLine(from, to, jointData), profile, flag, load);
}
