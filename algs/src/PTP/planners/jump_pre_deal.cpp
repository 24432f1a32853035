// Planning a queued jump from where the previous queued move ends.
#include "PTP/planners/jump_internal.h"
#include "PTP/planners/jump_planner.h"
#include "common/kernel/kernel_queues.h"
#include "common/kinematics/kinematics.h"

using namespace jump_plan;

void JUMPPreDeal(const PackedBaseCmd* cmd, PreDealData* entry) {
  const JumpCommand c = ReadJumpCommand(*cmd);
  entry->loadFlag = c.loadFlag;
  if (c.refSysFlag) {
    Fail(107);  // a jump cannot follow a conveyor
    return;
  }
  const JointTheta& at = gPreDealPos.joint;
  const double start[4] = {at.j1, at.j2, at.j3, at.j4};
  if (!CheckPresent(start, c, kPreDealRules)) return;
  for (int i = 0; i < 4; ++i) entry->jumpMove.initialPos[i] = start[i];
  JointLimits limits;
  JointLimits unscaled;
  if (!ComputeLimits(c, &limits, &unscaled)) return;
  ForwardCalBase(&gPreDealPos, &entry->jumpMove.origin, &c.tool);

  double target[4];
  if (!SolveTarget(c, target, &entry->targetPose)) return;
  gPreDealPos.joint = {target[0], target[1], target[2], target[3]};
  entry->jumpZUpper = c.zLimit;
  if (!CheckTargetHeight(target[2], c, kPreDealRules)) return;
  for (int i = 0; i < 4; ++i) entry->targetAngle[i] = target[i];
  if (!CheckJumpHeights(c, kPreDealRules)) return;

  ClearRunState(&entry->jumpMove.lift);
  ClearRunState(&entry->jumpMove.descent);
  ClearRunState(&entry->trajPlan);
  StageRequest r{};
  for (int i = 0; i < 4; ++i) {
    r.start[i] = start[i];
    r.target[i] = target[i];
  }
  r.jointLimits = limits;
  r.zLimits = limits;
  r.stretch = true;
  r.shortJerkCheck = true;
  r.dumpAfterPlan = true;
  PlanStages(entry, c, r);
}
