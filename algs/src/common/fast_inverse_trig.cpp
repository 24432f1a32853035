#include <cmath>
#include <limits>

#include "common/double_double.h"
#include "common/fast_trig.h"

namespace {

constexpr double kPio2 = 1.5707963267948966;
constexpr double kPio2Lo = 6.123233995736766e-17;
constexpr double kPi = 3.141592653589793;
constexpr double kPiLo = 1.2246467991473532e-16;
constexpr double kTiny = 2.2250738585072014e-308;  // smallest normal; marks results as inexact
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using vantrel::dd::Pair;

// sqrt(w)·(c + cLo + t) as a double-double, for 0 < w <= 0.5 and |t| < c.
// The root gets one Newton correction (its square formed exactly through
// Veltkamp's split), the bracket keeps the rounding error of c + t, and the
// product is taken exactly before the low parts join in.
Pair sqrtTimes(double w, double c, double cLo, double t) {
  const double root = std::sqrt(w);
  const Pair rs = vantrel::dd::split(root);
  const double residual = ((w - rs.hi * rs.hi) - 2.0 * rs.hi * rs.lo) - rs.lo * rs.lo;
  const double rootLo = residual * (0.5 / root);

  const Pair bracket = vantrel::dd::fastTwoSum(c, t);
  const double bracketLo = bracket.lo + cLo;

  const Pair p = vantrel::dd::twoProd(root, bracket.hi);
  return vantrel::dd::fastTwoSum(p.hi, p.lo + (root * bracketLo + rootLo * bracket.hi));
}

// acos on 0.4 < |x| <= 0.6: pi/2 - asin(x) with the rounding of both sums kept.
double Gap(double x) {
  const double z = x * x;
  const double p =
      x * z *
      (0.16666665442602524 +
       z * (0.0750005893618872 +
            z * (0.04462999611462665 +
                 z * (0.030549995761488355 +
                      z * (0.020909534856219665 +
                           z * (0.026269168340462175 +
                                z * (-0.024964199614698483 +
                                     z * (0.13363201909794448 +
                                          z * (-0.26090827454028914 +
                                               z * (0.41544851189409965 +
                                                    z * (-0.37184816772169554 +
                                                         z * 0.1791132167840255)))))))))));
  const double s = x + p;
  const double h = kPio2 - s;
  return h + ((kPio2 - h) - s - (p - (s - x)) + kPio2Lo);
}

// asin on 0.5 < x: pi/2 - sqrt(1 - x)·(c - x·T(x)).
double Tail(double x) {
  if (x < 1.0) {
    const double t =
        x * (0.2145993335526539 +
             x * (-0.08902591943055371 +
                  x * (0.05066596944575886 +
                       x * (-0.03319196194440096 +
                            x * (0.02298834795525572 +
                                 x * (-0.01567460385872467 +
                                      x * (0.0097868293573384 +
                                           x * (-0.005204973157522395 +
                                                x * (0.002191225598197944 +
                                                     x * (-0.0006702485124770181 +
                                                          x * (0.00013075641876579628 +
                                                               x * -1.2118982009892963e-5)))))))))));
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
    const double p =
        0.16666666666662514 +
        z * (0.0750000000096709 +
             z * (0.04464285630020157 +
                  z * (0.030381982388515756 +
                       z * (0.022371152169352652 +
                            z * (0.01736953298172085 +
                                 z * (0.01378527665685755 +
                                      z * (0.012778709976669479 +
                                           z * (0.004673473145155259 + z * 0.019513507667442885))))))));
    return kPio2 - (x + x * z * p);
  }
  if (x >= -0.6 && x <= 0.6) return Gap(x);
  if (x > -1.0 && x < -0.6) {
    const double q =
        1.5707956513160835 +
        x * (0.21459070039207084 +
             x * (0.08896369437915166 +
                  x * (0.05039488847935731 +
                       x * (0.032396985820404005 +
                            x * (0.02133501549935443 +
                                 x * (0.013174237977692984 +
                                      x * (0.007016307696008089 +
                                           x * (0.0029726701401313776 +
                                                x * (0.0009157019394367251 +
                                                     x * (0.00017964077548315323 +
                                                          x * 1.6704029624342663e-5))))))))));
    const double v = std::sqrt(1.0 + x) * q;
    const double h = kPi - v;
    return h + (((kPi - h) - v) + kPiLo);
  }
  if (x > 0.6 && x < 1.0) {
    const double t =
        x * (-0.2145900291823555 +
             x * (0.08895931658903455 +
                  x * (-0.05037781062999805 +
                       x * (0.03235271184788014 +
                            x * (-0.021254923409705608 +
                                 x * (0.013071073218290373 +
                                      x * (-0.006921689208385164 +
                                           x * (0.0029121146856709392 +
                                                x * (-0.0008899459104279911 +
                                                     x * (0.00017308835448808305 +
                                                          x * -1.5948666720264183e-5))))))))));
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
    return x + x * z *
                   (0.1666666666666559 +
                    z * (0.07500000000296961 +
                         z * (0.04464285685828159 +
                              z * (0.030381958008195643 +
                                   z * (0.0223717830666671 +
                                        z * (0.017359351699647925 +
                                             z * (0.013888541015689478 +
                                                  z * (0.012148389282229265 +
                                                       z * (0.006615316519700908 +
                                                            z * (0.019294278677523865 +
                                                                 z * (-0.015862044098847523 +
                                                                      z * 0.03166583857928671)))))))))));
  }
  if (x > 0.5) return Tail(x);
  if (x < -0.5) return -Tail(-x);
  return kNaN;
}
