// The seven-segment planner's quick paths (refusals proven by a bound, plans
// of the time-optimal number of periods found near the peak) against the
// whole search alone, on seeded families of the moves they serve: the same
// result code and, for a plan, the same number of periods.
#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "PTP/profiles/traj_plan_7s_frame.h"
#include "plan_inputs.h"

namespace {

constexpr double kPeriod = 0.004;

std::string describe(const TrajPlanData& in) {
  std::ostringstream s;
  s.precision(17);
  s << "dist " << in.dist << " vMax " << in.vMax << " aMax " << in.aMax << " aMaxDec " << in.aMaxDec << " jerk "
    << in.jerk << " vStart " << in.vStart << " vEnd " << in.vEnd;
  return s.str();
}

// Shortest duration of a jerk-limited speed change by dv under acceleration a.
double changeTime(double dv, double a, double jerk) {
  if (dv <= 0.0) return 0.0;
  return dv < a * a / jerk ? 2 * std::sqrt(dv / jerk) : dv / a + a / jerk;
}

// Distance of the plain speed change between the boundary speeds, made by
// the side that starts at the lower one.
double plainChange(const TrajPlanData& in) {
  const double vLow = std::min(in.vStart, in.vEnd);
  const double vHigh = std::max(in.vStart, in.vEnd);
  const double a = in.vStart > in.vEnd ? in.aMaxDec : in.aMax;
  return changeTime(vHigh - vLow, a, in.jerk) * (vLow + vHigh) / 2;
}

enum class Family {
  kMixed,          // the profile benchmark's spread, every branch
  kBothAtTop,      // both boundary speeds at the top speed: a dip or nothing
  kNearTheChange,  // running speeds, 1.0-1.25x the plain change
  kToOrFromRest,   // one boundary at rest, a little beyond the plain change
  kShortOfIt,      // running speeds or rest, 0.3-1.0x the plain change
};

TrajPlanData draw(std::mt19937_64& rng, Family family) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  TrajPlanData in = planInputs(std::pow(10.0, -2 + 5 * u(rng)), 1 + 999 * u(rng), 10 + 4990 * u(rng),
                               10 + 4990 * u(rng), 100 + 49900 * u(rng), 0, 0);
  switch (family) {
    case Family::kMixed: {
      const double r1 = u(rng);
      in.vStart = r1 < 0.3 ? 0 : r1 < 0.45 ? in.vMax : r1 < 0.6 ? 2 * u(rng) * in.vMax : u(rng) * in.vMax;
      const double r2 = u(rng);
      in.vEnd = r2 < 0.4 ? 0 : r2 < 0.55 ? in.vMax : u(rng) * in.vMax;
      break;
    }
    case Family::kBothAtTop:
      in.vStart = in.vEnd = in.vMax;
      in.dist = std::pow(10.0, -2 + 4 * u(rng));
      break;
    case Family::kNearTheChange:
      in.vStart = u(rng) * in.vMax;
      in.vEnd = u(rng) * in.vMax;
      in.dist = std::max(1e-3, plainChange(in) * (1.0 + 0.25 * u(rng)));
      break;
    case Family::kToOrFromRest:
      (u(rng) < 0.5 ? in.vStart : in.vEnd) = u(rng) * in.vMax;
      in.dist = std::max(1e-3, plainChange(in) * (1.0 + 0.1 * u(rng)));
      break;
    case Family::kShortOfIt:
      in.vStart = u(rng) < 0.25 ? 0.0 : u(rng) * in.vMax;
      in.vEnd = u(rng) < 0.25 ? 0.0 : u(rng) * in.vMax;
      in.dist = std::max(1e-3, plainChange(in) * (0.3 + 0.7 * u(rng)));
      break;
  }
  in.vCurrent = in.vStart;
  return in;
}

std::string familyName(const ::testing::TestParamInfo<Family>& info) {
  constexpr const char* kNames[] = {"mixed", "bothAtTop", "nearTheChange", "toOrFromRest", "shortOfIt"};
  return kNames[static_cast<int>(info.param)];
}

class QuickPaths : public ::testing::TestWithParam<Family> {};

TEST_P(QuickPaths, AgreeWithTheWholeSearch) {
  std::mt19937_64 rng(0x9c1c + static_cast<int>(GetParam()));
  for (int i = 0; i < 4000; ++i) {
    const TrajPlanData in = draw(rng, GetParam());
    TrajPlanData quick = in;
    TrajPlanData whole = in;
    const int rcQuick = traj7s::plan7S(quick, traj7s::Search::kQuickFirst);
    const int rcWhole = traj7s::plan7S(whole, traj7s::Search::kWholeOnly);
    ASSERT_EQ(rcQuick, rcWhole) << describe(in);
    if (rcQuick != 0) continue;
    ASSERT_EQ(std::round(quick.tTotal / kPeriod), std::round(whole.tTotal / kPeriod)) << describe(in);
    ASSERT_NEAR(quick.motion.pos[7], in.dist, 1e-9 * std::max(1.0, in.dist)) << describe(in);
  }
}

INSTANTIATE_TEST_SUITE_P(TrajPlan7S, QuickPaths,
                         ::testing::Values(Family::kMixed, Family::kBothAtTop, Family::kNearTheChange,
                                           Family::kToOrFromRest, Family::kShortOfIt),
                         familyName);

}  // namespace
