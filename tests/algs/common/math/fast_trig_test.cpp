// The library's trigonometry against long-double references rounded to double.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/math/fast_trig.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMinNormal = 2.2250738585072014e-308;
constexpr double kTableLimit = 524288.6169851497;

// Distance in representable doubles (0 for identical values).
std::int64_t ulpDistance(double a, double b) {
  auto ordered = [](double d) {
    std::int64_t i;
    std::memcpy(&i, &d, sizeof i);
    return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
  };
  const std::int64_t d = ordered(a) - ordered(b);
  return d < 0 ? -d : d;
}

std::string hex(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%a", d);
  return buf;
}

struct Function {
  const char* name;
  double (*fast)(double);
  long double (*reference)(long double);
};

const Function kSin{"sinQ", sinQ, sinl};
const Function kCos{"cosQ", cosQ, cosl};
const Function kTan{"tanQ", tanQ, tanl};
const Function kAcos{"acosQ", acosQ, acosl};
const Function kAsin{"asinQ", asinQ, asinl};

// Checks f on x against its reference within one ulp; returns false on a miss
// (reported once per sweep to keep the output readable).
bool withinOneUlp(const Function& f, double x, std::string* failure) {
  const double got = f.fast(x);
  const double want = static_cast<double>(f.reference(x));
  if (ulpDistance(got, want) <= 1) return true;
  *failure = std::string(f.name) + "(" + hex(x) + ") = " + hex(got) + ", reference " + hex(want) + " (" +
             std::to_string(ulpDistance(got, want)) + " ulp)";
  return false;
}

struct Interval {
  const char* name;
  double lo;
  double hi;
  bool logScale;  // magnitude spread evenly over the exponents, random sign
};

void sweep(const std::vector<Function>& functions, const Interval& in, int points, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> linear(in.lo, in.hi);
  std::uniform_real_distribution<double> exponent(std::log(in.lo), std::log(in.hi));
  int misses = 0;
  std::string first;
  for (int i = 0; i < points; ++i) {
    double x = in.logScale ? std::exp(exponent(rng)) : linear(rng);
    if (in.logScale && (rng() & 1)) x = -x;
    for (const Function& f : functions) {
      std::string failure;
      if (!withinOneUlp(f, x, &failure)) {
        if (misses++ == 0) first = failure;
      }
    }
  }
  EXPECT_EQ(misses, 0) << in.name << ": first miss " << first;
}

TEST(FastTrig, ForwardFunctionsWithinOneUlpOnEveryInterval) {
  const Interval intervals[] = {
      {"|x| < pi/4", -0.7853981633974483, 0.7853981633974483, false},
      {"pi/4 .. 524288", 0.7853981633974483, 524288.0, true},
      {"below the table limit", 520000.0, kTableLimit, false},
      {"above the table limit", kTableLimit, 530000.0, false},
      {"1e6 .. 1e308", 1e6, 1e308, true},
      {"tiny normals", kMinNormal, 1e-7, true},
      {"subnormals", 4.9406564584124654e-324, kMinNormal, true},
  };
  std::uint64_t seed = 1;
  for (const Interval& in : intervals) sweep({kSin, kCos, kTan}, in, 20000, seed++);
}

// Each binary exponent selects its own pieces of the 2/pi table.
TEST(FastTrig, TableReductionWithinOneUlpForEveryExponent) {
  std::mt19937_64 rng(20);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  int misses = 0;
  std::string first;
  for (int e = 19; e <= 1023; ++e) {
    for (int i = 0; i < 12; ++i) {
      const double x = std::ldexp(mantissa(rng), e) * ((i & 1) ? -1.0 : 1.0);
      if (std::fabs(x) < kTableLimit) continue;
      for (const Function& f : {kSin, kCos, kTan}) {
        std::string failure;
        if (!withinOneUlp(f, x, &failure) && misses++ == 0) first = failure;
      }
    }
  }
  EXPECT_EQ(misses, 0) << "first miss " << first;
}

TEST(FastTrig, HardArguments) {
  const double cases[] = {
      1e22,
      6381956970095103.0 * 0x1p797,  // the double closest to a multiple of pi/2
      5.319372648326541e+255,        // another very close one
      std::numeric_limits<double>::max(),
      kTableLimit,
      std::nextafter(kTableLimit, 0.0),
      std::nextafter(kTableLimit, kInf),
      0x1p19,
      1.5707963267948966,
      3.141592653589793,
      0.7853981633974483,
      0.7853981633974484,
  };
  for (const double c : cases) {
    for (const double x : {c, -c}) {
      for (const Function& f : {kSin, kCos, kTan}) {
        std::string failure;
        EXPECT_TRUE(withinOneUlp(f, x, &failure)) << failure;
      }
    }
  }
  EXPECT_LE(ulpDistance(sinQ(1e22), -0.8522008497671888), 1) << hex(sinQ(1e22));
  EXPECT_LE(ulpDistance(cosQ(1e22), 0.523214785395139), 1) << hex(cosQ(1e22));
}

TEST(FastTrig, SineAndTangentOddCosineEven) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> exponent(-30.0, 700.0);
  for (int i = 0; i < 5000; ++i) {
    const double x = std::exp(exponent(rng));
    ASSERT_EQ(sinQ(-x), -sinQ(x)) << hex(x);
    ASSERT_EQ(tanQ(-x), -tanQ(x)) << hex(x);
    ASSERT_EQ(cosQ(-x), cosQ(x)) << hex(x);
  }
}

TEST(FastTrig, InverseFunctionsWithinOneUlpOnEveryInterval) {
  const struct {
    Function f;
    Interval in;
  } cases[] = {
      {kAcos, {"acos |x| <= 0.4", -0.4, 0.4, false}},
      {kAcos, {"acos 0.4 < x <= 0.6", 0.4, 0.6, false}},
      {kAcos, {"acos -0.6 <= x < -0.4", -0.6, -0.4, false}},
      {kAcos, {"acos 0.6 < x < 1", 0.6, 1.0, false}},
      {kAcos, {"acos -1 < x < -0.6", -1.0, -0.6, false}},
      {kAcos, {"acos tiny", 1e-300, 1e-5, true}},
      {kAsin, {"asin |x| <= 0.5", -0.5, 0.5, false}},
      {kAsin, {"asin 0.5 < x < 1", 0.5, 1.0, false}},
      {kAsin, {"asin -1 < x < -0.5", -1.0, -0.5, false}},
      {kAsin, {"asin tiny", 1e-300, 1e-5, true}},
      {kAsin, {"asin subnormals", 4.9406564584124654e-324, kMinNormal, true}},
  };
  std::uint64_t seed = 100;
  for (const auto& c : cases) sweep({c.f}, c.in, 20000, seed++);

  // Close to the ends +-1, where the square root takes over.
  std::mt19937_64 rng(200);
  std::uniform_real_distribution<double> exponent(std::log(1e-16), std::log(0.3));
  int misses = 0;
  std::string first;
  for (int i = 0; i < 20000; ++i) {
    const double d = std::exp(exponent(rng));
    for (const double x : {1.0 - d, d - 1.0}) {
      for (const Function& f : {kAcos, kAsin}) {
        std::string failure;
        if (!withinOneUlp(f, x, &failure) && misses++ == 0) first = failure;
      }
    }
  }
  EXPECT_EQ(misses, 0) << "near +-1, first miss " << first;
}

// The interval borders of acosQ: the values on both sides stay accurate and
// keep decreasing, so no step appears where one formula hands over.
TEST(FastTrig, ArcCosineContinuousAtIntervalBorders) {
  for (const double border : {-0.6, -0.4, 0.4, 0.6}) {
    double x = border;
    for (int i = 0; i < 16; ++i) x = std::nextafter(x, -kInf);
    double previous = acosQ(x);
    for (int i = 0; i < 32; ++i) {
      x = std::nextafter(x, kInf);
      const double value = acosQ(x);
      EXPECT_LE(value, previous) << "acosQ rises at " << hex(x) << " near " << border;
      std::string failure;
      EXPECT_TRUE(withinOneUlp(kAcos, x, &failure)) << failure;
      previous = value;
    }
  }
  for (const double border : {-0.5, 0.5}) {
    double x = border;
    for (int i = 0; i < 16; ++i) x = std::nextafter(x, -kInf);
    double previous = asinQ(x);
    for (int i = 0; i < 32; ++i) {
      x = std::nextafter(x, kInf);
      EXPECT_GE(asinQ(x), previous) << "asinQ falls at " << hex(x);
      previous = asinQ(x);
    }
  }
}

TEST(FastTrig, SpecialValues) {
  const double tinyNormal = kMinNormal;
  const double subnormal = 1e-310;
  const struct {
    const char* what;
    double got;
    double want;
  } exact[] = {
      {"sinQ(0)", sinQ(0.0), 0.0},
      {"cosQ(0)", cosQ(0.0), 1.0},
      {"cosQ(-0)", cosQ(-0.0), 1.0},
      {"tanQ(0)", tanQ(0.0), 0.0},
      {"sinQ(subnormal)", sinQ(subnormal), subnormal},
      {"tanQ(subnormal)", tanQ(-subnormal), -subnormal},
      {"sinQ(smallest normal)", sinQ(tinyNormal), tinyNormal},
      {"tanQ(1e-9)", tanQ(1e-9), 1e-9},
      {"tanQ(1.7e-8)", tanQ(1.7e-8), 1.7e-8},
      {"acosQ(1)", acosQ(1.0), 0.0},
      {"acosQ(-1)", acosQ(-1.0), 3.141592653589793},
      {"acosQ(0)", acosQ(0.0), 1.5707963267948966},
      {"acosQ(1e-17)", acosQ(1e-17), 1.5707963267948966},
      {"asinQ(1)", asinQ(1.0), 1.5707963267948966},
      {"asinQ(-1)", asinQ(-1.0), -1.5707963267948966},
      {"asinQ(0)", asinQ(0.0), 0.0},
      {"asinQ(1e-9)", asinQ(1e-9), 1e-9},
      {"asinQ(subnormal)", asinQ(subnormal), subnormal},
  };
  for (const auto& c : exact) EXPECT_EQ(hex(c.got), hex(c.want)) << c.what;
  EXPECT_TRUE(std::signbit(sinQ(-0.0)));
  EXPECT_TRUE(std::signbit(asinQ(-0.0)));

  const struct {
    const char* what;
    double value;
  } nans[] = {
      {"sinQ(inf)", sinQ(kInf)},       {"sinQ(-inf)", sinQ(-kInf)},         {"sinQ(NaN)", sinQ(kNaN)},
      {"cosQ(inf)", cosQ(kInf)},       {"cosQ(NaN)", cosQ(kNaN)},           {"tanQ(-inf)", tanQ(-kInf)},
      {"tanQ(NaN)", tanQ(kNaN)},       {"acosQ(1.0000001)", acosQ(1.0000001)}, {"acosQ(-1.0000001)", acosQ(-1.0000001)},
      {"acosQ(NaN)", acosQ(kNaN)},     {"acosQ(inf)", acosQ(kInf)},         {"asinQ(1.0000001)", asinQ(1.0000001)},
      {"asinQ(-2)", asinQ(-2.0)},      {"asinQ(NaN)", asinQ(kNaN)},         {"asinQ(-inf)", asinQ(-kInf)},
  };
  for (const auto& c : nans) EXPECT_TRUE(std::isnan(c.value)) << c.what << " = " << c.value;
}

TEST(FastTrig, LeavesErrnoAlone) {
  const double inputs[] = {0.0, 0.5, -0.7, 1.0, -1.0, 1.0000001, -3.0, 1e300, kInf, -kInf, kNaN, 1e-310};
  for (const double x : inputs) {
    errno = 0;
    (void)sinQ(x);
    (void)cosQ(x);
    (void)tanQ(x);
    (void)acosQ(x);
    (void)asinQ(x);
    EXPECT_EQ(errno, 0) << "argument " << x;
  }
}

}  // namespace
