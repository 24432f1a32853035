// The three stages of a jump: lift of joint 3, the joint move of joints 1, 2
// and 4, descent of joint 3; and the times at which they start.
#include <algorithm>
#include <cmath>

#include "PTP/planners/jump_internal.h"
#include "PTP/planners/jump_torque.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/kernel_state.h"

namespace jump_plan {

namespace {

// Joints that the horizontal move carries.
constexpr int kHorizontal[3] = {0, 1, 3};

// Time from reaching `s` to the end of the profile. The five-segment profile
// takes it as the time to cover the distance less s (the same for its
// symmetric rest-to-rest form); the others as the whole time less the time to s.
double timeAfter(TrajPlanData* p, double s) {
  const double total = p->tTotal;
  const double rest = gAccType == 0 ? TimeCalc(p, p->dist - s) : total - TimeCalc(p, s);
  return std::clamp(rest, 0.0, total);
}

void planJointProfile(PreDealData* e, const JumpCommand& c, const StageRequest& r, JointSteps* steps) {
  TrajPlanData* p = &e->trajPlan;
  double sum = 0.0;
  double d[4] = {0.0, 0.0, 0.0, 0.0};
  for (int i : kHorizontal) {
    d[i] = r.target[i] - r.start[i];
    sum += d[i] * d[i];
  }
  const double s = std::sqrt(sum);
  double v = HUGE_VAL;
  double a = HUGE_VAL;
  double j = HUGE_VAL;
  for (int i = 0; i < 4; ++i) e->jumpMove.u[i] = 0.0;
  for (int i : kHorizontal) {
    const double u = d[i] / s;
    e->jumpMove.u[i] = u;
    if (steps->data[i].noMotion) continue;
    v = std::min(v, std::fabs(r.jointLimits.v[i] / u));
    a = std::min(a, std::fabs(r.jointLimits.a[i] / u));
    j = std::min(j, std::fabs(r.jointLimits.j[i] / u));
  }
  p->dist = s;
  p->vStart = r.jointVStart;
  p->variableSpeed = r.jointInFlight ? 1 : 0;
  p->vEnd = 0.0;
  p->period = gPeriodTime;
  p->vMax = v;
  p->aMax = a;
  p->aMaxDec = a;
  p->jerk = j;
  // A jump never blends: no halving of any limit.
  if (gDynamicOptimal) LimitByTorque(e, steps, p, c, 1);
  TrajPlan(p);
}

// Short accelerations of joints 1 and 2 at a high jerk excite the arm: the
// five-segment profile then gets the minimum jerk time.
void checkShortJerk(PreDealData* e, const JumpCommand& c) {
  TrajPlanData* p = &e->trajPlan;
  const double a1 = p->jerk * e->jumpMove.u[0];
  const double a2 = p->jerk * e->jumpMove.u[1];
  const double t1 = p->t1;
  const bool holds = (std::fabs(t1 * t1 * a1) < 160.0 && std::fabs(a1) > 20000.0) ||
                     (std::fabs(t1 * t1 * a2) < 30.0 && std::fabs(a2) > 3000.0);
  if (!holds || !(t1 < gMinAccT1)) return;
  TrajPlan5S_ValidT(p, gMinAccT1);
  DumpIfLong(e, c, "JUMPDEBUG2");
}

}  // namespace

void PlanVertical(PreDealData* e, TrajPlanData* p, const JumpCommand& c, const JointLimits& z, JointSteps* steps,
                  double dist, std::int32_t dir, int segment) {
  p->dist = dist;
  p->accDir = dir;
  p->noMotion = !(dist >= kTiny);
  p->vEnd = 0.0;
  p->period = gPeriodTime;
  p->vMax = z.v[2];
  p->aMax = z.a[2];
  p->aMaxDec = z.a[2];
  p->jerk = z.j[2];
  if (p->noMotion) {
    EmptyProfile(p);
    p->dist = dist;
    return;
  }
  if (gDynamicOptimal && segment >= 0) LimitByTorque(e, steps, p, c, segment);
  TrajPlan(p);
}

void StoreStageTimes(PreDealData* e, double liftTime, double jointStart, double descentStart, double duration) {
  e->jumpStageTime1 = liftTime;
  e->jumpStageTime2 = jointStart;
  e->jumpStageTime3 = descentStart;
  e->jumpStageTime4 = duration;
}

int JumpPhase(const PreDealData* e, double t) {
  const double liftTime = e->jumpStageTime1;
  const double jointStart = e->jumpStageTime2;
  const double descentStart = e->jumpStageTime3;
  const double jointEnd = jointStart + e->jumpStageTime4;
  if (t >= descentStart + e->jumpMove.descent.tTotal) return 6;
  if (t >= jointEnd) return 5;
  if (t >= descentStart) return 4;
  if (t >= liftTime) return 3;
  if (t >= jointStart) return 2;
  return 1;
}

void EmptyProfile(TrajPlanData* p) {
  p->dist = 0.0;
  p->noMotion = 1;
  p->t1 = 0.0;
  p->tConst = 0.0;
  p->tAcc = 0.0;
  p->tDec = 0.0;
  p->tTotal = 0.0;
  p->t1Dec = 0.0;
  p->motion = MotionData{};
  p->variableSpeed = 0;
  p->vStart = 0.0;
  p->vEnd = 0.0;
  p->period = gPeriodTime;
}

void ClearRunState(TrajPlanData* p) {
  p->vCurrent = 0.0;
  p->sPrev = 0.0;
  p->variableSpeed = 0;
}

void SplitJointMove(const double start[4], const double target[4], const JointLimits& limits, JointSteps* out) {
  out->anyMoves = false;
  for (int i = 0; i < 4; ++i) {
    TrajPlanData& joint = out->data[i];
    joint = TrajPlanData{};
    const double d = target[i] - start[i];
    joint.dist = std::fabs(d);
    joint.accDir = d < 0.0 ? -1 : 1;
    joint.noMotion = !(joint.dist >= kTiny);
    joint.vMax = limits.v[i];
    joint.aMax = limits.a[i];
    joint.aMaxDec = limits.a[i];
    joint.jerk = limits.j[i];
    joint.period = gPeriodTime;
    if (i != 2 && !joint.noMotion) out->anyMoves = true;
  }
}

std::int32_t DescentDirection(const TrajPlanData& descent) { return descent.variableSpeed ? kDown : descent.accDir; }

double LiftTop(const PreDealData* e) {
  const TrajPlanData& lift = e->jumpMove.lift;
  return e->jumpMove.initialPos[2] + (lift.noMotion ? 0.0 : kUp * lift.dist);
}

void PlanStages(PreDealData* e, const JumpCommand& c, const StageRequest& r) {
  JointSteps steps;
  SplitJointMove(r.start, r.target, r.jointLimits, &steps);
  const double z0 = r.start[2];

  TrajPlanData* lift = &e->jumpMove.lift;
  double liftTime = 0.0;
  double rest = 0.0;  // lift time left when the joints start
  if (r.dropLift) {
    EmptyProfile(lift);
  } else {
    const double up = c.zLimit - z0;
    double hs = c.startJumpHeight - r.hsReduction;
    if (c.zLimit <= hs + z0) hs = up;
    hs = std::max(hs, 0.0);
    lift->vStart = r.liftVStart;
    lift->variableSpeed = r.liftInFlight ? 1 : 0;
    PlanVertical(e, lift, c, r.zLimits, &steps, up, kUp, 0);
    if (!lift->noMotion) {
      liftTime = lift->tTotal;
      // A whole lift leaves nothing to overlap, whatever the inversion's precision.
      rest = hs >= up ? 0.0 : timeAfter(lift, hs);
    }
  }

  // The descent starts where the lift ends, or where joint 3 stands when
  // there is no lift: it never goes below the target.
  const double top = lift->noMotion ? z0 : c.zLimit;
  const double down = top - r.target[2];
  double he = c.endJumpHeight;
  if (top <= he + r.target[2]) he = down;
  TrajPlanData* descent = &e->jumpMove.descent;
  descent->vStart = 0.0;
  descent->variableSpeed = 0;
  PlanVertical(e, descent, c, r.zLimits, &steps, down, kDown, 2);
  double toEnd = 0.0;  // descent time until endJumpHeight above the target
  if (!descent->noMotion && he < down) toEnd = std::clamp(TimeCalc(descent, down - he), 0.0, descent->tTotal);

  double duration = 0.0;
  double jointStart = liftTime;
  double descentStart = liftTime;
  e->trajPlan.noMotion = 0;
  if (!steps.anyMoves) {
    // Joint 3 only: the descent follows the lift at once.
    for (int i = 0; i < 4; ++i) e->jumpMove.u[i] = 0.0;
    e->trajPlan.vCurrent = 0.0;
  } else {
    planJointProfile(e, c, r, &steps);
    if (r.dumpAfterPlan) DumpIfLong(e, c, "JUMPDEBUG1");
    if (r.shortJerkCheck && gAccType == 0) checkShortJerk(e, c);
    const double planned = e->trajPlan.tTotal;
    if (r.stretch) {
      duration = std::max(planned, rest + toEnd);
      TrajPlanTime(&e->trajPlan, duration);
      DumpIfLong(e, c, "JUMPDEBUG3");
    } else {
      duration = planned;
      toEnd = std::min(toEnd, planned);
    }
    jointStart = liftTime - rest;
    descentStart = jointStart + duration - toEnd;
  }
  StoreStageTimes(e, liftTime, jointStart, descentStart, duration);
}

}  // namespace jump_plan
