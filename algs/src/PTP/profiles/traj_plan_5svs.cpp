// Variable-speed five-segment profile: a running move re-planned from its
// current velocity vCurrent to rest. Jerk +gJ, -gJ for t1 each (g = accDir),
// a cruise of tConst, then -J, +J for t1Dec each.
#include <cmath>

#include "PTP/profiles/traj_plan_5s.h"
#include "PTP/profiles/traj_plan_common.h"
#include "common/kernel/core_interface.h"

namespace {

using traj_plan_common::finiteValue;
using traj_plan_common::usableLimit;

// Distance of the move from vs through a peak v to rest, without cruise.
double peakResidual(double v, double vs, double jerk, double dist) {
  return (std::sqrt(v * v * v) + (v + vs) * std::sqrt(v - vs)) / std::sqrt(jerk) - dist;
}

struct Piece {
  double duration;
  double jerk;
};

}  // namespace

void TrajPlan5Svs(TrajPlanData* plan) {
  const double vs = plan->vCurrent;
  const double vMax = plan->vMax;
  const double dist = plan->dist;
  double jerk = plan->jerk;
  KernelLog("movj v TrajPlan5Svs vs:%1.3f %1.3f %1.3f %1.3f\r\n", vs, jerk, vMax, dist);
  if (!(finiteValue(vs) && finiteValue(dist) && usableLimit(vMax) && usableLimit(jerk))) return;

  const int g = vs > vMax ? -1 : 1;
  double t1 = std::sqrt(std::fabs(vMax - vs) / jerk);
  double td = std::sqrt(vMax / jerk);
  double tc = 0.0;
  const double rest = dist - (g * jerk * t1 * t1 * t1 + 2.0 * vs * t1) - jerk * td * td * td;
  if (rest >= 0.0) {
    tc = rest / vMax;
  } else if (g == -1 || dist - std::sqrt(vs / jerk) * vs <= 1e-5) {
    // Not even room to stop from vs at this jerk: stop directly.
    t1 = 0.0;
    tc = 0.0;
    td = dist / vs;
    jerk = vs / (td * td);
  } else {
    const double atMax = peakResidual(vMax, vs, jerk, dist);
    KernelLog("movj v TrajPlan5Svs: ff:%1.3f \r\n", atMax);
    if (peakResidual(vs, vs, jerk, dist) * atMax > 0.0) {
      KernelLog("movj v TrajPlan5Svs: error \r\n");
      return;
    }
    double lo = vs;
    double hi = vMax;
    double mid = (lo + hi) / 2.0;
    double residual = peakResidual(mid, vs, jerk, dist);
    int n = 0;
    while (std::fabs(residual) > 1e-5 && n < 100) {
      if (peakResidual(lo, vs, jerk, dist) * residual < 0.0) {
        hi = mid;
      } else {
        lo = mid;
      }
      mid = (lo + hi) / 2.0;
      residual = peakResidual(mid, vs, jerk, dist);
      ++n;
      KernelLog("movj v TrajPlan5Svs: ff:%1.3f \r\n", std::fabs(residual));
    }
    t1 = std::sqrt((mid - vs) / jerk);
    td = std::sqrt(mid / jerk);
    tc = 0.0;
    KernelLog("movj v TrajPlan5Svs:x1:%1.3f n:%d \r\n", mid, n);
  }
  // A stop from standstill (vs 0) or a negative start has no finite plan.
  if (!(finiteValue(t1) && finiteValue(td) && finiteValue(tc) && finiteValue(jerk))) return;

  plan->jerk = jerk;
  plan->t1 = t1;
  plan->t1Dec = td;
  plan->tConst = tc;
  plan->tAcc = 2.0 * t1;
  plan->accDir = g;
  plan->vStart = vs;
  plan->tDec = 2.0 * td;
  plan->tTotal = 2.0 * t1 + tc + 2.0 * td;
  KernelLog("movj v TrajPlan5Svs t:%1.3f %1.3f %1.3f %d\r\n", t1, td, tc, g);
}

double JointCalc5Svs(TrajPlanData* plan, double t) {
  const double J = plan->jerk;
  const double gJ = plan->accDir * J;
  const Piece pieces[5] = {{plan->t1, gJ}, {plan->t1, -gJ}, {plan->tConst, 0.0}, {plan->t1Dec, -J}, {plan->t1Dec, J}};
  double pos = 0.0;
  double vel = plan->vStart;
  double acc = 0.0;
  double start = 0.0;
  for (int k = 0; k < 5; ++k) {
    const Piece& p = pieces[k];
    // The last piece continues beyond its end, as the rest-to-rest profile does.
    if (t < start + p.duration || k == 4) {
      const double tau = t - start;
      return pos + vel * tau + acc * tau * tau / 2.0 + p.jerk * tau * tau * tau / 6.0;
    }
    const double d = p.duration;
    pos += vel * d + acc * d * d / 2.0 + p.jerk * d * d * d / 6.0;
    vel += acc * d + p.jerk * d * d / 2.0;
    acc += p.jerk * d;
    start += d;
  }
  return pos;
}

double TimeCalc5Svs(TrajPlanData* plan, double s) {
  KernelLog("movj v pos:%1.3f \r\n", s);
  const double J = plan->jerk;
  const double g = plan->accDir;
  const double vs = plan->vStart;
  const double t1 = plan->t1;
  const double tc = plan->tConst;
  const double td = plan->t1Dec;
  const double V = vs + g * J * t1 * t1;
  const double Sa = 2.0 * vs * t1 + g * J * t1 * t1 * t1;
  const double S2 = Sa + V * tc;
  const double Stot = S2 + J * td * td * td;
  const double T = 2.0 * t1 + tc + 2.0 * td;
  const double s1 = vs * t1 + g * J * t1 * t1 * t1 / 6.0;
  if (s > Stot) return T;
  if (s > Stot - J * td * td * td / 6.0) return T - std::cbrt(6.0 * (Stot - s) / J);
  if (s > S2) return SolveTime5S(-J / 6.0, 0.0, V, -(s - S2), 2.0 * t1 + tc, 2.0 * t1 + tc + td);
  if (s > Sa) return 2.0 * t1 + (s - Sa) / V;
  if (s > s1) return SolveTime5S(g * J / 6.0, -g * J * t1 / 2.0, -(vs + g * J * t1 * t1 / 2.0), s - s1, t1, 2.0 * t1);
  return SolveTime5S(-g * J / 6.0, 0.0, -vs, s, 0.0, t1);
}

double SolveTime5S(double c3, double c2, double c1, double c0, double tStart, double tEnd) {
  auto P = [=](double x) { return ((c3 * x + c2) * x + c1) * x + c0; };
  const double w = tEnd - tStart;
  double lo = 0.0;
  double hi = w;
  // Without a sign change no halving is made: the result is the midpoint.
  int n = P(0.0) * P(w) > 0.0 ? 50 : 0;
  double mid = (lo + hi) / 2.0;
  for (;;) {
    mid = (lo + hi) / 2.0;
    const double pm = P(mid);
    if (!(std::fabs(pm) > 1e-5) || n >= 50) break;
    if (pm * P(lo) < 0.0) {
      hi = mid;
    } else {
      lo = mid;
    }
    ++n;
  }
  const double t = tStart + mid;
  KernelLog("movj v SolveTime:t:%1.3f n:%d \r\n", t, n);
  return t;
}
