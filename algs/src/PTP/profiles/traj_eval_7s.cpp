// Evaluation, re-timing and inversion of seven-segment plans (also used on
// start-shifted plans of the blending, whose pos[0] is not 0).
#include <cmath>

#include "PTP/profiles/traj_plan_7s.h"
#include "PTP/profiles/traj_plan_common.h"

double Cal_Accelelation(double t, double j, double a0) { return a0 + j * t; }

double Cal_Velocity(double t, double j, double a0, double vs) { return vs + a0 * t + j * t * t / 2.0; }

double Cal_Displacement(double t, double j, double a0, double vs, double ss) {
  return ss + vs * t + a0 * t * t / 2.0 + j * t * t * t / 6.0;
}

void getPosVelAcc(MotionData& md, double t, double /*period*/, double& pos, double& vel, double& acc) {
  // A NaN time lands on the start rather than matching no segment.
  if (!(t > md.time[0])) {
    t = md.time[0];
  } else if (t > md.time[7]) {
    t = md.time[7];
  }
  // All segments are visited: at a boundary the later segment's state is kept.
  for (int k = 1; k <= 7; ++k) {
    if (md.time[k - 1] <= t && t <= md.time[k] + 1e-10) {
      const double tau = t - md.time[k - 1];
      const double a0 = md.acc[k - 1];
      const double v0 = md.vel[k - 1];
      const double j = md.jerk[k];
      acc = a0 + j * tau;
      vel = v0 + a0 * tau + j * tau * tau / 2.0;
      pos = md.pos[k - 1] + v0 * tau + a0 * tau * tau / 2.0 + j * tau * tau * tau / 6.0;
    }
  }
}

double JointCalc7S(TrajPlanData* plan, double t) {
  MotionData& md = plan->motion;
  double pos = md.pos[0];
  double vel = 0.0;
  double acc = 0.0;
  getPosVelAcc(md, t, plan->period, pos, vel, acc);
  return pos;
}

void TrajPlanTime7S(TrajPlanData* plan, double T) {
  const double k = T / plan->tTotal;
  // An empty plan or an unusable duration has nothing to stretch.
  if (!(std::isfinite(k) && k > 0.0)) return;
  MotionData& md = plan->motion;
  const double k2 = k * k;
  const double k3 = k2 * k;
  for (int i = 0; i < 8; ++i) {
    md.time[i] *= k;
    md.jerk[i] /= k3;
    md.acc[i] /= k2;
    md.vel[i] /= k;
  }
  traj_plan_common::storeSegmentOutputs(*plan);
}

double TimeCalc7S(TrajPlanData* plan, double s) {
  const MotionData& md = plan->motion;
  if (s > md.pos[7]) s = md.pos[7];
  // The last matching segment wins. A distance before the plan's start (a
  // start-shifted plan) or a NaN matches none: that is the start time.
  int seg = 0;
  for (int k = 1; k <= 7; ++k) {
    if (md.pos[k - 1] <= s && s <= md.pos[k] + 1e-10) seg = k;
  }
  if (seg == 0) return md.time[0];

  const double p0 = md.pos[seg - 1];
  const double v0 = md.vel[seg - 1];
  const double a0 = md.acc[seg - 1];
  const double j = md.jerk[seg];
  if (std::fabs(j) > 1e-10) return SolveTime(j / 6.0, a0 / 2.0, v0, p0 - s, md.time[seg - 1], md.time[seg]);
  if (std::fabs(a0) > 1e-10) {
    // Rounding can push the radicand a hair below zero at the segment's end.
    const double radicand = std::fmax(0.0, v0 * v0 - 2.0 * a0 * (p0 - s));
    return md.time[seg - 1] + (std::sqrt(radicand) - v0) / a0;
  }
  if (std::fabs(v0) <= 1e-10) return 0.0;
  return md.time[seg - 1] + (s - p0) / v0;
}

double SolveTime(double c3, double c2, double c1, double c0, double tStart, double tEnd) {
  const double x = traj_plan_common::safeguardedNewton(
      [=](double x, double& slope) {
        slope = (3.0 * c3 * x + 2.0 * c2) * x + c1;
        return ((c3 * x + c2) * x + c1) * x + c0;
      },
      tEnd - tStart);
  return tStart + x;
}
