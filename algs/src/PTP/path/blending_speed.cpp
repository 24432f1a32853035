// Reachable speed over a distance under jerk-limited acceleration, and the
// cubic it leads to.
#include <algorithm>
#include <cmath>

#include "PTP/path/blending.h"

namespace {

double cubic(double c3, double c2, double c1, double c0, double x) { return ((c3 * x + c2) * x + c1) * x + c0; }

bool sameSign(double a, double b) { return (a > 0.0) == (b > 0.0); }

// Root on [a, b] where the ends differ in sign, by bisection.
double bisect(double c3, double c2, double c1, double c0, double a, double b, double tolerance) {
  double fa = cubic(c3, c2, c1, c0, a);
  double m = (a + b) / 2.0;
  for (int i = 0; i < 200; ++i) {
    m = (a + b) / 2.0;
    const double fm = cubic(c3, c2, c1, c0, m);
    if (std::fabs(fm) <= tolerance) break;
    // Interval down to adjacent doubles: nothing left to halve.
    if (m <= a || m >= b) break;
    if (sameSign(fm, fa)) {
      a = m;
      fa = fm;
    } else {
      b = m;
    }
  }
  return m;
}

}  // namespace

double calCubicEq(double c3, double c2, double c1, double c0, double hi, double lo) {
  // Stationary points split [lo, hi] into monotone pieces.
  double cuts[2];
  int cutCount = 0;
  const double disc = c2 * c2 - 3.0 * c3 * c1;
  if (c3 != 0.0) {
    if (disc > 0.0) {
      const double root = std::sqrt(disc);
      const double x1 = (-c2 - root) / (3.0 * c3);
      const double x2 = (-c2 + root) / (3.0 * c3);
      cuts[0] = std::fmin(x1, x2);
      cuts[1] = std::fmax(x1, x2);
      cutCount = 2;
    }
  } else if (c2 != 0.0) {
    cuts[0] = -c1 / (2.0 * c2);
    cutCount = 1;
  }
  const double tolerance = cutCount > 0 && cubic(c3, c2, c1, c0, cuts[0]) == 0.0 ? 1e-7 : 1e-5;

  double bounds[4];
  int count = 0;
  bounds[count++] = lo;
  for (int i = 0; i < cutCount; ++i) {
    if (cuts[i] > lo && cuts[i] < hi) bounds[count++] = cuts[i];
  }
  bounds[count++] = hi;
  for (int i = 0; i + 1 < count; ++i) {
    const double a = bounds[i];
    const double b = bounds[i + 1];
    const double fa = cubic(c3, c2, c1, c0, a);
    const double fb = cubic(c3, c2, c1, c0, b);
    if (fa == 0.0) return a;
    if (fb == 0.0) return b;
    if (!sameSign(fa, fb)) return bisect(c3, c2, c1, c0, a, b, tolerance);
  }
  return 0.0;
}

double calForwardVm(double s, double vT, double vs, double vmax, double a, double j, double /*T*/) {
  if (s <= 0.0) return vs;
  // Without acceleration or jerk the speed cannot change.
  if (!(a > 0.0) || !(j > 0.0)) return std::min({vs, vT, vmax});
  const double reachCap = std::fmin(vmax, vT);
  double tj = std::sqrt(std::fabs(vT - vs) / j);
  const double ta = a / j;
  // Rise from vs to v with the jerk alone covers (v + vs)·sqrt((v - vs)/j).
  const auto jerkOnly = [&](double top) {
    return std::min({vmax, vT, calCubicEq(1.0, vs, -vs * vs, -(j * s * s + vs * vs * vs), top, 0.0)});
  };
  if (tj < ta) {
    if (s > tj * (vs + vT) || vs > vT) return reachCap;
    return jerkOnly(std::fmin(vT, vs + a * a / j));
  }
  tj = ta;
  if (s > (vs + vT) / 2.0 * (tj + std::fabs(vT - vs) / a)) return reachCap;
  const double vk = vs + a * a / j;
  if (s < ta * (vs + vk)) {
    if (vs > vT) return reachCap;
    return jerkOnly(std::fmin(vT, vk));
  }
  // Jerk up, constant acceleration, jerk down: v²/(2a) + v·a/(2j) + (vs·a/(2j) - vs²/(2a) - s) = 0.
  const double qa = 1.0 / (2.0 * a);
  const double qb = a / (2.0 * j);
  const double qc = vs * a / (2.0 * j) - vs * vs / (2.0 * a) - s;
  const double disc = qb * qb - 4.0 * qa * qc;
  const double v = disc > 0.0 ? (-qb + std::sqrt(disc)) / (2.0 * qa) : 0.0;
  return std::min({vmax, vT, v});
}
