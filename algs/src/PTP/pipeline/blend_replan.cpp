// The executing move's profile over the part of its path the blends leave.
#include <cmath>

#include "PTP/pipeline/blend_setup.h"
#include "PTP/profiles/traj_plan_7s.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"

namespace ps = path_slot;

namespace {

constexpr double kMinExtent = 1e-05;
constexpr double kJerkPerDistance = 1000.0;

void TakeScales(const PathInfo& path, TrajPlanData& plan) {
  plan.vMax = path.velScale;
  plan.aMax = path.accScale;
  plan.aMaxDec = path.decScale;
  plan.jerk = path.jerkScale;
  plan.period = gPeriodTime;
}

void CapJerk(TrajPlanData& plan) {
  if (plan.jerk / plan.dist > kJerkPerDistance) plan.jerk = plan.dist * kJerkPerDistance;
}

// Plans `plan` and, on success, makes it the entry's profile: boundaries
// shifted by `shift`, the distance ending at the last boundary.
bool Commit(PreDealData* cur, TrajPlanData plan, double shift) {
  if (TrajPlan7S(&plan) != 0) {
    KernelLog("setBlendSeg remainder not planned: dist %lf vMax %lf\r\n", plan.dist, plan.vMax);
    return false;
  }
  if (shift != 0.0) {
    for (double& p : plan.motion.pos) p += shift;
    plan.dist = plan.motion.pos[7];
  }
  cur->trajPlan = plan;
  cur->entryTime = plan.tTotal;
  cur->pathJerk = plan.jerk;
  cur->baseJerk = plan.jerk;
  return true;
}

void ReplanLine(PreDealData* cur, const PathInfo& first) {
  const double length = first.para[ps::kLineLength];
  const double travel = first.para[ps::kLineDeltaR];
  TrajPlanData plan = cur->trajPlan;
  TakeScales(first, plan);
  if (length > kMinExtent) {
    const double in = first.para[ps::kLineBlendIn];
    const double out = first.para[ps::kLineBlendOut];
    plan.dist = (length - in - out) / length;
    plan.vStart = first.startSpeed / length;
    plan.vEnd = first.endSpeed / length;
    CapJerk(plan);
    const double lineLength = cur->lineLength;
    const double lineDeltaR = cur->lineDeltaR;
    cur->lineLength = length;
    cur->lineDeltaR = travel;
    if (!Commit(cur, plan, in / length)) {
      cur->lineLength = lineLength;
      cur->lineDeltaR = lineDeltaR;
    }
  } else if (std::fabs(travel) > kMinExtent) {
    // A pure rotation: over the whole turn, from rest to rest.
    plan.dist = 1.0;
    plan.vStart = 0.0;
    plan.vEnd = 0.0;
    CapJerk(plan);
    const double lineDeltaR = cur->lineDeltaR;
    cur->lineDeltaR = travel;
    if (!Commit(cur, plan, 0.0)) cur->lineDeltaR = lineDeltaR;
  }
}

void ReplanArc(PreDealData* cur, const PathInfo& first) {
  const double length = first.para[ps::kArcLength];
  if (!(length > kMinExtent)) return;
  const double radius = first.para[ps::kArcRadius];
  const double in = first.para[ps::kArcBlendIn];
  const double out = first.para[ps::kArcBlendOut];
  TrajPlanData plan = cur->trajPlan;
  TakeScales(first, plan);
  plan.dist = (length - (in + out) * radius) / length;
  plan.vStart = first.startSpeed / length;
  plan.vEnd = first.endSpeed / length;
  CapJerk(plan);
  const double arcShare = cur->arcShare;
  const double arcDeltaR = cur->arcDeltaR;
  cur->arcShare = length;
  cur->arcDeltaR = first.para[ps::kArcDeltaR];
  if (!Commit(cur, plan, in * radius / length)) {
    cur->arcShare = arcShare;
    cur->arcDeltaR = arcDeltaR;
  }
}

}  // namespace

void ReplanRemainder(PreDealData* cur, const PathInfo& first) {
  if (first.kind == kPathLine) {
    ReplanLine(cur, first);
  } else if (first.kind == kPathArc) {
    ReplanArc(cur, first);
  }
}
