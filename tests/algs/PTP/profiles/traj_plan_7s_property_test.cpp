// Seven-segment plans over a large seeded set of moves, rest to rest and
// from or to running speeds: every plan that returns 0 keeps its limits at
// every instant, and takes the shortest whole number of periods that an
// exhaustive search over the cruise speed finds.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "PTP/profiles/traj_plan_7s.h"
#include "plan_inputs.h"

namespace {

constexpr double kPeriod = 0.004;
constexpr double kTol = 1e-9;

// Distance 1-500, top speed 50-800, acceleration 200-5000, jerk 2e3-1e5;
// odd draws start or end (or both) at a running speed below the top speed.
TrajPlanData drawMove(std::mt19937_64& rng, bool running) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  TrajPlanData in = planInputs(1 + 499 * u(rng), 50 + 750 * u(rng), 200 + 4800 * u(rng), 200 + 4800 * u(rng),
                               2e3 + 98e3 * u(rng), 0, 0);
  if (running) {
    const double r = u(rng);
    if (r < 1.0 / 3) {
      in.vStart = u(rng) * in.vMax;
    } else if (r < 2.0 / 3) {
      in.vEnd = u(rng) * in.vMax;
    } else {
      in.vStart = u(rng) * in.vMax;
      in.vEnd = u(rng) * in.vMax;
    }
  }
  return in;
}

std::string describe(const TrajPlanData& in) {
  std::ostringstream s;
  s.precision(17);
  s << "dist " << in.dist << " vMax " << in.vMax << " aMax " << in.aMax << " aMaxDec " << in.aMaxDec << " jerk "
    << in.jerk << " vStart " << in.vStart << " vEnd " << in.vEnd;
  return s.str();
}

// Checks a plan segment by segment in closed form: each segment, integrated
// from the state before it, lands on the stored state; jerk is constant, so
// acceleration peaks at the ends and velocity at the ends or where the
// acceleration crosses zero. Returns what is wrong, or "" when nothing is.
std::string limitBreach(const TrajPlanData& in, const MotionData& m) {
  auto near = [](double a, double b, double scale) { return std::fabs(a - b) <= kTol * std::max(1.0, scale); };
  if (m.pos[0] != 0.0 || m.vel[0] != in.vStart || m.acc[0] != 0.0 || m.time[0] != 0.0) return "start state";
  if (!near(m.pos[7], in.dist, in.dist)) return "ends at " + std::to_string(m.pos[7]);
  if (!near(m.vel[7], in.vEnd, in.vEnd)) return "end velocity " + std::to_string(m.vel[7]);
  if (std::fabs(m.acc[7]) > 1e-6 * std::max(in.aMax, in.aMaxDec)) return "end acceleration";
  const double periods = m.time[7] / kPeriod;
  if (std::fabs(periods - std::round(periods)) > 1e-6) return "not whole periods";
  for (int k = 1; k <= 7; ++k) {
    const double d = m.time[k] - m.time[k - 1];
    const double j = m.jerk[k];
    const double a0 = m.acc[k - 1];
    const double v0 = m.vel[k - 1];
    if (d < 0.0) return "segment " + std::to_string(k) + " runs backwards";
    const double a1 = a0 + j * d;
    const double v1 = v0 + a0 * d + j * d * d / 2;
    const double p1 = m.pos[k - 1] + v0 * d + a0 * d * d / 2 + j * d * d * d / 6;
    if (!near(a1, m.acc[k], std::max(in.aMax, in.aMaxDec)) || !near(v1, m.vel[k], in.vMax) ||
        !near(p1, m.pos[k], in.dist)) {
      return "segment " + std::to_string(k) + " does not join";
    }
    const double aLimit = k <= 3 ? in.aMax : k >= 5 ? in.aMaxDec : std::min(in.aMax, in.aMaxDec);
    const double vLimit = k <= 3 ? std::max(in.vMax, in.vStart) : k >= 5 ? std::max(in.vMax, in.vEnd) : in.vMax;
    if (std::fabs(j) > in.jerk * (1 + kTol)) return "jerk " + std::to_string(j) + " in segment " + std::to_string(k);
    if (std::max(std::fabs(a0), std::fabs(a1)) > aLimit * (1 + kTol)) {
      return "acceleration in segment " + std::to_string(k);
    }
    double vLow = std::min(v0, v1);
    double vHigh = std::max(v0, v1);
    if (j != 0.0 && a0 * a1 < 0.0) {
      const double extreme = v0 - a0 * a0 / (2 * j);
      vLow = std::min(vLow, extreme);
      vHigh = std::max(vHigh, extreme);
    }
    if (vHigh > vLimit * (1 + kTol)) return "velocity " + std::to_string(vHigh) + " in segment " + std::to_string(k);
    if (vLow < -kTol * in.vMax) return "velocity " + std::to_string(vLow) + " in segment " + std::to_string(k);
  }
  return "";
}

TEST(TrajPlan7SProperty, EveryPlanThatReturnsZeroKeepsItsLimits) {
  std::mt19937_64 rng(0x5eed7);
  int refused[2] = {0, 0};
  constexpr int kMoves = 100000;
  for (int i = 0; i < kMoves; ++i) {
    const bool running = i % 2 == 1;
    const TrajPlanData in = drawMove(rng, running);
    TrajPlanData plan = in;
    const int rc = TrajPlan7S(&plan);
    if (rc != 0) {
      ++refused[running];
      ASSERT_EQ(std::memcmp(&plan, &in, sizeof plan), 0) << "a refusal changed the record: " << describe(in);
      continue;
    }
    const std::string breach = limitBreach(in, plan.motion);
    ASSERT_EQ(breach, "") << describe(in);
  }
  // Every rest-to-rest move is plannable; running speeds make some moves
  // too short for their speed change.
  EXPECT_EQ(refused[0], 0);
  EXPECT_LT(refused[1], kMoves / 2 / 10);
}

// Shortest duration of a jerk-limited speed change by dv under acceleration a.
double changeTime(double dv, double a, double jerk) {
  if (dv <= 0.0) return 0.0;
  return dv < a * a / jerk ? 2 * std::sqrt(dv / jerk) : dv / a + a / jerk;
}

// Exhaustive search: for every cruise speed on a fine grid, the durations
// that meet the distance with both speed changes no shorter than their
// shortest (a change is symmetric, so added time adds the mean of its two
// speeds per second; a change towards a speed above vMax is not lengthened,
// nor a part at speed 0),
// and the shortest whole number of periods among them; 0 when none.
double fewestPeriods(const TrajPlanData& in) {
  const double vLow = std::min(in.vStart, in.vEnd);
  const double vHigh = std::max(in.vStart, in.vEnd);
  const double aLow = in.vStart > in.vEnd ? in.aMaxDec : in.aMax;
  const double aHigh = in.vStart > in.vEnd ? in.aMax : in.aMaxDec;
  double best = 0.0;
  constexpr int kGrid = 20000;
  for (int i = 0; i <= kGrid; ++i) {
    const double vc = in.vMax * i / kGrid;
    const double m1 = changeTime(std::fabs(vc - vLow), aLow, in.jerk);
    const double m2 = changeTime(std::fabs(vHigh - vc), aHigh, in.jerk);
    const double r1 = (vLow + vc) / 2;
    const double r2 = (vc + vHigh) / 2;
    const double rest = in.dist - m1 * r1 - m2 * r2;
    double fastest = vc;
    double slowest = vc > 0.0 ? vc : INFINITY;
    if (vHigh <= in.vMax && r2 > 0.0) fastest = std::max(fastest, r2);
    if (vLow <= in.vMax && r1 > 0.0) slowest = std::min(slowest, r1);
    if (rest < 0.0 || fastest <= 0.0) continue;
    if (slowest == INFINITY) slowest = fastest;
    const double tLo = m1 + m2 + rest / fastest;
    const double tHi = m1 + m2 + rest / slowest;
    const double n = std::ceil(tLo / kPeriod - 1e-9);
    if (n * kPeriod <= tHi && (best == 0.0 || n < best)) best = n;
  }
  return best;
}

// Plans against the exhaustive search: refused exactly when the search
// finds nothing, otherwise no longer than the search's shortest.
void expectFewestPeriods(const TrajPlanData& in) {
  TrajPlanData plan = in;
  const int rc = TrajPlan7S(&plan);
  const double fewest = fewestPeriods(in);
  if (fewest == 0.0) {
    EXPECT_NE(rc, 0) << describe(in);
    return;
  }
  ASSERT_EQ(rc, 0) << "the search finds " << fewest << " periods: " << describe(in);
  // The planner may find a sliver of cruise speeds the grid steps over.
  EXPECT_LE(std::round(plan.tTotal / kPeriod), fewest) << describe(in);
}

TEST(TrajPlan7SProperty, TakesTheFewestWholePeriodsThatKeepTheLimits) {
  std::mt19937_64 rng(0xfe11);
  for (int i = 0; i < 300; ++i) expectFewestPeriods(drawMove(rng, i % 4 != 0));
}

// Moves about as long as the shortest speed change between their boundary
// speeds, or shorter: where a plan dips below both, runs between them, or
// none exists, and the planner refuses without searching.
TEST(TrajPlan7SProperty, ShortMovesBetweenRunningSpeedsMatchTheExhaustiveSearch) {
  std::mt19937_64 rng(0x5407);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < 300; ++i) {
    TrajPlanData in = drawMove(rng, true);
    const double vLow = std::min(in.vStart, in.vEnd);
    const double vHigh = std::max(in.vStart, in.vEnd);
    const double a = std::max(in.aMax, in.aMaxDec);
    const double change = changeTime(vHigh - vLow, a, in.jerk) * (vLow + vHigh) / 2;
    const double viaRest = (changeTime(vLow, a, in.jerk) * vLow + changeTime(vHigh, a, in.jerk) * vHigh) / 2;
    // From a thousandth to twice the least of the two, the boundaries included.
    in.dist = std::max(1e-6, std::min(change, viaRest) * (i % 10 == 0 ? 1.0 : std::pow(10.0, -3 + 3.3 * u(rng))));
    expectFewestPeriods(in);
  }
}

}  // namespace
