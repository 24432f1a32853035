// Planning of seven-segment S-curves. The plan is made in a frame that runs
// from the lower boundary velocity to the higher one (a move that slows down
// is planned backwards and stored reversed), quantised to whole periods by
// lengthening jerk segments, then refitted so that both boundary velocities
// and the distance are met exactly.
#include <algorithm>
#include <cmath>

#include "PTP/profiles/traj_plan_7s.h"
#include "PTP/profiles/traj_plan_common.h"

namespace {

using traj_plan_common::finiteValue;
using traj_plan_common::periodsCovering;
using traj_plan_common::usableLimit;

// Velocity differences below this count as equal: that side has no segments.
constexpr double kSameVelocity = 1e-5;
constexpr double kEmptyDistance = 1e-10;

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

bool usableInputs(const TrajPlanData& plan) {
  return finiteValue(plan.dist) && finiteValue(plan.vStart) && finiteValue(plan.vEnd) && usableLimit(plan.vMax) &&
         usableLimit(plan.aMax) && usableLimit(plan.aMaxDec) && usableLimit(plan.jerk) && usableLimit(plan.period);
}

// Durations and jerks of segments 1..7 (index 0 unused), in frame order.
struct Segments {
  double d[8]{};
  double j[8]{};
};

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

// Boundary states from the true start; false when anything came out non-finite.
bool build(const Frame& f, const Segments& frameSegs, MotionData& md) {
  Segments seg = frameSegs;
  if (f.reversed) {
    // Time reversal keeps the sign of jerk and reverses the order.
    for (int k = 1; k <= 7; ++k) {
      seg.d[k] = frameSegs.d[8 - k];
      seg.j[k] = frameSegs.j[8 - k];
    }
  }
  md = MotionData{};
  md.vel[0] = f.vStart;
  for (int k = 1; k <= 7; ++k) {
    const double t = seg.d[k];
    const double j = seg.j[k];
    md.jerk[k] = j;
    md.acc[k] = Cal_Accelelation(t, j, md.acc[k - 1]);
    md.vel[k] = Cal_Velocity(t, j, md.acc[k - 1], md.vel[k - 1]);
    md.pos[k] = Cal_Displacement(t, j, md.acc[k - 1], md.vel[k - 1], md.pos[k - 1]);
    md.time[k] = md.time[k - 1] + t;
  }
  return traj_plan_common::allFinite(md);
}

int commit(TrajPlanData& plan, const MotionData& md) {
  plan.motion = md;
  traj_plan_common::storeSegmentOutputs(plan);
  return 0;
}

// Builds and stores the plan; -1 with the record untouched when anything
// came out non-finite.
int store(TrajPlanData& plan, const Frame& f, const Segments& seg) {
  MotionData md;
  if (!build(f, seg, md)) return -1;
  return commit(plan, md);
}

// Velocity, acceleration (first three segments against aMax, the rest
// against aMaxDec) and jerk within the inputs' limits at every boundary.
bool keepsLimits(const TrajPlanData& plan, const MotionData& md) {
  constexpr double kSlack = 1.0 + 1e-9;
  const double vLimit = std::max({plan.vMax, std::fabs(plan.vStart), std::fabs(plan.vEnd)}) * kSlack;
  for (int k = 0; k < 8; ++k) {
    const double aLimit = (k <= 3 ? plan.aMax : plan.aMaxDec) * kSlack;
    if (std::fabs(md.vel[k]) > vLimit || std::fabs(md.acc[k]) > aLimit || std::fabs(md.jerk[k]) > plan.jerk * kSlack) {
      return false;
    }
  }
  return true;
}

// Pure transition from vLow to vHigh (segments 1 to 3) followed by a cruise
// at vHigh of tc, durations already whole periods. When the symmetric shape
// does not meet the distance, the durations are refitted and the acceleration
// becomes 0 -> y over segment 1, y -> x over segment 2, x -> 0 over segment 3.
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

// A cruise at vc between a side from vLow and a side to vHigh, each side
// jerk-limited at its acceleration limit (no equal-velocity threshold, so the
// duration changes smoothly with vc).
struct CruiseShape {
  Side s1;
  Side s2;
  double tc;
  double duration;
};

Side exactSide(double dv, double a, double jerk) {
  if (dv <= 0.0) return {0.0, 0.0};
  if (dv < a * a / jerk) return {std::sqrt(dv / jerk), 0.0};
  return {a / jerk, dv / a - a / jerk};
}

CruiseShape shapeAt(const Frame& f, double vc) {
  CruiseShape c{};
  c.s1 = exactSide(std::fabs(vc - f.vLow), f.aLow, f.jerk);
  c.s2 = exactSide(std::fabs(f.vHigh - vc), f.aHigh, f.jerk);
  c.tc = (f.dist - sideDistance(f.vLow, vc, c.s1) - sideDistance(f.vHigh, vc, c.s2)) / vc;
  c.duration = 2.0 * c.s1.tj + c.s1.ta + c.tc + c.s2.ta + 2.0 * c.s2.tj;
  return c;
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

// Segments of a cruise shape as they stand: each side at its limits.
Segments segmentsOf(const Frame& f, double vc, const CruiseShape& c, double tc) {
  const double p1 = c.s1.tj * c.s1.ta + c.s1.tj * c.s1.tj;
  const double p2 = c.s2.tj * c.s2.ta + c.s2.tj * c.s2.tj;
  const double j1 = p1 > 0.0 ? (vc - f.vLow) / p1 : 0.0;
  const double j2 = p2 > 0.0 ? (vc - f.vHigh) / p2 : 0.0;
  Segments seg;
  seg.d[1] = c.s1.tj;
  seg.d[2] = c.s1.ta;
  seg.d[3] = c.s1.tj;
  seg.d[4] = tc;
  seg.d[5] = c.s2.tj;
  seg.d[6] = c.s2.ta;
  seg.d[7] = c.s2.tj;
  seg.j[1] = j1;
  seg.j[3] = -j1;
  seg.j[5] = -j2;
  seg.j[7] = j2;
  return seg;
}

// A move that cruises at vIdeal and ends (or starts and ends) at that speed
// has no second side to take the time that makes it whole periods; instead
// the cruise is lowered to the vc at which the move lasts exactly N periods,
// entering and leaving it within the jerk and acceleration limits. Also the
// way out for a two-sided plan whose peak is too little above fast boundary
// velocities to take the added time. False when no such vc leaves a cruise
// (too short a move at too high a speed).
bool lowerCruise(const Frame& f, double vIdeal, Segments& out) {
  const double P = f.period;
  const CruiseShape ideal = shapeAt(f, vIdeal);
  const double target = periodsCovering(ideal.duration, P) * P;
  if (!(ideal.duration < target)) {
    if (!(ideal.tc >= 0.0)) return false;
    out = segmentsOf(f, vIdeal, ideal, ideal.tc);
    return true;
  }

  // Searched over u = sqrt(vIdeal - vc): the side durations grow like u, so
  // the duration is smooth in u down to the ideal cruise.
  CruiseShape c{};
  auto excess = [&](double u, double& g) {
    const double vc = vIdeal - u * u;
    if (!(vc > 0.0)) return false;
    c = shapeAt(f, vc);
    g = c.duration - target;
    return true;
  };
  double uLo = 0.0;
  double gLo = ideal.duration - target;
  double uHi = -1.0;
  double gHi = 0.0;
  double u = std::sqrt((target - ideal.duration) * vIdeal / std::fmax(ideal.duration, P));
  for (int n = 0; n < 64; ++n) {
    double g = 0.0;
    if (!excess(u, g)) {
      u = (uLo + u) / 2.0;  // past standstill: step back
    } else if (g >= 0.0) {
      uHi = u;
      gHi = g;
      break;
    } else {
      uLo = u;
      gLo = g;
      u *= 2.0;
    }
  }
  if (uHi < 0.0) return false;

  // Regula falsi (Illinois), falling back to halving when a step leaves the bracket.
  double uBest = uHi;
  double gBest = gHi;
  int lastSide = 0;
  for (int n = 0; n < 100 && std::fabs(gBest) > 1e-15 * target; ++n) {
    double um = (uLo * gHi - uHi * gLo) / (gHi - gLo);
    if (!(um > uLo && um < uHi)) um = (uLo + uHi) / 2.0;
    if (!(um > uLo && um < uHi)) break;
    double g = 0.0;
    if (!excess(um, g)) return false;
    uBest = um;
    gBest = g;
    if (g < 0.0) {
      uLo = um;
      gLo = g;
      if (lastSide < 0) gHi /= 2.0;
      lastSide = -1;
    } else {
      uHi = um;
      gHi = g;
      if (lastSide > 0) gLo /= 2.0;
      lastSide = 1;
    }
  }
  double g = 0.0;
  excess(uBest, g);
  const double vc = vIdeal - uBest * uBest;
  const double sidesTime = 2.0 * c.s1.tj + c.s1.ta + c.s2.ta + 2.0 * c.s2.tj;
  const double tc = target - sidesTime;
  if (!(c.tc >= 0.0 && tc >= 0.0)) return false;  // the sides alone overrun the distance
  // Solved to rounding, the cruise takes the remainder and the sides stay at
  // their limits; otherwise the cruise velocity is refitted to the distance.
  out = std::fabs(g) <= 1e-14 * target ? segmentsOf(f, vc, c, tc) : refitCruise(f, c.s1, tc, c.s2);
  return true;
}

// Stores the plan of the given segments, unless they break a limit while a
// lowered cruise (below vCruise) keeps them all: then that one.
int storeMended(TrajPlanData& plan, const Frame& f, const Segments& seg, double vCruise) {
  MotionData md;
  const bool built = build(f, seg, md);
  if (built && keepsLimits(plan, md)) return commit(plan, md);
  Segments lowered;
  MotionData alternative;
  if (lowerCruise(f, vCruise, lowered) && build(f, lowered, alternative) && keepsLimits(plan, alternative)) {
    return commit(plan, alternative);
  }
  return built ? commit(plan, md) : -1;
}

// Peak velocity in [vHigh, vMax] at which both sides together cover the
// distance. Returns false when the residual does not change sign. Stops on
// the side of the root where the distance is not short, so that the refit
// can only lower the peak and the jerk and acceleration limits hold.
bool peakVelocity(const Frame& f, double& vPeak) {
  auto residual = [&f](double v) {
    return sideDistance(f.vLow, v, sideFor(v - f.vLow, f.aLow, f.jerk)) +
           sideDistance(f.vHigh, v, sideFor(v - f.vHigh, f.aHigh, f.jerk)) - f.dist;
  };
  double lo = f.vHigh;
  double hi = f.vMax;
  if (residual(lo) * residual(hi) > 0.0) return false;
  double mid = (lo + hi) / 2.0;
  for (int n = 0; n < traj_plan_common::kMaxHalvings; ++n) {
    mid = (lo + hi) / 2.0;
    if (!(mid > lo && mid < hi)) break;  // the interval stopped shrinking
    const double r = residual(mid);
    if (r >= 0.0 && r <= 1e-5) break;
    if (r > 0.0) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  vPeak = mid;
  return true;
}

// Step 4 and 6 to 9 of the planner, for a frame with usable inputs.
int planFrame(TrajPlanData& plan, const Frame& f) {
  const double dv = f.vHigh - f.vLow;
  const double vSum = f.vLow + f.vHigh;

  // A short move that only changes velocity, the acceleration limit not
  // attained between the boundary velocities.
  const double tjTransition = std::min(std::sqrt(dv / f.jerk), f.aLow / f.jerk);
  if (tjTransition < f.aLow / f.jerk) {
    const double transitionDistance = tjTransition * vSum;
    if (f.dist <= transitionDistance) {
      const double T = periodsCovering(2.0 * f.dist / vSum, f.period) * f.period;
      return store(plan, f, fitTransition(f, T / 2.0, 0.0, 0.0));
    }
    // Equal velocities have no transition to plan around the band.
    if (dv >= kSameVelocity && f.dist - transitionDistance < 1e-4) {
      return store(plan, f, oneSided(f, Side{tjTransition, 0.0}, 0.0));
    }
  }

  if (f.vMax < f.vHigh) return TrajPlan7SLowLimit(&plan);

  double vPeak = f.vMax;
  double tc = 0.0;
  const Side up = sideFor(f.vMax - f.vLow, f.aLow, f.jerk);
  const Side down = sideFor(f.vMax - f.vHigh, f.aHigh, f.jerk);
  const double sides = sideDistance(f.vLow, f.vMax, up) + sideDistance(f.vHigh, f.vMax, down);
  if (sides <= f.dist) {
    tc = (f.dist - sides) / f.vMax;
  } else if (!peakVelocity(f, vPeak)) {
    return -1;
  }

  const Side s1 = sideFor(vPeak - f.vLow, f.aLow, f.jerk);
  const Side s2 = sideFor(vPeak - f.vHigh, f.aHigh, f.jerk);
  if (!empty(s2)) return storeMended(plan, f, twoSided(f, s1, tc, s2), vPeak);

  // The peak is the higher boundary velocity: one transition, then a cruise at vHigh.
  const Side only = sideFor(dv, f.aLow, f.jerk);
  const double cruise = std::max(0.0, (f.dist - sideDistance(f.vLow, f.vHigh, only)) / f.vHigh);
  return storeMended(plan, f, oneSided(f, only, cruise), f.vHigh);
}

}  // namespace

int TrajPlan7S(TrajPlanData* plan) {
  const Frame f = frameOf(*plan);
  if (f.dist <= kEmptyDistance) {
    traj_plan_common::storeEmptyPlan(*plan);
    return 0;
  }
  if (!usableInputs(*plan)) return -1;
  return planFrame(*plan, f);
}

int TrajPlan7SLowLimit(TrajPlanData* plan) {
  const Frame f = frameOf(*plan);
  if (f.dist <= kEmptyDistance) {
    traj_plan_common::storeEmptyPlan(*plan);
    return 0;
  }
  if (!usableInputs(*plan)) return -1;

  // The cruise runs at vMax; each side changes velocity by |vMax - v|.
  const Side s1 = sideFor(std::fabs(f.vMax - f.vLow), f.aLow, f.jerk);
  const Side s2 = sideFor(std::fabs(f.vHigh - f.vMax), f.aHigh, f.jerk);
  if (empty(s1) && empty(s2)) {
    // vMax and both boundary velocities are one velocity: a cruise.
    return storeMended(*plan, f, oneSided(f, Side{0.0, 0.0}, f.dist / f.vHigh), f.vMax);
  }
  const double tc =
      std::max(0.0, (f.dist - sideDistance(f.vLow, f.vMax, s1) - sideDistance(f.vHigh, f.vMax, s2)) / f.vMax);
  return storeMended(*plan, f, twoSided(f, s1, tc, s2), f.vMax);
}

int TrajPlan7SForcedTransition(TrajPlanData* plan) {
  const Frame f = frameOf(*plan);
  if (f.dist <= kEmptyDistance) {
    traj_plan_common::storeEmptyPlan(*plan);
    return 0;
  }
  const double vSum = f.vLow + f.vHigh;
  if (!usableInputs(*plan) || !(vSum > 0.0)) return -1;
  const double T = periodsCovering(2.0 * f.dist / vSum, f.period) * f.period;
  return store(*plan, f, fitTransition(f, T / 2.0, 0.0, 0.0));
}
