// The largest curvature of the blend curve, which caps the blend's speed:
// at one speed v along the curve the commanded acceleration is k·v², so
// v <= sqrt(a / k_max) keeps it within a. The quintic mix bends hardest
// between the ends and the middle (and next to an arc's end), so the curve
// is sampled evenly and the largest sample refined by golden section.
#include <cmath>

#include "PTP/path/blending.h"
#include "PTP/path/path_vector.h"

namespace {

constexpr int kSamples = 64;
constexpr int kRefinements = 30;

// |P' x P''| / |P'|³; 0 where the curve does not move.
double curvatureAt(const Blending& b, double u) {
  double d1[3];
  double d2[3];
  b.calcFstDeri(u, d1);
  b.calcSecDeri(u, d2);
  double c[3];
  path_vector::cross3(d1, d2, c);
  const double speed = path_vector::norm3(d1);
  if (!(speed > 0.0)) return 0.0;
  return path_vector::norm3(c) / (speed * speed * speed);
}

}  // namespace

double Blending::largestCurvature() const {
  double best = curvatureAt(*this, 0.0);
  int at = 0;
  for (int i = 1; i <= kSamples; ++i) {
    const double k = curvatureAt(*this, static_cast<double>(i) / kSamples);
    if (k > best) {
      best = k;
      at = i;
    }
  }
  // Golden section on the samples around the largest one.
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double lo = static_cast<double>(at > 0 ? at - 1 : 0) / kSamples;
  double hi = static_cast<double>(at < kSamples ? at + 1 : kSamples) / kSamples;
  double x1 = hi - ratio * (hi - lo);
  double x2 = lo + ratio * (hi - lo);
  double k1 = curvatureAt(*this, x1);
  double k2 = curvatureAt(*this, x2);
  for (int n = 0; n < kRefinements; ++n) {
    if (k1 > k2) {
      hi = x2;
      x2 = x1;
      k2 = k1;
      x1 = hi - ratio * (hi - lo);
      k1 = curvatureAt(*this, x1);
    } else {
      lo = x1;
      x1 = x2;
      k1 = k2;
      x2 = lo + ratio * (hi - lo);
      k2 = curvatureAt(*this, x2);
    }
  }
  return std::fmax(best, std::fmax(k1, k2));
}
