// Five-segment profile from rest to rest, planned from a jerk limit, from a
// given jerk time, or re-timed to a given duration.
#include <cmath>

#include "PTP/profiles/traj_plan_5s.h"
#include "PTP/profiles/traj_plan_common.h"

namespace {

using traj_plan_common::finiteValue;
using traj_plan_common::usableLimit;

void storeTimes(TrajPlanData& plan, double t1, double tConst) {
  plan.t1 = t1;
  plan.tConst = tConst;
  plan.tAcc = 2.0 * t1;
  plan.tTotal = 4.0 * t1 + tConst;
}

// Safeguarded root of f on [0, hi] where f(0) < 0 <= f(hi): Newton from 0 while
// it makes progress (at most 50 steps), then halving on the segment.
template <typename F, typename DF>
double newtonOnSegment(F f, DF df, double hi) {
  double x = 0.0;
  for (int n = 0; n < 50; ++n) {
    const double fx = f(x);
    if (std::fabs(fx) <= 0.001) return x;
    const double next = x - fx / df(x);
    if (!(next >= 0.0 && next <= hi)) break;
    x = next;
  }
  double lo = 0.0;
  double up = hi;
  double mid = (lo + up) / 2.0;
  for (int n = 0; n < traj_plan_common::kMaxHalvings; ++n) {
    mid = (lo + up) / 2.0;
    const double fm = f(mid);
    if (std::fabs(fm) <= 0.001 || !(mid > lo && mid < up)) break;
    if (fm < 0.0) {
      lo = mid;
    } else {
      up = mid;
    }
  }
  return mid;
}

}  // namespace

void TrajPlan5S(TrajPlanData* plan) {
  const double dist = plan->dist;
  const double vMax = plan->vMax;
  const double jerk = plan->jerk;
  if (!(finiteValue(dist) && usableLimit(vMax) && usableLimit(jerk))) return;
  double t1 = std::sqrt(vMax / jerk);
  const double rest = dist - 2.0 * jerk * t1 * t1 * t1;
  double tConst = 0.0;
  if (rest >= 0.0) {
    tConst = rest / vMax;
  } else {
    t1 = std::cbrt(dist / (2.0 * jerk));  // the velocity limit is not attained
  }
  storeTimes(*plan, t1, tConst);
}

void TrajPlan5S_ValidT(TrajPlanData* plan, double t1) {
  const double dist = plan->dist;
  const double vMax = plan->vMax;
  if (!(finiteValue(dist) && usableLimit(vMax) && usableLimit(t1))) return;
  const double rest = dist - 2.0 * vMax * t1;
  double tConst = 0.0;
  if (rest >= 0.0) {
    tConst = rest / vMax;
    plan->jerk = vMax / (t1 * t1);
  } else {
    plan->jerk = dist / (2.0 * t1 * t1 * t1);
  }
  storeTimes(*plan, t1, tConst);
}

void TrajPlanTime5S(TrajPlanData* plan, double T) {
  if (!(finiteValue(plan->dist) && usableLimit(plan->jerk) && finiteValue(T))) return;
  // tAcc and tTotal stay: the callers keep the duration elsewhere.
  plan->t1 = GetTime1(T, plan->dist, plan->jerk);
  plan->tConst = T - 4.0 * plan->t1;
}

double FuncTime1(double x, double T, double D, double J) { return J * (T * x * x - 2.0 * x * x * x) - D; }

double GetTime1(double T, double D, double J) {
  // Nothing fits an unusable duration, distance or jerk.
  if (!(finiteValue(T) && finiteValue(D) && finiteValue(J))) return 0.0;
  double lo = 0.0;
  double hi = 0.26 * T;  // just above the largest admissible jerk time T / 4
  if (std::fabs(FuncTime1(hi, T, D, J)) < 0.001) return hi;
  if (FuncTime1(lo, T, D, J) * FuncTime1(hi, T, D, J) > 0.0) return 0.0;
  double mid = (lo + hi) / 2.0;
  for (int n = 0; n < traj_plan_common::kMaxHalvings; ++n) {
    mid = (lo + hi) / 2.0;
    const double fm = FuncTime1(mid, T, D, J);
    if (std::fabs(fm) <= 0.001 || !(mid > lo && mid < hi)) break;
    const double fl = FuncTime1(lo, T, D, J);
    if ((fm < 0.0 && fl < 0.0) || (fm > 0.0 && fl > 0.0)) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return mid;
}

double JointCalc5S(TrajPlanData* plan, double t) {
  const double J = plan->jerk;
  const double t1 = plan->t1;
  const double tc = plan->tConst;
  const double vp = J * t1 * t1;
  if (t >= 0.0 && t < t1) return J * t * t * t / 6.0;
  if (t >= t1 && t < 2.0 * t1) {
    const double u = t - 2.0 * t1;
    return vp * (t - t1) - J * u * u * u / 6.0;
  }
  if (t >= 2.0 * t1 && t < 2.0 * t1 + tc) return vp * (t - t1);
  if (t >= 2.0 * t1 + tc && t < 3.0 * t1 + tc) {
    const double u = t - 2.0 * t1 - tc;
    return vp * (t - t1) - J * u * u * u / 6.0;
  }
  // The last cubic is not clamped: callers stop evaluating at tTotal.
  const double u = t - (4.0 * t1 + tc);
  return vp * (2.0 * t1 + tc) + J * u * u * u / 6.0;
}

double TimeCalc5S(TrajPlanData* plan, double s) {
  const double J = plan->jerk;
  const double t1 = plan->t1;
  const double tc = plan->tConst;
  const double vp = J * t1 * t1;
  const double S1 = J * t1 * t1 * t1;
  const double S2 = S1 + vp * tc;
  const double Stot = S1 + S2;
  const double T = 4.0 * t1 + tc;
  if (s > Stot) return T;
  if (s > Stot - S1 / 6.0) return T - std::cbrt(6.0 * (Stot - s) / J);
  if (s > S2) {
    const double target = s - S2;
    const double tau = newtonOnSegment([=](double x) { return vp * x - J * x * x * x / 6.0 - target; },
                                       [=](double x) { return vp - J * x * x / 2.0; }, t1);
    return 2.0 * t1 + tc + tau;
  }
  if (s > S1) return 2.0 * t1 + (s - S1) / vp;
  // A distance at or before the start (or NaN) is reached at once.
  if (!(s > 0.0)) return 0.0;
  if (s <= S1 / 6.0) return std::cbrt(6.0 * s / J);
  const double d = newtonOnSegment(
      [=](double x) {
        const double r = t1 - x;
        return S1 - vp * r + J * r * r * r / 6.0 - s;
      },
      [=](double x) {
        const double r = t1 - x;
        return vp - J * r * r / 2.0;
      },
      t1);
  return t1 + d;
}
