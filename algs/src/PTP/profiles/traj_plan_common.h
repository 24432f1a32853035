#pragma once

#include <cmath>

#include "PTP/profiles/traj_plan_data.h"

// Helpers shared by the profile families (not part of the dispatch interface).
namespace traj_plan_common {

// A planner refuses inputs that would turn into NaN or unbounded loops inside
// the control cycle: values must be finite, limits finite and positive.
inline bool finiteValue(double x) { return std::isfinite(x); }
inline bool usableLimit(double x) { return std::isfinite(x) && x > 0.0; }

// Every value of the boundary-state record is finite.
inline bool allFinite(const MotionData& md) {
  for (int k = 0; k < 8; ++k) {
    if (!(finiteValue(md.pos[k]) && finiteValue(md.vel[k]) && finiteValue(md.acc[k]) && finiteValue(md.jerk[k]) &&
          finiteValue(md.time[k]))) {
      return false;
    }
  }
  return true;
}

// The halving bound of the planners' bisections.
inline constexpr int kMaxHalvings = 200;

// Whole periods that cover `duration`. A sum that is a whole number of periods
// up to rounding stays that number instead of gaining one.
inline double periodsCovering(double duration, double period) {
  return std::ceil(duration / period - 1e-9);
}

// Root of a position residual on [0, len] by Newton from the midpoint, at
// most 50 steps, stopping below 1e-5. `residual(x, slope)` returns f(x) and
// sets f'(x). A step that leaves the bracket is replaced by the midpoint
// towards its end (also for a NaN step at a flat slope).
template <typename Residual>
double safeguardedNewton(Residual residual, double len) {
  double lower = 0.0;
  double upper = len;
  double x = len / 2.0;
  for (int step = 0; step < 50; ++step) {
    double slope = 0.0;
    const double f = residual(x, slope);
    if (std::fabs(f) < 1e-5) break;
    const double delta = f / slope;
    double next = x - delta;
    if (delta <= 0.0) {
      lower = x;
      if (!(next < upper)) next = (x + upper) / 2.0;
    } else {
      upper = x;
      if (!(next > lower)) next = (x + lower) / 2.0;
    }
    x = next;
  }
  return x;
}

// tAcc, tDec, tTotal and the largest |jerk| from the boundary states.
inline void storeSegmentOutputs(TrajPlanData& plan) {
  const MotionData& md = plan.motion;
  plan.tAcc = md.time[3];
  plan.tDec = md.time[7] - md.time[4];
  plan.tTotal = md.time[7];
  double largest = 0.0;
  for (double j : md.jerk) largest = std::fmax(largest, std::fabs(j));
  plan.jerk = largest;
}

// An empty plan: no motion, zero duration, zero output jerk.
inline void storeEmptyPlan(TrajPlanData& plan) {
  plan.motion = MotionData{};
  plan.tAcc = 0.0;
  plan.tDec = 0.0;
  plan.tTotal = 0.0;
  plan.jerk = 0.0;
}

}  // namespace traj_plan_common
