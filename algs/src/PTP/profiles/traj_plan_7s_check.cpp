// The seven-segment planner's acceptance check: a plan leaves the planner
// with 0 only when it keeps every limit it was given, at every instant.
// Jerk is constant per segment, so acceleration is linear and peaks at the
// boundaries, and velocity peaks at the boundaries or where the
// acceleration crosses zero inside a segment.
#include <algorithm>
#include <cmath>

#include "PTP/profiles/traj_plan_7s_frame.h"

namespace traj7s {

namespace {

constexpr double kTolerance = 1e-9;

double scaleOf(double x) { return std::max(1.0, std::fabs(x)); }

}  // namespace

bool keepsLimits(const TrajPlanData& plan, const MotionData& md) {
  const double slack = 1.0 + kTolerance;
  if (!(std::fabs(md.pos[7] - plan.dist) <= kTolerance * scaleOf(plan.dist))) return false;
  if (!(std::fabs(md.vel[7] - plan.vEnd) <= kTolerance * scaleOf(plan.vEnd))) return false;
  const double periods = md.time[7] / plan.period;
  if (!(std::fabs(periods - std::round(periods)) <= 1e-6)) return false;

  const double jerkTop = plan.jerk * slack;
  const double vFloor = -kTolerance * std::max(plan.vMax, 1.0);
  const double cruiseTop = plan.vMax * slack;
  const double firstTop = std::max(plan.vMax, plan.vStart) * slack;
  const double lastTop = std::max(plan.vMax, plan.vEnd) * slack;
  const double firstAcc = plan.aMax * slack;
  const double lastAcc = plan.aMaxDec * slack;
  // Boundary k lies in segments k and k + 1: the tighter velocity limit.
  const double boundaryTop[8] = {firstTop, firstTop, firstTop, cruiseTop, cruiseTop, lastTop, lastTop, lastTop};
  for (int k = 0; k < 8; ++k) {
    const double v = md.vel[k];
    if (!(v <= boundaryTop[k] && v >= vFloor)) return false;
    if (!(std::fabs(md.acc[k]) <= (k <= 3 ? firstAcc : lastAcc))) return false;
  }
  for (int k = 1; k <= 7; ++k) {
    if (!(md.time[k] >= md.time[k - 1])) return false;
    const double j = md.jerk[k];
    if (!(std::fabs(j) <= jerkTop)) return false;
    // Acceleration crossing zero inside the segment: a velocity extremum.
    const double a0 = md.acc[k - 1];
    if (j != 0.0 && a0 * md.acc[k] < 0.0) {
      const double top = k <= 3 ? firstTop : k == 4 ? cruiseTop : lastTop;
      const double vExtreme = md.vel[k - 1] - a0 * a0 / (2.0 * j);
      if (!(vExtreme <= top && vExtreme >= vFloor)) return false;
    }
  }
  return true;
}

}  // namespace traj7s
