#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "common/math/double_double.h"
#include "common/math/fast_trig.h"

namespace {

constexpr double kPio2 = 1.5707963267948966;
constexpr double kPio2Lo = 6.123233995736766e-17;
constexpr double kPi = 3.141592653589793;
constexpr double kPiLo = 1.2246467991473532e-16;
constexpr double kTiny = 2.2250738585072014e-308;  // smallest normal; marks results as inexact
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using vantrel::dd::Pair;

// Coefficients, lowest power first.
constexpr double kAcosCentre[] = {0.16666666666662514,  0.0750000000096709,   0.04464285630020157,
                                  0.030381982388515756, 0.022371152169352652, 0.01736953298172085,
                                  0.01378527665685755,  0.012778709976669479, 0.004673473145155259,
                                  0.019513507667442885};
constexpr double kAcosGap[] = {0.16666665442602524,  0.0750005893618872,   0.04462999611462665,
                               0.030549995761488355, 0.020909534856219665, 0.026269168340462175,
                               -0.024964199614698483, 0.13363201909794448, -0.26090827454028914,
                               0.41544851189409965,  -0.37184816772169554, 0.1791132167840255};
constexpr double kAcosNegativeTail[] = {1.5707956513160835,    0.21459070039207084,   0.08896369437915166,
                                        0.05039488847935731,   0.032396985820404005,  0.02133501549935443,
                                        0.013174237977692984,  0.007016307696008089,  0.0029726701401313776,
                                        0.0009157019394367251, 0.00017964077548315323, 1.6704029624342663e-5};
constexpr double kAcosPositiveTail[] = {-0.2145900291823555,    0.08895931658903455,   -0.05037781062999805,
                                        0.03235271184788014,    -0.021254923409705608, 0.013071073218290373,
                                        -0.006921689208385164,  0.0029121146856709392, -0.0008899459104279911,
                                        0.00017308835448808305, -1.5948666720264183e-5};
constexpr double kAsinCentre[] = {0.1666666666666559,   0.07500000000296961,  0.04464285685828159,
                                  0.030381958008195643, 0.0223717830666671,   0.017359351699647925,
                                  0.013888541015689478, 0.012148389282229265, 0.006615316519700908,
                                  0.019294278677523865, -0.015862044098847523, 0.03166583857928671};
constexpr double kAsinTail[] = {0.2145993335526539,     -0.08902591943055371,  0.05066596944575886,
                                -0.03319196194440096,   0.02298834795525572,   -0.01567460385872467,
                                0.0097868293573384,     -0.005204973157522395, 0.002191225598197944,
                                -0.0006702485124770181, 0.00013075641876579628, -1.2118982009892963e-5};

// c[0] + c[1]·x + ... + c[N-1]·x^(N-1) by Estrin's scheme: the same
// polynomial as the nested form, in three levels of independent products
// instead of one chain of N multiply-adds. For 10 to 12 coefficients.
template <std::size_t N>
inline double polynomial(double x, const double (&c)[N]) {
  static_assert(N >= 10 && N <= 12);
  auto at = [&c](std::size_t i) { return i < N ? c[i] : 0.0; };
  const double x2 = x * x;
  const double x4 = x2 * x2;
  const double x8 = x4 * x4;
  const double low = (c[0] + c[1] * x) + (c[2] + c[3] * x) * x2;
  const double mid = (c[4] + c[5] * x) + (c[6] + c[7] * x) * x2;
  const double high = N > 10 ? (c[8] + c[9] * x) + (at(10) + at(11) * x) * x2 : c[8] + c[9] * x;
  return low + mid * x4 + high * x8;
}

// 1/sqrt(w) for a positive normal w, to about 2e-5: an estimate from the bit
// pattern and one Newton correction. Plenty for the correction term of the
// root, and it keeps a division away from the divider the square root is busy
// with.
inline double inverseSqrtEstimate(double w) {
  const double y = std::bit_cast<double>(0x5fe6eb50c7b537a9ull - (std::bit_cast<std::uint64_t>(w) >> 1));
  return y * (1.5 - 0.5 * w * y * y);
}

// sqrt(w)·(c + cLo + t) as a double-double, for 0 < w <= 0.5 and |t| < c.
// The root gets one Newton correction (its square formed exactly through
// Veltkamp's split), the bracket keeps the rounding error of c + t, and the
// product is taken exactly before the low parts join in.
Pair sqrtTimes(double w, double c, double cLo, double t) {
  const double root = std::sqrt(w);
  const Pair rs = vantrel::dd::split(root);
  const double residual = ((w - rs.hi * rs.hi) - 2.0 * rs.hi * rs.lo) - rs.lo * rs.lo;
  const double rootLo = residual * 0.5 * inverseSqrtEstimate(w);

  const Pair bracket = vantrel::dd::fastTwoSum(c, t);
  const double bracketLo = bracket.lo + cLo;

  // Left unnormalised: the low part may exceed half an ulp of the high one a
  // little, which the callers' final sums absorb.
  const Pair p = vantrel::dd::twoProd(root, bracket.hi);
  return {p.hi, p.lo + (root * bracketLo + rootLo * bracket.hi)};
}

// acos on 0.4 < |x| <= 0.6: pi/2 - asin(x) with the rounding of both sums kept.
double Gap(double x) {
  const double z = x * x;
  const double p = x * z * polynomial(z, kAcosGap);
  const double s = x + p;
  const double h = kPio2 - s;
  return h + ((kPio2 - h) - s - (p - (s - x)) + kPio2Lo);
}

// asin on 0.5 < x: pi/2 - sqrt(1 - x)·(c - x·T(x)); the low part of c lies
// below it, the low part of pi/2 above.
double Tail(double x) {
  if (x < 1.0) {
    const double t = x * polynomial(x, kAsinTail);
    const Pair v = sqrtTimes(1.0 - x, 1.5707961988153776, -1.0640719477080884e-16, -t);
    const double h = kPio2 - v.hi;
    return h + ((((kPio2 - h) - v.hi) - v.lo) + kPio2Lo);
  }
  if (x == 1.0) return kPio2 + kTiny;
  return kNaN;
}

}  // namespace

double acosQ(double x) {
  if (x >= -0.4 && x <= 0.4) {
    if (std::fabs(x) <= 1.722546424198833e-16) return kPio2 + kTiny;
    const double z = x * x;
    return kPio2 - (x + x * z * polynomial(z, kAcosCentre));
  }
  if (x >= -0.6 && x <= 0.6) return Gap(x);
  if (x > -1.0 && x < -0.6) {
    // pi - sqrt(1 + x)·Q(x), the low part of pi added back.
    const double v = std::sqrt(1.0 + x) * polynomial(x, kAcosNegativeTail);
    const double h = kPi - v;
    return h + (((kPi - h) - v) + kPiLo);
  }
  if (x > 0.6 && x < 1.0) {
    // sqrt(1 - x)·(c + x·R(x)); the low part of c lies below it.
    const double t = x * polynomial(x, kAcosPositiveTail);
    const Pair v = sqrtTimes(1.0 - x, 1.5707956046853235, -2.958745337546587e-18, t);
    return v.hi + v.lo;
  }
  if (x == 1.0) return 0.0;
  if (x == -1.0) return kPi + kTiny;
  return kNaN;
}

double asinQ(double x) {
  const double a = std::fabs(x);
  if (a <= 0.5) {
    if (a <= 2.1491193328908206e-8) {
      if (a < kTiny) return x - x * x;
      return x * (1.0 + kTiny);
    }
    const double z = x * x;
    return x + x * z * polynomial(z, kAsinCentre);
  }
  if (x > 0.5) return Tail(x);
  if (x < -0.5) return -Tail(-x);
  return kNaN;
}
