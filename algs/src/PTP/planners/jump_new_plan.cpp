// Re-planning the running jump after a speed change, by the phase it is in.
// The caller has put the set point into gPreDealPos and restarts the clock
// at 0 afterwards, so every stage time is counted from now.
#include "PTP/planners/jump_internal.h"
#include "PTP/planners/jump_planner.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kinematics/kinematics.h"

using namespace jump_plan;

namespace {

// Everything is done: the run phase holds the target and settles.
void planNothingLeft(PreDealData* e) {
  EmptyProfile(&e->jumpMove.lift);
  EmptyProfile(&e->jumpMove.descent);
  e->trajPlan.noMotion = 0;
  StoreStageTimes(e, 0.0, 0.0, 0.0, 0.0);
}

// Joints 1, 2 and 4 have arrived: joint 3 goes on down from where it stands,
// at its present speed. The joints' old timing is dropped with the clock, so
// that they stay at their targets.
void planRestOfDescent(PreDealData* e, const JumpCommand& c, const JointLimits& limits, const double start[4],
                       const double target[4]) {
  JointSteps steps;
  SplitJointMove(start, target, limits, &steps);
  EmptyProfile(&e->jumpMove.lift);
  TrajPlanData* descent = &e->jumpMove.descent;
  descent->vStart = descent->vCurrent;
  descent->variableSpeed = 1;
  PlanVertical(e, descent, c, limits, &steps, start[2] - target[2], kDown, 2);
  e->trajPlan.noMotion = 0;
  StoreStageTimes(e, 0.0, 0.0, 0.0, 0.0);
}

}  // namespace

void JUMPNewPlan(const PackedBaseCmd* cmd, PreDealData* entry) {
  const JumpCommand c = ReadJumpCommand(*cmd);
  entry->loadFlag = c.loadFlag;
  if (c.refSysFlag) {
    Fail(107);
    return;
  }
  const int phase = JumpPhase(entry, gPeriodCount * gPeriodTime);

  LookAheadJump p;
  if (!PrepareFromLookAhead(c, kNewPlanRules, entry, &p)) return;
  const double* start = p.start;
  const double* target = p.target;
  const JointLimits& limits = p.limits;

  if (phase == 6) {
    planNothingLeft(entry);
    return;
  }
  if (phase == 5) {
    planRestOfDescent(entry, c, limits, start, target);
    return;
  }
  const TrajPlanData& lift = entry->jumpMove.lift;
  StageRequest r{};
  for (int i = 0; i < 4; ++i) {
    r.start[i] = start[i];
    r.target[i] = target[i];
  }
  r.jointLimits = limits;
  r.zLimits = limits;
  r.dropLift = phase != 1;
  r.liftVStart = phase == 1 ? lift.vCurrent : 0.0;
  r.liftInFlight = phase == 1;
  r.hsReduction = phase == 1 ? lift.sPrev : 0.0;
  r.jointVStart = phase == 3 ? entry->trajPlan.vCurrent : 0.0;
  r.jointInFlight = phase == 3;
  r.stretch = phase == 1;
  r.shortJerkCheck = phase != 3;
  PlanStages(entry, c, r);
}
