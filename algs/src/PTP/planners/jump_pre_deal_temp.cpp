// Re-planning a jump from rest at the actual joints, for a stop that is to
// resume it. gPreDealPos, the end of the queue, is not touched.
#include <cstring>

#include "PTP/planners/jump_internal.h"
#include "PTP/planners/jump_planner.h"
#include "common/kernel/sys_params.h"

using namespace jump_plan;

namespace {

// Joints 1, 2 and 4 stand at their targets: joint 3 goes straight there, up
// or down, without a lift.
void planDirect(PreDealData* e, const JumpCommand& c, const JointLimits& z, const double start[4],
                const double target[4]) {
  EmptyProfile(&e->jumpMove.lift);
  StoreStageTimes(e, 0.0, 0.0, 0.0, 0.0);
  const double dist = target[2] > start[2] ? target[2] - start[2] : start[2] - target[2];
  if (!(dist >= kTiny)) {
    e->trajPlan.noMotion = 1;  // nothing left: the run phase finishes at once
    return;
  }
  JointSteps steps;
  SplitJointMove(start, target, z, &steps);
  PlanVertical(e, &e->jumpMove.descent, c, z, &steps, dist, target[2] > start[2] ? kUp : kDown, -1);
  e->trajPlan.noMotion = 0;
}

}  // namespace

void JUMPPreDealTemp(const PackedBaseCmd* cmd, PreDealData* entry) {
  const JumpCommand c = ReadJumpCommand(*cmd);
  entry->loadFlag = c.loadFlag;
  // The parameter record is packed: copy its pose and joints out.
  JointTheta actual;
  std::memcpy(&actual, reinterpret_cast<const char*>(&gSysParams) + offsetof(tagSysParams, joint), sizeof actual);
  const double start[4] = {actual.j1, actual.j2, actual.j3, actual.j4};
  if (!CheckPresent(start, c, kStopRules)) return;
  for (int i = 0; i < 4; ++i) entry->jumpMove.initialPos[i] = start[i];
  JointLimits limits;
  JointLimits unscaled;
  if (!ComputeLimits(c, &limits, &unscaled)) return;
  std::memcpy(&entry->jumpMove.origin, reinterpret_cast<const char*>(&gSysParams) + offsetof(tagSysParams, pose),
              sizeof(WCSPosition));

  double target[4];
  for (int i = 0; i < 4; ++i) target[i] = entry->targetAngle[i];
  entry->jumpZUpper = c.zLimit;
  if (!CheckTargetHeight(target[2], c, kStopRules)) return;
  if (!CheckJumpHeights(c, kStopRules)) return;

  // From rest: what the run left in the profiles would start them at its speed.
  ClearRunState(&entry->jumpMove.lift);
  ClearRunState(&entry->jumpMove.descent);
  ClearRunState(&entry->trajPlan);
  StageRequest r{};
  for (int i = 0; i < 4; ++i) {
    r.start[i] = start[i];
    r.target[i] = target[i];
  }
  r.jointLimits = limits;
  // The stop's lift and descent run at joint 3's limits without the speed factor.
  r.zLimits = unscaled;
  r.stretch = true;
  r.shortJerkCheck = true;
  r.dumpAfterPlan = true;

  JointSteps steps;
  SplitJointMove(start, target, limits, &steps);
  if (!steps.anyMoves) {
    planDirect(entry, c, unscaled, start, target);
    return;
  }
  PlanStages(entry, c, r);
}
