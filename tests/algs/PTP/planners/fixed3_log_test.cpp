// Per-cycle log lines give printf's "%1.3f" text.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "PTP/planners/fixed3_log.h"
#include "support/kernel_log_capture.h"

namespace {

class Fixed3Log : public KernelLogCapture {};

std::string printfLine(double a, double b, double c) {
  char line[256];
  std::snprintf(line, sizeof line, "circle arcRadius:%1.3f,arclen:%1.3f,rotAngLeft:%1.3f\r\n", a, b, c);
  return line;
}

TEST_F(Fixed3Log, TextEqualsPrintfForEveryKindOfValue) {
  static const char* const kLabels[3] = {"circle arcRadius:", ",arclen:", ",rotAngLeft:"};
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double rows[][3] = {
      {0.0005, -0.0005, 0.0015}, {-0.0, 0.0, 2.5e-4}, {1234.5675, -98765.4321, 1e-300},
      {nan, inf, -inf},          {1e20, -1e15, 0.9995},
  };
  for (const auto& r : rows) {
    lines().clear();
    LogFixed3(kLabels, r, 3);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0], printfLine(r[0], r[1], r[2]));
  }
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> any(-2000.0, 2000.0);
  for (int k = 0; k < 2000; ++k) {
    const double r[3] = {any(rng), any(rng) * 1e-3, std::round(any(rng)) / 1000.0 + 5e-4};
    lines().clear();
    LogFixed3(kLabels, r, 3);
    EXPECT_EQ(lines()[0], printfLine(r[0], r[1], r[2])) << k;
  }
}

TEST_F(Fixed3Log, AValueTooLongForTheLineEndsItWithinItsSize) {
  static const char* const kLabels[2] = {"S2:", ","};
  const double values[2] = {1e300, 1.0};
  LogFixed3(kLabels, values, 2);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0], "S2:\r\n");
}

}  // namespace
