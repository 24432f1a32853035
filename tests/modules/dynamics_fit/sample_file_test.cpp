#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <vector>

#include "dynamics_fit/dynamics_identify.h"
#include "support/brevan_rig.h"

namespace zelor::test::dynamics {
namespace {

using zelor::modules::dynamics::DynamicsIdentify;

constexpr float kQuarterTurn = 1.5707964F;

// Positions of every joint per line, and torques 1..6 after them.
std::string sampleLines(const std::vector<std::array<float, 6>>& q, const std::string& padding = "") {
  std::string text;
  char buf[64];
  for (const auto& row : q) {
    for (float v : row) {
      std::snprintf(buf, sizeof buf, "%.9g,", static_cast<double>(v));
      text += buf;
    }
    text += "1,2,3,4,5,6" + padding + "\n";
  }
  return text;
}

// The expected kept rows, from the documented differences in double.
std::vector<std::array<double, 18>> expectedRows(const std::vector<std::array<float, 6>>& q) {
  const std::size_t n = q.size();
  auto diff = [n](const std::vector<std::array<double, 6>>& x) {
    std::vector<std::array<double, 6>> d(n);
    for (int c = 0; c < 6; ++c) {
      d[0][c] = (x[1][c] - x[0][c]) / 0.02;
      for (std::size_t i = 1; i + 1 < n; ++i) d[i][c] = (x[i + 1][c] - x[i - 1][c]) / 0.04;
      d[n - 1][c] = (x[n - 1][c] - x[n - 2][c]) / 0.02;
    }
    return d;
  };
  std::vector<std::array<double, 6>> pos(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (int c = 0; c < 6; ++c) pos[i][c] = q[i][c];
  }
  const auto vel = diff(pos);
  const auto acc = diff(vel);
  std::vector<std::array<double, 18>> rows;
  for (std::size_t i = 0; i < n; ++i) {
    bool moving = true;
    for (double v : vel[i]) moving = moving && std::abs(v) > 0.05;
    if (!moving) continue;
    std::array<double, 18> r{};
    for (int c = 0; c < 6; ++c) {
      r[c] = pos[i][c] - ((c == 1 || c == 3) ? kQuarterTurn : 0.0);
      r[6 + c] = vel[i][c];
      r[12 + c] = acc[i][c];
    }
    rows.push_back(r);
  }
  return rows;
}

std::vector<std::array<float, 6>> positions(int lines, const std::function<float(int, int)>& q) {
  std::vector<std::array<float, 6>> rows(lines);
  for (int i = 0; i < lines; ++i) {
    for (int j = 0; j < 6; ++j) rows[i][j] = q(i, j);
  }
  return rows;
}

struct ReadCase {
  const char* name;
  std::vector<std::array<float, 6>> q;
  std::string padding;
  std::size_t keptRows;
};

TEST(SampleFile, KeepsDifferentiatedRowsOfMovingJoints) {
  auto square = [](int first) {
    return [first](int i, int) {
      const float t = 0.02F * static_cast<float>(first + i);
      return t * t;
    };
  };
  std::string longPadding;
  while (longPadding.size() < 3000) longPadding += ",0.000000000";
  const std::vector<ReadCase> cases = {
      // t = 0 and 0.02: velocities 0.02 and 0.04 are too slow; the last row keeps its one-sided difference.
      {"q = t^2 from t = 0", positions(10, square(0)), "", 8},
      {"three lines, t^2 from t = 1", positions(3, square(50)), "", 3},
      {"one joint at 0.04 rad/s", positions(6, [](int i, int j) { return (j == 2 ? 0.04F : 0.06F) * 0.02F * i; }),
       "", 0},
      {"every joint at 0.06 rad/s", positions(6, [](int i, int) { return 0.06F * 0.02F * i; }), "", 6},
      {"lines of 3000 bytes", positions(5, square(50)), longPadding, 5},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.path() + "/identify1.csv";
    std::ofstream(path) << sampleLines(c.q, c.padding);
    DynamicsIdentify fit;
    const auto m = fit.ReadData(path);
    ASSERT_TRUE(m.has_value());
    const auto expected = expectedRows(c.q);
    ASSERT_EQ(static_cast<std::size_t>(m->rows()), c.keptRows);
    ASSERT_EQ(expected.size(), c.keptRows);
    ASSERT_EQ(m->cols(), 24);
    for (std::size_t r = 0; r < c.keptRows; ++r) {
      for (int col = 0; col < 18; ++col) {
        const double want = expected[r][col];
        // Single precision: differences of positions near a quarter turn carry its rounding.
        const double tolerance = col < 6 ? 1e-6 : (col < 12 ? 1e-4 : 5e-3) + 1e-3 * std::abs(want);
        EXPECT_NEAR((*m)(static_cast<Eigen::Index>(r), col), want, tolerance)
            << "row " << r << " column " << col;
      }
      for (int j = 0; j < 6; ++j) EXPECT_EQ((*m)(static_cast<Eigen::Index>(r), 18 + j), j + 1.0F);
    }
  }
}

TEST(SampleFile, ThreeLinesUseCentralDifferencesOnlyInTheMiddle) {
  TempDir dir;
  const std::string path = dir.path() + "/identify1.csv";
  // q = t^2 at t = 1.00, 1.02, 1.04: one-sided velocities 2.02 and 2.06, central 2.04.
  std::ofstream(path) << sampleLines(positions(3, [](int i, int) {
    const float t = 1.0F + 0.02F * i;
    return t * t;
  }));
  const auto m = DynamicsIdentify().ReadData(path);
  ASSERT_TRUE(m.has_value());
  ASSERT_EQ(m->rows(), 3);
  EXPECT_NEAR((*m)(0, 6), 2.02F, 2e-4F);
  EXPECT_NEAR((*m)(1, 6), 2.04F, 2e-4F);
  EXPECT_NEAR((*m)(2, 6), 2.06F, 2e-4F);
  EXPECT_NEAR((*m)(1, 12), 1.0F, 1e-2F);  // (2.06 - 2.02) / 0.04
  EXPECT_NEAR((*m)(1, 1), 1.0404F - kQuarterTurn, 1e-6F);
  EXPECT_NEAR((*m)(1, 0), 1.0404F, 1e-6F);
}

}  // namespace
}  // namespace zelor::test::dynamics
