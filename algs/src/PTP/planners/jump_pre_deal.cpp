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
  LookAheadJump p;
  if (!PrepareFromLookAhead(c, kPreDealRules, entry, &p)) return;
  const double* start = p.start;
  const double* target = p.target;
  const JointLimits& limits = p.limits;

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
