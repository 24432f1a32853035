#pragma once

#include "PTP/profiles/traj_plan_data.h"

// Internals of the seven-segment planner shared by its translation units.
// A plan is made in a frame that runs from the lower boundary velocity to
// the higher one (a move that slows down is planned backwards and stored
// reversed): side 1 from vLow to the cruise, the cruise, side 2 from the
// cruise to vHigh.
namespace traj7s {

// The planner's result when no plan of whole periods keeps the limits.
inline constexpr int kOutsideLimits = -2;

struct Frame {
  double dist;
  double vMax;
  double vLow;   // boundary velocity the frame starts from
  double vHigh;  // boundary velocity the frame ends at
  double aLow;   // acceleration limit of the side at vLow
  double aHigh;  // acceleration limit of the side at vHigh
  double jerk;
  double period;
  double vStart;  // the true start velocity
  bool reversed;  // the frame runs backwards in time
};

Frame frameOf(const TrajPlanData& plan);

// Durations and jerks of segments 1..7 (index 0 unused), in frame order.
struct Segments {
  double d[8]{};
  double j[8]{};
};

// Boundary states from the true start; false when anything came out non-finite.
bool build(const Frame& f, const Segments& frameSegs, MotionData& md);

// The plan ends at the distance and end velocity, lasts whole periods, and
// keeps |jerk| <= jerk, |acceleration| <= aMax over segments 1 to 3 and
// aMaxDec over 5 to 7, 0 <= velocity, velocity <= vMax over the cruise and
// <= max(vMax, the side's boundary velocity) over a side, at every instant
// (relative tolerance 1e-9).
bool keepsLimits(const TrajPlanData& plan, const MotionData& md);

// How fitWithinLimits looks: its quick paths first (refusals proven by a
// bound, plans of the time-optimal number of periods near the peak), then
// the whole search; or the whole search alone, which the quick paths must
// agree with.
enum class Search { kQuickFirst, kWholeOnly };

// A plan of the shortest whole number of periods that keeps the limits,
// found over the cruise velocity; false when there is none. vHint is a
// cruise velocity worth trying (the time-optimal peak), or 0.
bool fitWithinLimits(const TrajPlanData& plan, const Frame& f, double vHint, MotionData& out,
                     Search search = Search::kQuickFirst);

// TrajPlan7S with the given search.
int plan7S(TrajPlanData& plan, Search search);

}  // namespace traj7s
