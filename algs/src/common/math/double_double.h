#pragma once

// Error-free transformations on doubles, the building blocks of the
// double-double steps in the trigonometry. They rely on every operation being
// rounded on its own: the build keeps floating-point contraction off (ISO C++
// mode), so no multiply-add is fused behind our back.

namespace vantrel::dd {

// Veltkamp's constant 2^27 + 1: splits a double into two halves of at most 26
// significant bits each, whose products are exact.
inline constexpr double kSplitter = 134217729.0;

struct Pair {
  double hi;
  double lo;
};

// a + b = hi + lo exactly, any order of magnitude.
inline Pair twoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a + b = hi + lo exactly when |a| >= |b| (or a is zero).
inline Pair fastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

inline Pair split(double a) {
  const double c = kSplitter * a;
  const double hi = c - (c - a);
  return {hi, a - hi};
}

// a * b = hi + lo exactly (Dekker), barring overflow and underflow.
inline Pair twoProd(double a, double b) {
  const double p = a * b;
  const Pair as = split(a);
  const Pair bs = split(b);
  return {p, ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo};
}

}  // namespace vantrel::dd
