// Planning of seven-segment S-curves. The plan is made in a frame that runs
// from the lower boundary velocity to the higher one (a move that slows down
// is planned backwards and stored reversed), quantised to whole periods by
// lengthening jerk segments, then refitted so that both boundary velocities
// and the distance are met exactly. A refitted plan that breaks a limit is
// replaced by the shortest whole-period plan that keeps them all; without
// one the move is refused.
#include <algorithm>
#include <cmath>

#include "PTP/profiles/traj_plan_7s.h"
#include "PTP/profiles/traj_plan_7s_frame.h"
#include "PTP/profiles/traj_plan_common.h"
#include "common/kernel/core_interface.h"

namespace traj7s {

Frame frameOf(const TrajPlanData& plan) {
  Frame f{};
  f.dist = plan.dist;
  f.vMax = plan.vMax;
  f.jerk = plan.jerk;
  f.period = plan.period;
  f.vStart = plan.vStart;
  f.reversed = plan.vStart > plan.vEnd;
  f.vLow = f.reversed ? plan.vEnd : plan.vStart;
  f.vHigh = f.reversed ? plan.vStart : plan.vEnd;
  f.aLow = f.reversed ? plan.aMaxDec : plan.aMax;
  f.aHigh = f.reversed ? plan.aMax : plan.aMaxDec;
  return f;
}

bool build(const Frame& f, const Segments& frameSegs, MotionData& md) {
  md.pos[0] = 0.0;
  md.vel[0] = f.vStart;
  md.acc[0] = 0.0;
  md.jerk[0] = 0.0;
  md.time[0] = 0.0;
  double p = 0.0;
  double v = f.vStart;
  double a = 0.0;
  double time = 0.0;
  for (int k = 1; k <= 7; ++k) {
    // Time reversal keeps the sign of jerk and reverses the order.
    const int from = f.reversed ? 8 - k : k;
    const double t = frameSegs.d[from];
    const double j = frameSegs.j[from];
    // The arithmetic of Cal_Accelelation, Cal_Velocity and Cal_Displacement.
    const double aNext = a + j * t;
    const double vNext = v + a * t + j * t * t / 2.0;
    p = p + v * t + a * t * t / 2.0 + j * t * t * t / 6.0;
    v = vNext;
    a = aNext;
    time += t;
    md.jerk[k] = j;
    md.acc[k] = a;
    md.vel[k] = v;
    md.pos[k] = p;
    md.time[k] = time;
  }
  // A non-finite duration, jerk or state carries into the last boundary.
  return std::isfinite(p) && std::isfinite(v) && std::isfinite(a) && std::isfinite(time);
}

}  // namespace traj7s

namespace {

using traj_plan_common::finiteValue;
using traj_plan_common::periodsCovering;
using traj_plan_common::usableLimit;
using traj7s::Frame;
using traj7s::frameOf;
using traj7s::Segments;

// Velocity differences below this count as equal: that side has no segments.
constexpr double kSameVelocity = 1e-5;
constexpr double kEmptyDistance = 1e-10;

bool usableInputs(const TrajPlanData& plan) {
  return finiteValue(plan.dist) && finiteValue(plan.vStart) && finiteValue(plan.vEnd) && usableLimit(plan.vMax) &&
         usableLimit(plan.aMax) && usableLimit(plan.aMaxDec) && usableLimit(plan.jerk) && usableLimit(plan.period);
}

// One side of the frame: a change of velocity by two jerk segments of tj with
// a constant-acceleration segment of ta between them.
struct Side {
  double tj;
  double ta;
};

Side sideFor(double dv, double a, double jerk) {
  if (dv < kSameVelocity) return {0.0, 0.0};
  if (dv < a * a / jerk) return {std::sqrt(dv / jerk), 0.0};
  return {a / jerk, dv / a - a / jerk};
}

bool empty(const Side& s) { return s.tj <= 0.0 && s.ta <= 0.0; }

double sideDistance(double v, double vPeak, const Side& s) { return (v + vPeak) * (s.tj + s.ta / 2.0); }

// md is finite (build checked it).
int commit(TrajPlanData& plan, const MotionData& md) {
  plan.motion = md;
  plan.tAcc = md.time[3];
  plan.tDec = md.time[7] - md.time[4];
  plan.tTotal = md.time[7];
  double largest = 0.0;
  for (double j : md.jerk) largest = std::max(largest, std::fabs(j));
  plan.jerk = largest;
  return 0;
}

// Segments whose durations or jerks already break the limits need no build.
bool plausible(const Frame& f, const Segments& seg) {
  const double top = f.jerk * (1.0 + 1e-9);
  for (int k = 1; k <= 7; ++k) {
    if (!(seg.d[k] >= 0.0) || !(std::fabs(seg.j[k]) <= top)) return false;
  }
  return true;
}

// Stores the refitted plan when it keeps every limit; otherwise the shortest
// whole-period plan that does (vHint: a cruise velocity worth trying); otherwise refuses with `refusal` and one log
// line, the record untouched.
int storeChecked(TrajPlanData& plan, const Frame& f, const Segments* refit, double vHint, int refusal,
                 traj7s::Search search) {
  MotionData md;
  if (refit != nullptr && plausible(f, *refit) && traj7s::build(f, *refit, md) && traj7s::keepsLimits(plan, md)) {
    return commit(plan, md);
  }
  if (traj7s::fitWithinLimits(plan, f, vHint, md, search)) return commit(plan, md);
  KernelLog("TrajPlan7S no plan within limits dist:%1.3lf vStart:%1.3lf vEnd:%1.3lf vMax:%1.3lf\r\n", plan.dist,
            plan.vStart, plan.vEnd, plan.vMax);
  return refusal;
}

Segments fitTransition(const Frame& f, double tj, double ta, double tc) {
  const double P = f.period;
  const double vSum = f.vLow + f.vHigh;
  const double dv = f.vHigh - f.vLow;
  Segments seg;
  if (std::fabs((2.0 * tj + ta) * vSum / 2.0 + f.vHigh * tc - f.dist) <= 1e-10) {
    const double product = tj * ta + tj * tj;
    const double j = product > 0.0 ? dv / product : 0.0;
    seg.d[1] = tj;
    seg.d[2] = ta;
    seg.d[3] = tj;
    seg.d[4] = tc;
    seg.j[1] = j;
    seg.j[3] = -j;
    return seg;
  }
  if (ta <= 0.0) {
    ta = tj <= 10.0 * P ? std::max(std::round(tj / 2.0 / P), 1.0) * P : 5.0 * P;
    if (tc <= 0.0) {
      tj = f.dist / vSum - ta / 2.0;
      if (tj <= 0.0) tj = P;
    } else {
      tj = (f.dist - f.vHigh * tc) / vSum - ta / 2.0;
      if (tj <= 0.0) {
        tj = P;
        if (f.dist - (2.0 * tj + ta) * vSum / 2.0 <= 0.0) {
          // Not even the shortest transition leaves room for a cruise.
          tj = std::max((2.0 * f.dist / vSum - ta) / 2.0, P);
          tc = 0.0;
        }
      }
    }
  } else {
    const double R = f.dist - f.vHigh * tc;
    const double p = -2.0 * R / vSum;
    const double disc = p * p - 4.0 * std::fabs(dv) / f.jerk;
    if (disc >= 0.0) {
      const double smaller = (-p - std::sqrt(disc)) / 2.0;
      tj = smaller >= 0.0 ? smaller : (-p + std::sqrt(disc)) / 2.0;
      if (tj <= 0.0) tj = P;
      ta = 2.0 * R / vSum - 2.0 * tj;
      if (ta <= 0.0) ta = P;
    }
  }
  if (tc > 0.0) tc = std::max(0.0, (f.dist - (2.0 * tj + ta) * vSum / 2.0) / f.vHigh);
  const double N = periodsCovering(2.0 * tj + ta + tc, P);
  tj = (N * P - ta - tc) / 2.0;

  // Velocity balance (tj + ta)(x + y) / 2 = dv, distance balance (A y + B x) / 6 = D.
  const double S = 2.0 * dv / (tj + ta);
  const double D = f.dist - f.vLow * (2.0 * tj + ta) - f.vHigh * tc;
  const double A = 2.0 * ta * ta + 4.0 * tj * tj + 6.0 * tj * ta;
  const double B = ta * ta + 2.0 * tj * tj + 3.0 * tj * ta;
  const double y = (6.0 * D - B * S) / (A - B);
  const double x = S - y;
  seg.d[1] = tj;
  seg.d[2] = ta;
  seg.d[3] = tj;
  seg.d[4] = tc;
  seg.j[1] = y / tj;
  seg.j[2] = (x - y) / ta;
  seg.j[3] = -x / tj;
  return seg;
}

Segments refitCruise(const Frame& f, const Side& s1, double tc, const Side& s2);

// A frame whose only side runs from vLow to vHigh, followed by a cruise at
// vHigh: the added time goes to that side's jerk segments.
Segments oneSided(const Frame& f, Side s, double tc) {
  const double N = periodsCovering(2.0 * s.tj + s.ta + tc, f.period);
  const double tj = (N * f.period - s.ta - tc) / 2.0;
  return fitTransition(f, tj, s.ta, tc);
}

// Two sides around a cruise of tc: the added time goes to the second side
// (to the first when the first has no segments, which could not change the
// velocity otherwise); the peak velocity and the jerks are then refitted.
Segments twoSided(const Frame& f, Side s1, double tc, Side s2) {
  const double N = periodsCovering(2.0 * s1.tj + s1.ta + tc + s2.ta + 2.0 * s2.tj, f.period);
  if (empty(s1)) {
    s1.tj = (N * f.period - (tc + s2.ta + 2.0 * s2.tj)) / 2.0;
  } else {
    s2.tj = (N * f.period - (2.0 * s1.tj + s1.ta + tc + s2.ta)) / 2.0;
  }
  return refitCruise(f, s1, tc, s2);
}

// Sides of fixed durations around a cruise of tc: the cruise velocity and
// the jerks are refitted so that the distance and both velocities are met.
Segments refitCruise(const Frame& f, const Side& s1, double tc, const Side& s2) {
  const double vc = (f.dist - (s1.tj + s1.ta / 2.0) * f.vLow - (s2.tj + s2.ta / 2.0) * f.vHigh) /
                    (s1.tj + s2.tj + (s1.ta + s2.ta) / 2.0 + tc);
  const double p1 = s1.tj * s1.ta + s1.tj * s1.tj;
  const double p2 = s2.tj * s2.ta + s2.tj * s2.tj;
  const double j1 = p1 > 0.0 ? (vc - f.vLow) / p1 : 0.0;
  const double j2 = p2 > 0.0 ? (vc - f.vHigh) / p2 : 0.0;
  Segments seg;
  seg.d[1] = s1.tj;
  seg.d[2] = s1.ta;
  seg.d[3] = s1.tj;
  seg.d[4] = tc;
  seg.d[5] = s2.tj;
  seg.d[6] = s2.ta;
  seg.d[7] = s2.tj;
  seg.j[1] = j1;
  seg.j[3] = -j1;
  seg.j[5] = -j2;
  seg.j[7] = j2;
  return seg;
}

// Distance of a jerk-limited change from vi up to v (v >= vi) under
// acceleration limit a, and its slope in v. Continuous with a continuous
// slope where the acceleration limit is first reached.
double changeDistance(double vi, double v, double a, double jerk, double& slope) {
  const double dv = v - vi;
  if (dv < a * a / jerk) {
    const double tj = std::sqrt(dv / jerk);
    slope = tj + (dv > 0.0 ? (vi + v) / (2.0 * jerk * tj) : 0.0);
    return (vi + v) * tj;
  }
  const double half = dv / (2.0 * a) + a / (2.0 * jerk);
  slope = half + (vi + v) / (2.0 * a);
  return (vi + v) * half;
}

// Peak velocity in [vHigh, vMax] at which both sides together cover the
// distance; false when the residual does not change sign. Rest to rest has
// closed forms while both sides are below or both at their acceleration
// limits, and Newton on a quartic in between; otherwise safeguarded Newton
// on s = sqrt(v - vHigh), in which the residual is smooth down to s = 0.
bool peakVelocity(const Frame& f, double& vPeak) {
  const double J = f.jerk;
  auto residual = [&](double s, double& slope) {
    const double v = f.vHigh + s * s;
    double g1 = 0.0;
    double g2 = 0.0;
    const double r = changeDistance(f.vLow, v, f.aLow, J, g1) + changeDistance(f.vHigh, v, f.aHigh, J, g2) - f.dist;
    double dvds = 2.0 * s;
    slope = (g1 + g2) * dvds;
    // At s = 0 a side starting at vHigh has slope sqrt(J)·2vHigh/J in s.
    if (s == 0.0) slope = 2.0 * f.vHigh / std::sqrt(J) * (f.vLow == f.vHigh ? 2.0 : 1.0);
    return r;
  };
  double slope = 0.0;
  double lo = 0.0;
  double hi = std::sqrt(std::fmax(0.0, f.vMax - f.vHigh));
  if (f.vHigh == 0.0) {
    // From rest to rest: the residual is -dist at 0, and the caller found the
    // sides to vMax longer than the distance. The regime follows from the
    // distances at the two knees (where a side first reaches its limit).
    const double aLo = std::fmin(f.aLow, f.aHigh);
    const double aHi = std::fmax(f.aLow, f.aHigh);
    const double kneeLo = aLo * aLo / J;
    const double kneeHi = aHi * aHi / J;
    if (f.dist <= 2.0 * kneeLo * aLo / J) {
      vPeak = std::cbrt(f.dist * f.dist * J / 4.0);  // 2 v sqrt(v / J) = dist
      return true;
    }
    if (f.dist >= kneeHi * (kneeHi / (2.0 * aLo) + aLo / (2.0 * J)) + kneeHi * aHi / J) {
      // v² (1/a1 + 1/a2) / 2 + v (a1 + a2) / (2 J) = dist
      const double qa = (1.0 / f.aLow + 1.0 / f.aHigh) / 2.0;
      const double qb = (f.aLow + f.aHigh) / (2.0 * J);
      vPeak = 2.0 * f.dist / (qb + std::sqrt(qb * qb + 4.0 * qa * f.dist));
      return true;
    }
    // The side with the lower limit reaches it, the other not; in s = sqrt(v)
    // s⁴ / (2 aLo) + s³ / sqrt(J) + s² aLo / (2 J) = dist, convex and rising,
    // so Newton from above the root descends onto it.
    const double c4 = 1.0 / (2.0 * aLo);
    const double c3 = 1.0 / std::sqrt(J);
    const double c2 = aLo / (2.0 * J);
    double x = std::fmin(std::sqrt(kneeHi), std::sqrt(std::sqrt(f.dist / c4)));
    const double tolerance = 1e-12 * std::fmax(1.0, f.dist);
    for (int n = 0; n < traj_plan_common::kMaxHalvings; ++n) {
      const double p = ((c4 * x + c3) * x + c2) * x * x - f.dist;
      if (p <= tolerance) break;
      const double next = x - p / (((4.0 * c4 * x + 3.0 * c3) * x + 2.0 * c2) * x);
      if (!(next < x)) break;
      x = next;
    }
    vPeak = x * x;
    return true;
  }

  const double rLo = residual(lo, slope);
  const double rHi = residual(hi, slope);
  if (rLo * rHi > 0.0) return false;
  if (rLo == 0.0 || rHi == 0.0) {
    vPeak = rLo == 0.0 ? f.vHigh : f.vMax;
    return true;
  }
  double s = lo + (hi - lo) * (-rLo) / (rHi - rLo);

  const double tolerance = 1e-12 * std::fmax(1.0, f.dist);
  for (int n = 0; n < traj_plan_common::kMaxHalvings; ++n) {
    const double r = residual(s, slope);
    if (std::fabs(r) <= tolerance) break;
    if (r < 0.0) {
      lo = s;
    } else {
      hi = s;
    }
    double next = s - r / slope;
    if (!(next > lo && next < hi)) next = (lo + hi) / 2.0;
    if (next == s || hi - lo <= 4e-16 * hi) break;
    s = next;
  }
  vPeak = f.vHigh + s * s;
  return true;
}

int lowLimit(TrajPlanData& plan, traj7s::Search search);

// Steps 4 and 6 to 9 of the planner, for a frame with usable inputs.
int planFrame(TrajPlanData& plan, const Frame& f, traj7s::Search search) {
  const double dv = f.vHigh - f.vLow;
  const double vSum = f.vLow + f.vHigh;

  // A short move that only changes velocity, the acceleration limit not
  // attained between the boundary velocities.
  const double tjTransition = std::min(std::sqrt(dv / f.jerk), f.aLow / f.jerk);
  if (tjTransition < f.aLow / f.jerk) {
    const double transitionDistance = tjTransition * vSum;
    if (f.dist <= transitionDistance) {
      const double T = periodsCovering(2.0 * f.dist / vSum, f.period) * f.period;
      const Segments seg = fitTransition(f, T / 2.0, 0.0, 0.0);
      return storeChecked(plan, f, &seg, f.vHigh, traj7s::kOutsideLimits, search);
    }
    // Equal velocities have no transition to plan around the band.
    if (dv >= kSameVelocity && f.dist - transitionDistance < 1e-4) {
      const Segments seg = oneSided(f, Side{tjTransition, 0.0}, 0.0);
      return storeChecked(plan, f, &seg, f.vHigh, traj7s::kOutsideLimits, search);
    }
  }

  if (f.vMax < f.vHigh) return lowLimit(plan, search);

  double vPeak = f.vMax;
  double tc = 0.0;
  const Side up = sideFor(f.vMax - f.vLow, f.aLow, f.jerk);
  const Side down = sideFor(f.vMax - f.vHigh, f.aHigh, f.jerk);
  const double sides = sideDistance(f.vLow, f.vMax, up) + sideDistance(f.vHigh, f.vMax, down);
  if (sides <= f.dist) {
    tc = (f.dist - sides) / f.vMax;
  } else if (!peakVelocity(f, vPeak)) {
    // Too short to rise from vLow to vHigh: only a plan that dips below vLow
    // can do, if any.
    return storeChecked(plan, f, nullptr, 0.0, -1, search);
  }

  const Side s1 = sideFor(vPeak - f.vLow, f.aLow, f.jerk);
  const Side s2 = sideFor(vPeak - f.vHigh, f.aHigh, f.jerk);
  if (!empty(s2)) {
    const Segments seg = twoSided(f, s1, tc, s2);
    return storeChecked(plan, f, &seg, vPeak, traj7s::kOutsideLimits, search);
  }

  // The peak is the higher boundary velocity: one transition, then a cruise at vHigh.
  const Side only = sideFor(dv, f.aLow, f.jerk);
  const double cruise = std::max(0.0, (f.dist - sideDistance(f.vLow, f.vHigh, only)) / f.vHigh);
  const Segments seg = oneSided(f, only, cruise);
  return storeChecked(plan, f, &seg, f.vHigh, traj7s::kOutsideLimits, search);
}

// TrajPlan7SLowLimit with the given search.
int lowLimit(TrajPlanData& plan, traj7s::Search search) {
  const Frame f = frameOf(plan);
  if (f.dist <= kEmptyDistance) {
    traj_plan_common::storeEmptyPlan(plan);
    return 0;
  }
  if (!usableInputs(plan)) return -1;

  // The cruise runs at vMax; each side changes velocity by |vMax - v|.
  const Side s1 = sideFor(std::fabs(f.vMax - f.vLow), f.aLow, f.jerk);
  const Side s2 = sideFor(std::fabs(f.vHigh - f.vMax), f.aHigh, f.jerk);
  if (empty(s1) && empty(s2)) {
    // vMax and both boundary velocities are one velocity: a cruise.
    const Segments seg = oneSided(f, Side{0.0, 0.0}, f.dist / f.vHigh);
    return storeChecked(plan, f, &seg, f.vMax, traj7s::kOutsideLimits, search);
  }
  const double tc =
      std::max(0.0, (f.dist - sideDistance(f.vLow, f.vMax, s1) - sideDistance(f.vHigh, f.vMax, s2)) / f.vMax);
  const Segments seg = twoSided(f, s1, tc, s2);
  return storeChecked(plan, f, &seg, f.vMax, traj7s::kOutsideLimits, search);
}

}  // namespace

namespace traj7s {

int plan7S(TrajPlanData& plan, Search search) {
  const Frame f = frameOf(plan);
  if (f.dist <= kEmptyDistance) {
    traj_plan_common::storeEmptyPlan(plan);
    return 0;
  }
  if (!usableInputs(plan)) return -1;
  return planFrame(plan, f, search);
}

}  // namespace traj7s

int TrajPlan7S(TrajPlanData* plan) { return traj7s::plan7S(*plan, traj7s::Search::kQuickFirst); }

int TrajPlan7SLowLimit(TrajPlanData* plan) { return lowLimit(*plan, traj7s::Search::kQuickFirst); }

int TrajPlan7SForcedTransition(TrajPlanData* plan) {
  const Frame f = frameOf(*plan);
  if (f.dist <= kEmptyDistance) {
    traj_plan_common::storeEmptyPlan(*plan);
    return 0;
  }
  const double vSum = f.vLow + f.vHigh;
  if (!usableInputs(*plan) || !(vSum > 0.0)) return -1;
  const double T = periodsCovering(2.0 * f.dist / vSum, f.period) * f.period;
  MotionData md;
  if (!traj7s::build(f, fitTransition(f, T / 2.0, 0.0, 0.0), md)) return -1;
  return commit(*plan, md);
}
