#include "common/math/trig_reduction.h"

#include <bit>
#include <cstdint>

#include "common/math/double_double.h"

namespace {

// 2^-400: brings every finite argument low enough that Veltkamp's split and
// the products with the 2^400-scaled table stay clear of overflow.
constexpr double kDownScale = 3.8725919148493183e-121;
// 1.5·2^52: adding and subtracting it rounds |t| < 2^51 to an integer.
constexpr double kRoundToInt = 6755399441055744.0;
constexpr double kPio2Hi = 1.5707963267948966;
constexpr double kPio2Lo = 6.123233995736766e-17;

constexpr int kPieceBits = 27;
constexpr int kRowStep = 8;
constexpr int kUsedPieces = 7;

// Splits t into its nearest integer (added to k) and the rest, in [-0.5, 0.5]. Exact.
inline double takeInteger(double t, std::int64_t& k) {
  const double n = (t + kRoundToInt) - kRoundToInt;
  k += static_cast<std::int64_t>(n);
  return t - n;
}

}  // namespace

// Payne-Hanek. x = M·2^E with a 53-bit M; x is split into xh (26 bits, a
// multiple of 2^(E+27)) and xl (26 bits, a multiple of 2^E). The row and first
// piece p0 are chosen so that xh·piece[p0] and everything before it are
// multiples of 4 (they drop out of the quadrant), while xl·piece[p0] and
// xh·piece[p0+1] sit at most 2^35 high. Seven pieces then reach 2^-127 below
// the unit, well under the smallest fraction any finite double produces
// (about 2^-62), so the fraction keeps full precision even then.
void ReduceFull(double* r, double* rLow, int* q, double x) {
  const int biased = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7ff);
  if (biased < 1023) {  // |x| < 1 needs no table (and would index before it)
    *r = x;
    *rLow = 0.0;
    *q = 0;
    return;
  }
  // Product weight of piece 0 against the bit 2^2 (>= 0 for |x| >= 1).
  const int shift = biased - 1075 + 54 - 2;
  const int rho = shift % kPieceBits;
  // The row whose cuts fall at most 7 bits below the weight 2^2.
  const int row = rho < kRowStep ? 0 : (kPieceBits - rho + kRowStep - 1) / kRowStep;
  const int p0 = (shift + kRowStep * row) / kPieceBits;
  const double* piece = kTwoOverPiPieces[row] + p0;

  const double xs = x * kDownScale;
  const vantrel::dd::Pair xp = vantrel::dd::split(xs);
  const double xh = xp.hi;
  const double xl = xp.lo;

  // Integer parts leave through k; the two top levels of fractions add up
  // exactly (their bits lie within 2^1 .. 2^-52).
  std::int64_t k = 0;
  double s = takeInteger(xl * piece[0], k) + takeInteger(xh * piece[1], k);
  s += takeInteger(xl * piece[1], k);
  s += takeInteger(xh * piece[2], k);
  s = takeInteger(s, k);

  // Lower levels (below 2^-19) in double-double, smallest first.
  vantrel::dd::Pair rest{xl * piece[kUsedPieces - 1], 0.0};
  const auto add = [&rest](double t) {
    const vantrel::dd::Pair sum = vantrel::dd::twoSum(rest.hi, t);
    rest.hi = sum.hi;
    rest.lo += sum.lo;
  };
  for (int i = kUsedPieces - 2; i >= 2; --i) {
    add(xh * piece[i + 1]);
    add(xl * piece[i]);
  }

  vantrel::dd::Pair f = vantrel::dd::twoSum(s, rest.hi);
  f.lo += rest.lo;
  f.hi = takeInteger(f.hi, k);
  f = vantrel::dd::twoSum(f.hi, f.lo);

  // r = f·pi/2, kept as a double-double.
  const vantrel::dd::Pair p = vantrel::dd::twoProd(f.hi, kPio2Hi);
  const vantrel::dd::Pair out = vantrel::dd::fastTwoSum(p.hi, p.lo + (f.hi * kPio2Lo + f.lo * kPio2Hi));
  *r = out.hi;
  *rLow = out.lo;
  *q = static_cast<int>(k & 3);
}

void ReduceFull(double* r, int* q, double x) {
  double rLow = 0.0;
  ReduceFull(r, &rLow, q, x);
}
