// The profile dispatch by gAccType (0 five-segment, 1 seven-segment, 2 cosine).
// A record planned in flight (variableSpeed) is planned, evaluated and
// inverted with the variable-speed five-segment functions under type 0 and
// with the seven-segment ones under type 2; JointCalcNext and TrajPlanTime
// never look at the flag.
#include "PTP/profiles/traj_plan.h"

#include "PTP/profiles/traj_plan_common.h"
#include "PTP/profiles/traj_plan_cos.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"

namespace {

// A seven-segment plan that could not be made within the limits must not
// leave the record's old plan behind: a re-plan from the running speed would
// replay the old distance from the present position. Such moves become the
// pure velocity transition, exceeding the limits as physics demands; without
// a usable transition, no motion. Either way the result is -1.
int planSevenSegment(TrajPlanData* plan) {
  if (TrajPlan7S(plan) == 0) return 0;
  if (TrajPlan7SForcedTransition(plan) == 0) {
    KernelLog("TrajPlan fallback: velocity transition %1.3lf -> %1.3lf over %1.3lf in %1.3lf s\r\n", plan->vStart,
              plan->vEnd, plan->dist, plan->tTotal);
  } else {
    traj_plan_common::storeEmptyPlan(*plan);
    KernelLog("TrajPlan fallback: no motion over %1.3lf from %1.3lf to %1.3lf\r\n", plan->dist, plan->vStart,
              plan->vEnd);
  }
  return -1;
}

}  // namespace

int TrajPlan(TrajPlanData* plan) {
  KernelLog("TrajPlan planData :%1.3lf %1.3lf %1.3lf %1.3lf %1.3lf %1.3lf %1.3lf %1.3lf\r\n", plan->dist,
            plan->vStart, plan->vEnd, plan->period, plan->vMax, plan->aMax, plan->aMaxDec, plan->jerk);
  switch (gAccType) {
    case 0:
      if (plan->variableSpeed) {
        TrajPlan5Svs(plan);
      } else {
        TrajPlan5S(plan);
      }
      return 0;
    case 1:
      return planSevenSegment(plan);
    case 2:
      return plan->variableSpeed ? planSevenSegment(plan) : TrajPlanCos(plan);
    default:
      return -1;  // nothing planned
  }
}

void TrajPlanTime(TrajPlanData* plan, double T) {
  switch (gAccType) {
    case 0:
      TrajPlanTime5S(plan, T);
      break;
    case 1:
      TrajPlanTime7S(plan, T);
      break;
    case 2:
      TrajPlanTimeCos(plan, T);
      break;
    default:
      break;
  }
}

double JointCalc(TrajPlanData* plan, double t) {
  switch (gAccType) {
    case 0:
      return plan->variableSpeed ? JointCalc5Svs(plan, t) : JointCalc5S(plan, t);
    case 1:
      return JointCalc7S(plan, t);
    case 2:
      return plan->variableSpeed ? JointCalc7S(plan, t) : JointCalcCos(plan, t);
    default:
      return t;
  }
}

double JointCalcNext(TrajPlanData* plan, double t) {
  switch (gAccType) {
    case 0:
      return JointCalc5S(plan, t);
    case 1:
      return JointCalc7S(plan, t);
    case 2:
      return JointCalcCos(plan, t);
    default:
      return t;
  }
}

double TimeCalc(TrajPlanData* plan, double s) {
  switch (gAccType) {
    case 0:
      return plan->variableSpeed ? TimeCalc5Svs(plan, s) : TimeCalc5S(plan, s);
    case 1:
      return TimeCalc7S(plan, s);
    case 2:
      // A type-2 record planned in flight is a seven-segment plan (TrajPlan
      // made it with TrajPlan7S); it is inverted as it was made, not with the
      // cosine formulas that would misread its segments.
      return plan->variableSpeed ? TimeCalc7S(plan, s) : TimeCalcCos(plan, s);
    default:
      return s;
  }
}
