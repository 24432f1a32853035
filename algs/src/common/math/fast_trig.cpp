#include "common/math/fast_trig.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "common/math/double_double.h"
#include "common/math/trig_reduction.h"

namespace {

constexpr double kPio4 = 0.7853981633974483;
constexpr double kMinNormal = 2.2250738585072014e-308;
// Below this the three-part reduction is exact; above it the table takes over.
constexpr double kMediumLimit = 524288.6169851497;
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kRoundToInt = 6755399441055744.0;  // 1.5·2^52
// pi/2 in three parts; the first two carry 35 bits, so k times them is exact.
constexpr double kPio2A = 1.5707963267923333;
constexpr double kPio2B = 2.5633441515839558e-12;
constexpr double kPio2C = 1.0562999066987428e-23;
// tan(x) rounds to x below this.
constexpr double kTanIdentity = 1.7057571449180422e-08;

// Polynomial tails of the kernels, in z = r².
inline double sinTail(double z) {
  return -0.1666666666666663 +
         z * (0.008333333333322118 +
              z * (-0.0001984126982958954 +
                   z * (2.7557313621385722e-6 + z * (-2.5050747762857807e-8 + z * 1.5896230157654656e-10))));
}

inline double cosTail(double z) {  // C(r) = 1 + z·(-0.5 + z·cosTail(z))
  return 0.041666666666666595 +
         z * (-0.0013888888888873056 +
              z * (2.4801587288851704e-5 +
                   z * (-2.755731417929674e-7 + z * (2.087570084197473e-9 + z * -1.1358536521387682e-11))));
}

// The reduced argument as r + rLow; rLow is below half an ulp of r.
struct Reduced {
  double r;
  double rLow;
  int q;
  bool valid;  // false for infinity and NaN
};

// S(r) and C(r); the low part of r joins as the first-order term.
inline double kernelSin(const Reduced& v) {
  const double z = v.r * v.r;
  return v.r + (v.r * z * sinTail(z) + v.rLow);
}

inline double kernelCos(const Reduced& v) {
  const double z = v.r * v.r;
  return 1.0 + (z * (-0.5 + z * cosTail(z)) - v.r * v.rLow);
}

// x = (4m + q)·pi/2 + r with |r| about pi/4 at most.
inline Reduced reduce(double x) {
  const double a = std::fabs(x);
  if (a < kPio4) return {x, 0.0, 0, true};
  if (a < kMediumLimit) {
    const double k = (x * kTwoOverPi + kRoundToInt) - kRoundToInt;
    const double t = x - k * kPio2A;
    const double h = t - k * kPio2B;
    // The second subtraction carried as a double-double.
    const vantrel::dd::Pair r = vantrel::dd::twoSum(h, (t - h) - k * kPio2B - k * kPio2C);
    return {r.hi, r.lo, static_cast<int>(static_cast<std::int32_t>(k)) & 3, true};
  }
  if (a <= std::numeric_limits<double>::max()) {
    Reduced out{0.0, 0.0, 0, true};
    ReduceFull(&out.r, &out.rLow, &out.q, x);
    return out;
  }
  return {0.0, 0.0, 0, false};
}

// S(r) and C(r) as double-doubles, for the quotient of the tangent: the
// leading terms r and 1 - z/2 are added without loss, z = r² is exact.
inline vantrel::dd::Pair kernelSinPair(const Reduced& v) {
  const vantrel::dd::Pair z = vantrel::dd::twoProd(v.r, v.r);
  return vantrel::dd::fastTwoSum(v.r, v.r * z.hi * sinTail(z.hi) + v.rLow);
}

inline vantrel::dd::Pair kernelCosPair(const Reduced& v) {
  const vantrel::dd::Pair z = vantrel::dd::twoProd(v.r, v.r);
  const vantrel::dd::Pair lead = vantrel::dd::fastTwoSum(1.0, -0.5 * z.hi);
  const double rest = z.hi * (z.hi * cosTail(z.hi)) - 0.5 * z.lo - v.r * v.rLow;
  return vantrel::dd::fastTwoSum(lead.hi, lead.lo + rest);
}

// (n.hi + n.lo) / (d.hi + d.lo), one rounding at the end.
inline double divide(vantrel::dd::Pair n, vantrel::dd::Pair d) {
  const double q = n.hi / d.hi;
  const vantrel::dd::Pair p = vantrel::dd::twoProd(q, d.hi);
  const double remainder = ((n.hi - p.hi) - p.lo + n.lo) - q * d.lo;
  return q + remainder / d.hi;
}

}  // namespace

double sinQ(double x) {
  if (std::fabs(x) < kMinNormal) return x * 0.9999999999999999;
  const Reduced v = reduce(x);
  if (!v.valid) return x - x;
  switch (v.q) {
    case 0: return kernelSin(v);
    case 1: return kernelCos(v);
    case 2: return -kernelSin(v);
    default: return -kernelCos(v);
  }
}

double cosQ(double x) {
  if (x == 0.0) return 1.0;
  const Reduced v = reduce(x);
  if (!v.valid) return x - x;
  switch (v.q) {
    case 0: return kernelCos(v);
    case 1: return -kernelSin(v);
    case 2: return -kernelCos(v);
    default: return kernelSin(v);
  }
}

double tanQ(double x) {
  const double a = std::fabs(x);
  if (a < kMinNormal) return x * 0.9999999999999999;
  if (a < kTanIdentity) return x;
  const Reduced v = reduce(x);
  if (!v.valid) return x - x;
  // Quadrants 1 and 3 give -cot(r); r is never zero there (no multiple of
  // pi/2 other than 0 is a double).
  // The quotient of two rounded kernels could be off by more than an ulp, so
  // both are kept as double-doubles.
  if ((v.q & 1) == 0) return divide(kernelSinPair(v), kernelCosPair(v));
  return -divide(kernelCosPair(v), kernelSinPair(v));
}
