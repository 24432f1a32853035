// Cosine profile: seven segments from rest to rest whose four jerk segments
// are half sines of one duration tj (w = pi / tj), with the single-precision
// pi the planners have always used.
#include <cmath>

#include "PTP/profiles/traj_plan_cos.h"
#include "PTP/profiles/traj_plan_7s.h"
#include "PTP/profiles/traj_plan_common.h"
#include "common/math/fast_trig.h"

namespace {

using traj_plan_common::finiteValue;
using traj_plan_common::usableLimit;

constexpr double kPi = 3.1415927410125732;
constexpr double kHalfPi = 1.5707963705062866;
constexpr double kQuarterPi = 0.7853981852531433;

// Sign of the jerk of segment k (0..6): segments 3 and 5 lower the acceleration.
double jerkSign(int k) { return (k == 2 || k == 4) ? -1.0 : 1.0; }

struct State {
  double pos;
  double vel;
  double acc;
};

// State tau into segment k (0..6) from the state at its start; c is the
// stored (positive) amplitude of a jerk segment.
State segmentState(int k, double w, double tau, double c, const State& s0) {
  State s{};
  if (k == 3) {
    s.acc = 0.0;
    s.vel = s0.vel;
    s.pos = s0.pos + s0.vel * tau;
    return s;
  }
  s.acc = s0.acc;
  s.vel = s0.vel + s0.acc * tau;
  s.pos = s0.pos + s0.vel * tau + s0.acc * tau * tau / 2.0;
  // A jerk-free segment (constant acceleration, or an empty plan) stops here.
  if (k == 1 || k == 5 || c == 0.0) return s;
  const double cw = jerkSign(k) * c / w;
  const double wt = w * tau;
  s.acc += cw * (1.0 - cosQ(wt));
  s.vel += cw * (tau - sinQ(wt) / w);
  s.pos += cw * tau * tau / 2.0 + cw / (w * w) * (cosQ(wt) - 1.0);
  return s;
}

}  // namespace

int TrajPlanCos(TrajPlanData* plan) {
  const double D = std::fabs(plan->dist);
  if (D <= 1e-10) {
    traj_plan_common::storeEmptyPlan(*plan);
    return 0;
  }
  const double vMax = plan->vMax;
  const double aMax = plan->aMax;
  const double jerk = plan->jerk;
  const double P = plan->period;
  if (!(finiteValue(plan->dist) && usableLimit(vMax) && usableLimit(aMax) && usableLimit(jerk) && usableLimit(P))) {
    return -1;
  }

  double tj = aMax * kHalfPi / jerk;
  const double vNeed = (2.0 * jerk / kPi) * tj * tj;
  double ta = 0.0;
  double tc = 0.0;
  const auto shortMove = [&] {  // the velocity limit is not attained
    tj = std::cbrt(D * kQuarterPi / jerk);
    ta = 0.0;
    tc = 0.0;
  };
  if (vMax <= vNeed) {
    tj = std::sqrt(vMax * kHalfPi / jerk);
    if (D <= 2.0 * vMax * tj) {
      shortMove();
    } else {
      tc = (D - 2.0 * vMax * tj) / vMax;
    }
  } else {
    ta = vMax / aMax - tj;
    const double Dv = 2.0 * (vMax * ta / 2.0 + vMax * tj);
    if (D > Dv) {
      tc = (D - Dv) / vMax;
    } else if (D <= 2.0 * tj * vNeed) {
      shortMove();
    } else {
      ta = (std::sqrt(tj * tj + 4.0 * D / aMax) - tj) / (2.0 / aMax) / aMax - tj;
    }
  }

  // The deceleration side's constant-acceleration time makes the total whole periods.
  const double base = ta + 2.0 * tj + tc + 2.0 * tj;
  const double N = traj_plan_common::periodsCovering(base + ta, P);
  const double tb = N * P - base;
  const double vp = D / (2.0 * tj + (ta + tb) / 2.0 + tc);
  const double ampA = vp * kHalfPi / (tj * tj + tj * ta);
  const double ampB = vp * kHalfPi / (tj * tj + tj * tb);

  MotionData md{};
  const double durations[7] = {tj, ta, tj, tc, tj, tb, tj};
  md.jerk[1] = ampA;
  md.jerk[3] = ampA;
  md.jerk[5] = ampB;
  md.jerk[7] = ampB;
  const double w = kPi / tj;
  State s{0.0, 0.0, 0.0};
  for (int k = 0; k < 7; ++k) {
    s = segmentState(k, w, durations[k], md.jerk[k + 1], s);
    md.time[k + 1] = md.time[k] + durations[k];
    md.pos[k + 1] = s.pos;
    md.vel[k + 1] = s.vel;
    md.acc[k + 1] = s.acc;
  }
  if (!traj_plan_common::allFinite(md)) return -1;
  plan->motion = md;
  traj_plan_common::storeSegmentOutputs(*plan);
  return 0;
}

void getPosVelAccCos(MotionData& md, double w, double t, double /*period*/, double& pos, double& vel, double& acc) {
  for (int k = 0; k < 7; ++k) {
    if (md.time[k] <= t && t <= md.time[k + 1] + 1e-10) {
      const State s = segmentState(k, w, t - md.time[k], md.jerk[k + 1], {md.pos[k], md.vel[k], md.acc[k]});
      pos = s.pos;
      vel = s.vel;
      acc = s.acc;
    }
  }
}

double JointCalcCos(TrajPlanData* plan, double t) {
  MotionData& md = plan->motion;
  // Outside the plan nothing is evaluated: before it the start, after it the end.
  double pos = t > md.time[7] ? md.pos[7] : md.pos[0];
  double vel = 0.0;
  double acc = 0.0;
  getPosVelAccCos(md, kPi / md.time[1], t, plan->period, pos, vel, acc);
  return pos;
}

double TimeCalcCos(TrajPlanData* plan, double s) {
  const MotionData& md = plan->motion;
  if (s > md.pos[7]) s = md.pos[7];
  int seg = -1;
  for (int k = 0; k < 7; ++k) {
    if (md.pos[k] <= s && s <= md.pos[k + 1] + 1e-10) seg = k;
  }
  if (seg < 0) return md.time[0];
  const double p0 = md.pos[seg];
  const double v0 = md.vel[seg];
  const double a0 = md.acc[seg];
  const double c = md.jerk[seg + 1];
  if (std::fabs(c) > 1e-10) {
    return SolveForCos(p0 - s, v0, a0, c, md.time[seg], md.time[seg + 1], kPi / md.time[1], seg);
  }
  if (std::fabs(a0) > 1e-10) {
    const double radicand = std::fmax(0.0, v0 * v0 - 2.0 * a0 * (p0 - s));
    return md.time[seg] + (std::sqrt(radicand) - v0) / a0;
  }
  if (std::fabs(v0) <= 1e-10) return 0.0;
  return md.time[seg] + (s - p0) / v0;
}

double SolveForCos(double c0, double vk, double ak, double amp, double tStart, double tEnd, double w, int k) {
  const State s0{0.0, vk, ak};
  const double x = traj_plan_common::safeguardedNewton(
      [&](double x, double& slope) {
        const State s = segmentState(k, w, x, amp, s0);
        slope = s.vel;
        return c0 + s.pos;
      },
      tEnd - tStart);
  return tStart + x;
}

void TrajPlanTimeCos(TrajPlanData* plan, double T) { TrajPlanTime7S(plan, T); }
