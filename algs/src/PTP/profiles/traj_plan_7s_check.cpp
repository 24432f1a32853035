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
  const double vLimit[8] = {0.0,
                            std::max(plan.vMax, plan.vStart),
                            std::max(plan.vMax, plan.vStart),
                            std::max(plan.vMax, plan.vStart),
                            plan.vMax,
                            std::max(plan.vMax, plan.vEnd),
                            std::max(plan.vMax, plan.vEnd),
                            std::max(plan.vMax, plan.vEnd)};
  const double vFloor = -kTolerance * std::max(plan.vMax, 1.0);

  if (std::fabs(md.pos[7] - plan.dist) > kTolerance * scaleOf(plan.dist)) return false;
  if (std::fabs(md.vel[7] - plan.vEnd) > kTolerance * scaleOf(plan.vEnd)) return false;
  const double periods = md.time[7] / plan.period;
  if (std::fabs(periods - std::round(periods)) > 1e-6) return false;

  for (int k = 0; k < 8; ++k) {
    const double aLimit = (k <= 3 ? plan.aMax : plan.aMaxDec) * slack;
    if (std::fabs(md.acc[k]) > aLimit) return false;
  }
  for (int k = 1; k <= 7; ++k) {
    const double d = md.time[k] - md.time[k - 1];
    if (d < 0.0) return false;
    const double j = md.jerk[k];
    if (std::fabs(j) > plan.jerk * slack) return false;
    const double top = vLimit[k] * slack;
    if (md.vel[k - 1] > top || md.vel[k] > top || md.vel[k - 1] < vFloor || md.vel[k] < vFloor) return false;
    // Acceleration crossing zero inside the segment: a velocity extremum.
    const double a0 = md.acc[k - 1];
    if (j != 0.0 && a0 * md.acc[k] < 0.0) {
      const double vExtreme = md.vel[k - 1] - a0 * a0 / (2.0 * j);
      if (vExtreme > top || vExtreme < vFloor) return false;
    }
  }
  return true;
}

}  // namespace traj7s
