// The large-argument reduction and its table of 2/pi.
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "common/math/trig_reduction.h"

namespace {

// The bits of 2/pi after the binary point (position 1 first) held by one row.
std::vector<int> rowBits(int row) {
  const int lead = 54 + 8 * row;
  std::vector<int> bits;
  for (int p = 0; p < kTwoOverPiPieceCount; ++p) {
    const int last = 27 * p - lead + 27;  // position of the piece's lowest bit
    const double scaled = std::ldexp(kTwoOverPiPieces[row][p], last - 400);
    EXPECT_EQ(scaled, std::floor(scaled)) << "row " << row << " piece " << p << " is not a whole 27-bit number";
    EXPECT_LT(scaled, 134217728.0) << "row " << row << " piece " << p;
    const auto piece = static_cast<std::uint32_t>(scaled);
    for (int b = 26; b >= 0; --b) {
      const int position = last - b;
      if (position >= 1) bits.push_back((piece >> b) & 1);
      else EXPECT_EQ((piece >> b) & 1, 0u) << "row " << row << " has a bit before the binary point";
    }
  }
  return bits;
}

TEST(TrigReduction, TableRowsHoldTheSameBitsOfTwoOverPi) {
  const std::vector<int> reference = rowBits(0);
  ASSERT_GE(reference.size(), 1100u);
  for (int row = 1; row < kTwoOverPiRows; ++row) {
    const std::vector<int> bits = rowBits(row);
    const std::size_t common = std::min(bits.size(), reference.size());
    ASSERT_GE(common, 1100u);
    for (std::size_t i = 0; i < common; ++i) ASSERT_EQ(bits[i], reference[i]) << "row " << row << " bit " << i + 1;
  }
  // The first 64 bits against the long-double value of 2/pi.
  long double leading = 0.0L;
  for (int i = 0; i < 64; ++i) leading += reference[i] * std::ldexp(1.0L, -(i + 1));
  EXPECT_NEAR(static_cast<double>(leading), 0.63661977236758134307553505349005744813783858296182579499L, 1e-18);
}

// sin(x) rebuilt from the quadrant and r in long double agrees with sinl(x):
// the reduction alone, without the double kernels.
TEST(TrigReduction, QuadrantAndRemainderRebuildTheSine) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  for (int e = 0; e <= 1023; e += 1) {
    for (int i = 0; i < 6; ++i) {
      const double x = std::ldexp(mantissa(rng), e) * ((i & 1) ? -1.0 : 1.0);
      double r = 0.0;
      double rLow = 0.0;
      int q = -1;
      ReduceFull(&r, &rLow, &q, x);
      ASSERT_GE(q, 0);
      ASSERT_LE(q, 3);
      ASSERT_LE(std::fabs(r), 0.7853981633974483 * (1 + 1e-9)) << x;
      const long double rr = static_cast<long double>(r) + rLow;
      const long double rebuilt = q == 0 ? sinl(rr) : q == 1 ? cosl(rr) : q == 2 ? -sinl(rr) : -cosl(rr);
      const long double want = sinl(static_cast<long double>(x));
      EXPECT_LE(std::fabs(static_cast<double>(rebuilt - want)), 1e-17 + 2e-16 * std::fabs(static_cast<double>(want)))
          << "x = " << x;

      double rPlain = 0.0;
      int qPlain = -1;
      ReduceFull(&rPlain, &qPlain, x);
      EXPECT_EQ(rPlain, r);
      EXPECT_EQ(qPlain, q);
    }
  }
}

TEST(TrigReduction, BelowOneNeedsNoReduction) {
  for (const double x : {0.0, -0.5, 0.7853981633974483, 0.99999999999999989}) {
    double r = -1.0;
    int q = -1;
    ReduceFull(&r, &q, x);
    EXPECT_EQ(r, x);
    EXPECT_EQ(q, 0);
  }
}

}  // namespace
