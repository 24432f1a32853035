// Corner blending of consecutive lines and arcs.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"

namespace {

namespace ps = path_slot;
constexpr double kPi = 3.141592653589793;
constexpr double kT = 0.004;

std::vector<std::string> logged;
void captureLog(const char* text) { logged.emplace_back(text); }

MotionCmd moveCmd(std::int32_t kind, std::initializer_list<double> start, std::initializer_list<double> end,
                  double linearVel = 200.0, double rotationVel = 180.0, double linearAcc = 2000.0) {
  MotionCmd cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.kind = kind;
  std::copy(start.begin(), start.end(), cmd.start);
  std::copy(end.begin(), end.end(), cmd.end);
  const double lin[4] = {linearVel, linearAcc, linearAcc, 10 * linearAcc};
  const double rot[4] = {rotationVel, 1800, 1800, 18000};
  std::copy(lin, lin + 4, cmd.linear);
  std::copy(rot, rot + 4, cmd.rotation);
  return cmd;
}

PathInfo line(std::initializer_list<double> start, std::initializer_list<double> end, double linearVel = 200.0,
              double rotationVel = 180.0, double linearAcc = 2000.0) {
  PathInfo p;
  std::memset(&p, 0, sizeof p);
  getPath(moveCmd(kPathLine, start, end, linearVel, rotationVel, linearAcc), p);
  return p;
}

PathInfo arc(std::initializer_list<double> start, std::initializer_list<double> middle,
             std::initializer_list<double> end, double linearVel = 200.0, double linearAcc = 2000.0) {
  MotionCmd cmd = moveCmd(kPathArc, start, end, linearVel, 180.0, linearAcc);
  std::copy(middle.begin(), middle.end(), cmd.middle);
  PathInfo p;
  std::memset(&p, 0, sizeof p);
  getPath(cmd, p);
  return p;
}

// The kernel's period and switches; kernel log lines are caught.
class Blend : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPeriod_ = gPeriodTime;
    savedEcp_ = gInputECP;
    gPeriodTime = kT;
    gInputECP = 0;
    table_.log = captureLog;
    saved_ = gp_core_interface_inst;
    gp_core_interface_inst = &table_;
    logged.clear();
  }
  void TearDown() override {
    gp_core_interface_inst = saved_;
    gPeriodTime = savedPeriod_;
    gInputECP = savedEcp_;
  }

  // Runs the blend period by period as the kernel does, from t = T, until the
  // period after the last; returns the set points.
  static std::vector<std::array<double, 6>> runPeriods(Blending& b) {
    std::vector<std::array<double, 6>> points;
    const int periods = static_cast<int>(std::floor(b.getAllTime() / kT + 0.5));
    for (int k = 1; k <= periods; ++k) {
      std::array<double, 6> out{};
      b.getCartPos(k * kT, out.data());
      points.push_back(out);
    }
    return points;
  }

  Blending b_;

 private:
  core_interface table_{};
  core_interface* saved_ = nullptr;
  double savedPeriod_ = 0;
  std::uint8_t savedEcp_ = 0;
};

void expectPoint(const double* got, std::initializer_list<double> want, double tol, const std::string& what) {
  int i = 0;
  for (double w : want) {
    EXPECT_NEAR(got[i], w, tol) << what << "[" << i << "]";
    ++i;
  }
}

TEST_F(Blend, RightAngleBetweenTwoLines) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {100, 40, 0, 0});
  b_.getBlendingSeg(first, second, 50.0, 0.0);

  EXPECT_EQ(first.para[ps::kLineBlendOut], 20.0) << "cut to half the second line";
  EXPECT_EQ(second.para[ps::kLineBlendIn], 20.0);
  EXPECT_NEAR(b_.getPathLen(), 32.568, 0.001);
  EXPECT_EQ(first.blended, 1);
  EXPECT_TRUE(b_.isInit);
  double p[3];
  b_.calcPos(0.0, p);
  expectPoint(p, {80, 0, 0}, 1e-12, "start");
  b_.calcPos(0.5, p);
  expectPoint(p, {95, 5, 0}, 1e-12, "middle");
  b_.calcPos(1.0, p);
  expectPoint(p, {100, 20, 0}, 1e-12, "end");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], "blend ds : 1.41421356\n");

  // One constant speed over whole periods, handed to both records.
  const double speed = first.endSpeed;
  EXPECT_GT(speed, 0.0);
  EXPECT_EQ(second.startSpeed, speed);
  const double periods = b_.getAllTime() / kT;
  EXPECT_NEAR(periods, std::round(periods), 1e-9);
  EXPECT_NEAR(speed * b_.getAllTime(), b_.getPathLen(), 1e-6);

  const auto points = runPeriods(b_);
  ASSERT_FALSE(points.empty());
  expectPoint(points.back().data(), {100, 20, 0, 0, 0, 0}, 0.0, "last period");
  EXPECT_EQ(b_.lastU, 0.0) << "reset at the last period";
  double past[6];
  b_.getCartPos(b_.getAllTime() + kT, past);
  expectPoint(past, {100, 20, 0}, 0.0, "past the end");
  EXPECT_EQ(b_.lastU, 1.0);

  // The set points advance by the speed's step along the curve.
  double previous[3] = {80, 0, 0};
  for (size_t k = 0; k + 1 < points.size(); ++k) {
    const double step = std::hypot(points[k][0] - previous[0], points[k][1] - previous[1]);
    EXPECT_NEAR(step, speed * kT, 0.01 * speed * kT) << "period " << k + 1;
    std::copy(points[k].begin(), points[k].begin() + 3, previous);
  }
}

// The commanded Cartesian acceleration of a blend, measured from its
// per-period set points by second differences, stays within the limit on
// corners where the curve bends hardest between its ends and its middle
// (1000 mm/s, blend distance 10 mm, limit 5000 mm/s²).
TEST_F(Blend, PeakAccelerationFromTheSetPointsStaysWithinTheLimit) {
  constexpr double kV = 1000.0;
  constexpr double kA = 5000.0;
  const double c30 = std::cos(kPi / 6);
  const double s30 = std::sin(kPi / 6);
  const double h = std::sqrt(0.5);
  struct Corner {
    const char* name;
    PathInfo first;
    PathInfo second;
    std::uint8_t ecp = 0;  // 1: short arcs keep their straight rest (no whole-rest blending)
  };
  const Corner corners[] = {
      {"lines turning 30 deg", line({0, 0, 0, 0}, {100, 0, 0, 0}, kV, 180, kA),
       line({100, 0, 0, 0}, {100 + 100 * c30, 100 * s30, 0, 0}, kV, 180, kA)},
      {"lines turning 90 deg", line({0, 0, 0, 0}, {100, 0, 0, 0}, kV, 180, kA),
       line({100, 0, 0, 0}, {100, 100, 0, 0}, kV, 180, kA)},
      {"line into a tangent R5 arc", line({0, 0, 0, 0}, {100, 0, 0, 0}, kV, 180, kA),
       arc({100, 0, 0, 0}, {105, 5, 0, 0}, {100, 10, 0, 0}, kV, kA)},
      {"line into an R5 arc at 90 deg", line({0, 0, 0, 0}, {100, 0, 0, 0}, kV, 180, kA),
       arc({100, 0, 0, 0}, {105, 5, 0, 0}, {110, 0, 0, 0}, kV, kA)},
      {"R1 arcs meeting at 90 deg", arc({1, -1, 0, 0}, {0, 0, 0, 0}, {2, 0, 0, 0}, kV, kA),
       arc({2, 0, 0, 0}, {2 + h, h - 1, 0, 0}, {3, -1, 0, 0}, kV, kA), 1},
      {"lines turning 30 deg in z", line({0, 0, 0, 0}, {0, 0, 100, 0}, kV, 180, kA),
       line({0, 0, 100, 0}, {100 * s30, 0, 100 + 100 * c30, 0}, kV, 180, kA)},
  };
  for (const Corner& c : corners) {
    PathInfo first = c.first;
    PathInfo second = c.second;
    Blending b;
    gInputECP = c.ecp;
    b.getBlendingSeg(first, second, 10.0, 0.0);
    ASSERT_GT(b.getAllTime(), 0.0) << c.name << ": the corner is blended";
    std::vector<std::array<double, 6>> points(1);
    b.calcPos(0.0, points[0].data());
    const auto run = runPeriods(b);
    points.insert(points.end(), run.begin(), run.end());
    ASSERT_GE(points.size(), 3u) << c.name;
    double peak = 0.0;
    for (size_t k = 1; k + 1 < points.size(); ++k) {
      double acc[3];
      for (int i = 0; i < 3; ++i) acc[i] = (points[k + 1][i] - 2 * points[k][i] + points[k - 1][i]) / (kT * kT);
      peak = std::max(peak, std::sqrt(acc[0] * acc[0] + acc[1] * acc[1] + acc[2] * acc[2]));
    }
    EXPECT_LE(peak, kA) << c.name << " at " << first.endSpeed << " mm/s over " << b.getPathLen() << " mm";
    // Blends shorter than 10 mm round the corner far more slowly.
    if (b.getPathLen() >= 10.0) {
      EXPECT_GT(peak, 0.5 * kA) << c.name << ": the cap is not far below the limit";
    }
  }
}

TEST_F(Blend, EitherRightAngleTurnBlendsAlike) {
  PathInfo left1 = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo left2 = line({100, 0, 0, 0}, {100, 40, 0, 0});
  PathInfo right1 = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo right2 = line({100, 0, 0, 0}, {100, -40, 0, 0});
  Blending mirror;
  b_.getBlendingSeg(left1, left2, 50.0, 0.0);
  mirror.getBlendingSeg(right1, right2, 50.0, 0.0);
  EXPECT_EQ(right1.para[ps::kLineBlendOut], 20.0);
  EXPECT_EQ(right2.para[ps::kLineBlendIn], 20.0);
  EXPECT_GT(mirror.getAllTime(), 0.0);
  EXPECT_NEAR(mirror.getPathLen(), b_.getPathLen(), 1e-9);
  EXPECT_NEAR(mirror.getAllTime(), b_.getAllTime(), 1e-12);
}

TEST_F(Blend, OppositeLinesStopAtTheCorner) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {0, 0, 0, 0});
  first.endSpeed = second.startSpeed = 99.0;
  b_.getBlendingSeg(first, second, 30.0, 0.0);
  EXPECT_EQ(first.para[ps::kLineBlendOut], 0.0);
  EXPECT_EQ(second.para[ps::kLineBlendIn], 0.0);
  EXPECT_EQ(b_.getAllTime(), 0.0);
  EXPECT_EQ(first.endSpeed, 0.0);
  EXPECT_EQ(second.startSpeed, 0.0);
  EXPECT_EQ(first.blended, 1);
  EXPECT_TRUE(b_.isInit);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], "blend ds : 0.00000000\n");
}

TEST_F(Blend, NoRoomLeavesTheCutsAlone) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {100, 40, 0, 0});
  first.para[ps::kLineBlendOut] = 3.0;
  second.para[ps::kLineBlendIn] = 4.0;
  b_.getBlendingSeg(first, second, 1e-6, 0.0);
  EXPECT_EQ(first.para[ps::kLineBlendOut], 3.0);
  EXPECT_EQ(second.para[ps::kLineBlendIn], 4.0);
  EXPECT_EQ(b_.getAllTime(), 0.0);
  EXPECT_EQ(first.endSpeed, 0.0);
  EXPECT_TRUE(logged.empty()) << "refused before the tangent test";
}

TEST_F(Blend, CollinearLinesGiveAStraightCurveOfTwiceTheCut) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {200, 0, 0, 0});
  b_.getBlendingSeg(first, second, 20.0, 0.0);
  EXPECT_NEAR(b_.getPathLen(), 40.0, 1e-3) << "to the length tolerance";
  double p[3];
  b_.calcPos(0.5, p);
  expectPoint(p, {100, 0, 0}, 1e-12, "middle");
}

struct CutCase {
  const char* name;
  std::uint8_t inputEcp;
  double firstLength;
  double firstBlendIn;
  double secondLength;
  double d;
  double dNext;
  double blendOut;
  double blendIn;
};

TEST_F(Blend, CutsKeepUsableStraightPieces) {
  const CutCase cases[] = {
      {"10 mm straight piece kept", 0, 40, 12, 200, 20, 0, 18, 20},
      {"short blend keeps its cut", 0, 40, 23, 200, 9, 0, 9, 9},
      {"rest of 3 mm swallowed", 0, 40, 17, 200, 20, 0, 23, 20},
      {"external TCP keeps the cut", 1, 40, 12, 200, 20, 0, 20, 20},
      {"second line: 10 mm piece", 0, 200, 0, 40, 15, 20, 15, 10},
      {"second line: half taken", 0, 200, 0, 40, 18, 20, 18, 20},
      {"second line: room left", 0, 200, 0, 60, 15, 20, 15, 15},
  };
  for (const CutCase& c : cases) {
    gInputECP = c.inputEcp;
    PathInfo first = line({0, 0, 0, 0}, {c.firstLength, 0, 0, 0});
    first.para[ps::kLineBlendIn] = c.firstBlendIn;
    PathInfo second = line({c.firstLength, 0, 0, 0}, {c.firstLength, c.secondLength, 0, 0});
    Blending b;
    b.getBlendingSeg(first, second, c.d, c.dNext);
    EXPECT_DOUBLE_EQ(first.para[ps::kLineBlendOut], c.blendOut) << c.name;
    EXPECT_DOUBLE_EQ(second.para[ps::kLineBlendIn], c.blendIn) << c.name;
  }
}

TEST_F(Blend, ShortBlendRoundsASharpCornerSlowly) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0}, 2000.0);
  PathInfo second = line({100, 0, 0, 0}, {100, 100, 0, 0}, 2000.0);
  b_.getBlendingSeg(first, second, 3.0, 0.0);
  ASSERT_LT(b_.getPathLen(), 10.0);
  const double a = std::fmin(first.accScale * 100.0, second.accScale * 100.0);
  const double rho = 0.1 * std::cos(kPi / 4) / (1 - std::cos(kPi / 4));
  EXPECT_NEAR(rho, 0.2414, 1e-4);
  EXPECT_GT(first.endSpeed, 0.0);
  EXPECT_LE(first.endSpeed, std::sqrt(a * rho) + 1e-9);
}

TEST_F(Blend, BlendShorterThanAPeriodTakesOnePeriod) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0}, 5000.0, 180.0, 1e6);
  PathInfo second = line({100, 0, 0, 0}, {200, 0.01, 0, 0}, 5000.0, 180.0, 1e6);
  b_.getBlendingSeg(first, second, 2.0, 0.0);
  EXPECT_NEAR(b_.getAllTime(), kT, 1e-12);
  EXPECT_NEAR(first.endSpeed, b_.getPathLen() / kT, 1e-9);
  double out[6];
  b_.getCartPos(kT, out);
  expectPoint(out, {102, 0.0002, 0}, 1e-7, "only period");
}

TEST_F(Blend, RotationLimitStretchesTheBlend) {
  // Both lines turn r by 90 degrees under a 30 deg/s limit: 18 degrees in
  // each piece, 36 over the blend, so at least 1.2 s.
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 90}, 1000.0, 30.0);
  PathInfo second = line({100, 0, 0, 90}, {100, 100, 0, 180}, 1000.0, 30.0);
  b_.getBlendingSeg(first, second, 20.0, 0.0);
  EXPECT_GE(b_.getAllTime(), 1.2 - 1e-12);
  EXPECT_LE(b_.getAllTime(), 1.2 + 2 * kT);
  double r0[3], r1[3];
  b_.calcOri(0.0, r0);
  b_.calcOri(1.0, r1);
  const double degToRad = 3.1415927410125732 / 180.0;
  EXPECT_NEAR(r0[0], 72.0 * degToRad, 1e-12);
  EXPECT_NEAR(r1[0], 108.0 * degToRad, 1e-12);

  // The same corner without the turn runs at the path speed.
  PathInfo flat1 = line({0, 0, 0, 0}, {100, 0, 0, 0}, 1000.0, 30.0);
  PathInfo flat2 = line({100, 0, 0, 0}, {100, 100, 0, 0}, 1000.0, 30.0);
  Blending flat;
  flat.getBlendingSeg(flat1, flat2, 20.0, 0.0);
  EXPECT_LT(flat.getAllTime(), 0.2);

  // A turning path after a flat one still blends.
  PathInfo turn2 = line({100, 0, 0, 0}, {100, 100, 0, 90}, 1000.0, 30.0);
  PathInfo flat3 = line({0, 0, 0, 0}, {100, 0, 0, 0}, 1000.0, 30.0);
  Blending mixed;
  mixed.getBlendingSeg(flat3, turn2, 20.0, 0.0);
  EXPECT_GT(mixed.getAllTime(), 0.0);
  EXPECT_EQ(turn2.para[ps::kLineBlendIn], 20.0);
}

TEST_F(Blend, ZeroSpeedLimitStopsAtTheCornerWithoutCuts) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {100, 100, 0, 0});
  second.velScale = 0.0;
  b_.getBlendingSeg(first, second, 20.0, 0.0);
  EXPECT_EQ(first.para[ps::kLineBlendOut], 0.0);
  EXPECT_EQ(second.para[ps::kLineBlendIn], 0.0);
  EXPECT_EQ(b_.getAllTime(), 0.0);
  EXPECT_EQ(first.endSpeed, 0.0);
  EXPECT_EQ(second.startSpeed, 0.0);
}

TEST_F(Blend, ShortRestStartsFromThePreviousExitSpeed) {
  gInputECP = 1;
  // First blend: leaves its exit speed in the object.
  PathInfo a = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo b = line({100, 0, 0, 0}, {100, 40, 0, 0});
  b_.getBlendingSeg(a, b, 19.8, 20.0);
  const double carried = b_.exitSpeed;
  ASSERT_GT(carried, 0.0);
  // Second blend: the 40 mm line has 0.4 mm left between its cuts.
  PathInfo c = line({100, 40, 0, 0}, {0, 40, 0, 0});
  b_.getBlendingSeg(b, c, 20.0, 0.0);
  EXPECT_NEAR(b.para[ps::kLineBlendIn] + b.para[ps::kLineBlendOut], 39.8, 1e-12);
  EXPECT_EQ(b.endSpeed, carried);
  EXPECT_GT(c.startSpeed, 0.0);
  EXPECT_GT(b_.getAllTime(), 0.0);

  // After a reset the carried speed is 0; the blend starts from rest.
  b_.reset();
  PathInfo b2 = line({100, 0, 0, 0}, {100, 40, 0, 0});
  b2.para[ps::kLineBlendIn] = 19.8;
  PathInfo c2 = line({100, 40, 0, 0}, {0, 40, 0, 0});
  b_.getBlendingSeg(b2, c2, 20.0, 0.0);
  EXPECT_EQ(b2.endSpeed, 0.0);
  EXPECT_GT(c2.startSpeed, 0.0);
  EXPECT_GT(b_.getAllTime(), 0.0);
}

TEST_F(Blend, ResetZeroesEverything) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {100, 40, 0, 0});
  b_.getBlendingSeg(first, second, 50.0, 0.0);
  b_.reset();
  const Blending fresh;
  EXPECT_EQ(std::memcmp(&b_.fst, &fresh.fst, sizeof fresh.fst), 0);
  EXPECT_EQ(std::memcmp(&b_.profile, &fresh.profile, sizeof fresh.profile), 0);
  for (double s : b_.scale) EXPECT_EQ(s, 0.0);
  EXPECT_FALSE(b_.isInit);
  EXPECT_EQ(b_.getPathLen(), 0.0);
  EXPECT_EQ(b_.getAllTime(), 0.0);
  EXPECT_EQ(b_.exitSpeed, 0.0);
  EXPECT_EQ(fresh.fst.kind, 0);
  EXPECT_EQ(fresh.totalTime, 0.0);
}

// Seeded pairs of lines and arcs meeting at a corner: where a blend is made,
// the curve starts and ends on the two paths with their directions and r,
// every period's set point is finite and no farther from the previous one than
// the blend's top speed allows, and the last period lands on the end.
TEST_F(Blend, RandomCornersAreContinuous) {
  std::mt19937 rng(1206);
  std::uniform_real_distribution<double> coord(-200.0, 200.0);
  std::uniform_real_distribution<double> dist(0.5, 60.0);
  int blended = 0;
  for (int trial = 0; trial < 60; ++trial) {
    gInputECP = trial % 2;
    const double p0[4] = {coord(rng), coord(rng), coord(rng) / 4, coord(rng)};
    const double p1[4] = {coord(rng), coord(rng), coord(rng) / 4, coord(rng)};
    const double p2[4] = {coord(rng), coord(rng), coord(rng) / 4, coord(rng)};
    const double m01[4] = {(p0[0] + p1[0]) / 2 + coord(rng) / 4, (p0[1] + p1[1]) / 2 + coord(rng) / 4, p0[2], 0};
    const double m12[4] = {(p1[0] + p2[0]) / 2 + coord(rng) / 4, (p1[1] + p2[1]) / 2 + coord(rng) / 4, p2[2], 0};
    const bool firstArc = trial % 4 >= 2;
    const bool secondArc = trial % 3 == 0;
    PathInfo first = firstArc
                         ? arc({p0[0], p0[1], p0[2], p0[3]}, {m01[0], m01[1], m01[2]}, {p1[0], p1[1], p1[2], p1[3]})
                         : line({p0[0], p0[1], p0[2], p0[3]}, {p1[0], p1[1], p1[2], p1[3]});
    PathInfo second = secondArc
                          ? arc({p1[0], p1[1], p1[2], p1[3]}, {m12[0], m12[1], m12[2]}, {p2[0], p2[1], p2[2], p2[3]})
                          : line({p1[0], p1[1], p1[2], p1[3]}, {p2[0], p2[1], p2[2], p2[3]});
    Blending b;
    b.getBlendingSeg(first, second, dist(rng), dist(rng));
    const std::string what = "trial " + std::to_string(trial);
    ASSERT_EQ(first.blended, 1) << what;
    if (b.getAllTime() == 0.0) continue;
    ++blended;
    EXPECT_GT(b.getPathLen(), 0.0) << what;

    // Where the first path is cut: its point at arc length L - cut (or angle).
    PathInfo whole = first;
    double u0;
    if (first.kind == kPathLine) {
      whole.para[ps::kLineBlendIn] = 0.0;
      u0 = 1.0 - first.para[ps::kLineBlendOut] / first.para[ps::kLineLength];
    } else {
      whole.para[ps::kArcBlendIn] = 0.0;
      u0 = 1.0 - first.para[ps::kArcBlendOut] * first.para[ps::kArcRadius] / first.para[ps::kArcLength];
    }
    double cutA[6], cutB[6], curve[3], ori[3], tA[6], tB[6], d0[3], d1[3];
    getPos(whole, u0, cutA);
    getPos(second, 0.0, cutB);
    getTangent(u0, tA, whole);
    getTangent(0.0, tB, second);
    b.calcPos(0.0, curve);
    expectPoint(curve, {cutA[0], cutA[1], cutA[2]}, 1e-7, what + " start");
    b.calcOri(0.0, ori);
    EXPECT_NEAR(ori[0], cutA[3] * 3.1415927410125732 / 180.0, 1e-9) << what;
    b.calcPos(1.0, curve);
    expectPoint(curve, {cutB[0], cutB[1], cutB[2]}, 1e-7, what + " end");
    b.calcOri(1.0, ori);
    EXPECT_NEAR(ori[0], cutB[3] * 3.1415927410125732 / 180.0, 1e-9) << what;
    b.calcFstDeri(0.0, d0);
    b.calcFstDeri(1.0, d1);
    const auto parallel = [](const double* x, const double* y) {
      const double c = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
      return c / (std::hypot(x[0], x[1], x[2]) * std::hypot(y[0], y[1], y[2]));
    };
    EXPECT_NEAR(parallel(d0, tA), 1.0, 1e-9) << what << " leaves along the first path";
    EXPECT_NEAR(parallel(d1, tB), 1.0, 1e-9) << what << " joins along the second path";

    // The tangents the blending tests are unit vectors.
    double t1[3], t2[3];
    blendTangent(1.0, t1, first);
    blendTangent(0.0, t2, second);
    EXPECT_NEAR(std::hypot(t1[0], t1[1], t1[2]), 1.0, 1e-12) << what;
    EXPECT_NEAR(std::hypot(t2[0], t2[1], t2[2]), 1.0, 1e-12) << what;

    const double top = b.scale[0] * b.getPathLen();
    double previous[3];
    b.calcPos(0.0, previous);
    const auto points = runPeriods(b);
    for (size_t k = 0; k < points.size(); ++k) {
      for (double v : points[k]) ASSERT_TRUE(std::isfinite(v)) << what << " period " << k + 1;
      const double step =
          std::hypot(points[k][0] - previous[0], points[k][1] - previous[1], points[k][2] - previous[2]);
      // The blend length is known to the Simpson tolerance (1e-4 mm); the last
      // period takes up what the steps before it left.
      EXPECT_LE(step, top * kT * 1.02 + 1e-3) << what << " period " << k + 1;
      std::copy(points[k].begin(), points[k].begin() + 3, previous);
    }
    ASSERT_FALSE(points.empty());
    expectPoint(points.back().data(), {cutB[0], cutB[1], cutB[2]}, 1e-7, what + " last period");
  }
  EXPECT_GT(blended, 20) << "most random corners blend";
}

TEST(BlendSpeed, ForwardSpeedCases) {
  // Rest to 10 mm/s by jerk alone over 1 mm: v³ = j·s².
  EXPECT_NEAR(calForwardVm(1.0, 100.0, 0.0, 100.0, 1000.0, 1000.0, kT), 10.0, 1e-6);
  // Jerk up, constant acceleration, jerk down over 100 mm.
  const double v = calForwardVm(100.0, 1000.0, 0.0, 1000.0, 100.0, 1000.0, kT);
  EXPECT_NEAR(v * v / 200.0 + v * 0.05, 100.0, 1e-9);
  EXPECT_EQ(calForwardVm(0.0, 100.0, 7.0, 100.0, 100.0, 1000.0, kT), 7.0);
  EXPECT_EQ(calForwardVm(1e4, 100.0, 0.0, 80.0, 100.0, 1000.0, kT), 80.0);
  EXPECT_EQ(calForwardVm(1.0, 50.0, 60.0, 100.0, 100.0, 1000.0, kT), 50.0) << "slowing down is always reachable";
  EXPECT_EQ(calForwardVm(1.0, 50.0, 20.0, 100.0, 0.0, 1000.0, kT), 20.0) << "no acceleration, no change";
}

// Seeded cases: a speed below the caps is exactly the one the jerk-limited
// ramp from vs reaches in s.
TEST(BlendSpeed, ForwardSpeedMatchesTheRampDistance) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> speed(0.0, 500.0), acc(50.0, 5000.0), jerk(500.0, 50000.0),
      length(0.01, 300.0);
  for (int trial = 0; trial < 500; ++trial) {
    const double vs = speed(rng), vT = speed(rng) + 1.0, a = acc(rng), j = jerk(rng), s = length(rng);
    const double v = calForwardVm(s, vT, vs, 1e9, a, j, kT);
    ASSERT_TRUE(std::isfinite(v));
    EXPECT_LE(v, vT);
    EXPECT_GE(v, 0.0);
    if (v >= vT || vs > vT) continue;
    const double dv = v - vs;
    const double ramp = dv <= a * a / j ? (v + vs) * std::sqrt(dv / j)
                                        : (v * v - vs * vs) / (2 * a) + (v + vs) * a / (2 * j);
    EXPECT_NEAR(ramp, s, 1e-6 * std::fmax(1.0, s)) << "trial " << trial;
  }
}

TEST(BlendSpeed, CubicRoots) {
  // (x - 1)(x - 2)(x - 3) = x³ - 6x² + 11x - 6.
  // Bisection stops at |f| <= 1e-5.
  EXPECT_NEAR(calCubicEq(1, -6, 11, -6, 1.5, 0.0), 1.0, 1e-5);
  EXPECT_NEAR(calCubicEq(1, -6, 11, -6, 2.5, 1.6), 2.0, 1e-5);
  EXPECT_NEAR(calCubicEq(1, -6, 11, -6, 10.0, 2.6), 3.0, 1e-5);
  EXPECT_NEAR(calCubicEq(1, 0, 1, -10, 5.0, 0.0), 2.0, 1e-5) << "monotone";
  EXPECT_EQ(calCubicEq(1, 0, 1, 10, 5.0, 0.0), 0.0) << "no root";
  EXPECT_EQ(calCubicEq(1, -6, 11, -6, 3.0, 2.5), 3.0) << "root at the end";
}

TEST_F(Blend, PredictedParameterStepsTheChord) {
  PathInfo first = line({0, 0, 0, 0}, {100, 0, 0, 0});
  PathInfo second = line({100, 0, 0, 0}, {200, 0, 0, 0});
  b_.getBlendingSeg(first, second, 20.0, 0.0);
  double h[4] = {0.1, 0.11, 0.12, 0.13};
  const double u = b_.getUiteraion(100.0, 0.0, h);
  EXPECT_EQ(h[3], u);
  EXPECT_EQ(h[2], 0.13);
  EXPECT_EQ(h[0], 0.11);
  double a[3], c[3];
  b_.calcPos(0.13, a);
  b_.calcPos(u, c);
  EXPECT_NEAR(std::fabs(c[0] - a[0]), 100.0 * kT, 1e-3 * 100.0 * kT);
}

TEST(BlendObject, KernelObjectStartsEmpty) {
  EXPECT_FALSE(blendSeg.isInit);
  EXPECT_EQ(blendSeg.getAllTime(), 0.0);
  EXPECT_EQ(fstPath.kind, 0);
  EXPECT_EQ(secPath.kind, 0);
}

}  // namespace
