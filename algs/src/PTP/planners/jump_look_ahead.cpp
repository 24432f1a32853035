// The part of a queued jump's planning that starts from the look-ahead
// position: shared by the pre-deal and the speed-change re-plan.
#include "PTP/planners/jump_internal.h"
#include "common/kernel/kernel_queues.h"
#include "common/kinematics/kinematics.h"

namespace jump_plan {

bool PrepareFromLookAhead(const JumpCommand& c, const HeightRules& rules, PreDealData* entry, LookAheadJump* out) {
  const JointTheta& at = gPreDealPos.joint;
  const double start[4] = {at.j1, at.j2, at.j3, at.j4};
  if (!CheckPresent(start, c, rules)) return false;
  for (int i = 0; i < 4; ++i) {
    out->start[i] = start[i];
    entry->jumpMove.initialPos[i] = start[i];
  }
  if (!ComputeLimits(c, &out->limits, &out->unscaled)) return false;
  ForwardCalBase(&gPreDealPos, &entry->jumpMove.origin, &c.tool);

  double* target = out->target;
  if (!SolveTarget(c, target, &entry->targetPose)) return false;
  gPreDealPos.joint = {target[0], target[1], target[2], target[3]};
  entry->jumpZUpper = c.zLimit;
  if (!CheckTargetHeight(target[2], c, rules)) return false;
  for (int i = 0; i < 4; ++i) entry->targetAngle[i] = target[i];
  return CheckJumpHeights(c, rules);
}

}  // namespace jump_plan
