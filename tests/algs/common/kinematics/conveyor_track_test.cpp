// Conveyor tracking: the encoder filter, the moving frame and its start-up
// smoothing, and an unconfigured encoder resolution.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "common/kinematics/conveyor_track.h"
#include "common/kinematics/conveyor_track_filter.h"
#include "common/kinematics/kinematics_constants.h"
#include "support/core_standin.h"

namespace {

constexpr double kPeriod = 0.004;

}  // namespace

TEST(EncoderFilter, VelocityStaysZeroUntilTheWindowHasFilled) {
  struct Case {
    bool reverse;
    double step;  // raw counts per cycle
  };
  const Case table[] = {{false, 10.0}, {true, -10.0}, {false, -4.0}};
  for (const Case& c : table) {
    CEncoderFilter f;
    f.set(c.reverse, 4294967296.0, 1000.0, kPeriod);
    const double travelStep = c.reverse ? -c.step : c.step;
    for (int n = 1; n <= 14; ++n) {
      f.feed(1000.0 + n * c.step);
      double filtered = 0, velocity = 0;
      f.getFiltered(&filtered, &velocity);
      // The window holds the travel of the last ten cycles (zeros before).
      double mean = 0;
      for (int k = std::max(1, n - 9); k <= n; ++k) mean += k * travelStep;
      EXPECT_DOUBLE_EQ(filtered, mean / 10) << "cycle " << n;
      if (n <= 9) {
        EXPECT_EQ(velocity, 0.0) << "cycle " << n;
      } else if (n >= 11) {
        EXPECT_NEAR(velocity, travelStep / kPeriod, 1e-9) << "cycle " << n;
      }
    }
  }
}

TEST(EncoderFilter, ReversedChannelCountsDownAsPositiveTravel) {
  CEncoderFilter f;
  f.set(true, 1.0, 5000.0, kPeriod);
  for (int n = 1; n <= 12; ++n) f.feed(5000.0 - 3.0 * n);
  double filtered = 0, velocity = 0;
  f.getFiltered(&filtered, &velocity);
  EXPECT_GT(filtered, 0.0);
  f.feed(5000.0 - 3.0 * 13);
  f.getFiltered(&filtered, &velocity);
  EXPECT_NEAR(velocity, 3.0 / kPeriod, 1e-9);
}

TEST(EncoderFilter, ResetKeepsTheLastRawCount) {
  CEncoderFilter f;
  f.set(false, 1.0, 0.0, kPeriod);
  for (int n = 1; n <= 12; ++n) f.feed(100.0 * n);
  f.reset(false);
  f.feed(1200.0);  // no movement since the last count
  f.feed(1201.0);
  double filtered = 0, velocity = 0;
  f.getFiltered(&filtered, &velocity);
  EXPECT_DOUBLE_EQ(filtered, 0.1);  // window {0, 1, 0 ...}
  EXPECT_EQ(velocity, 0.0);
}

TEST(EncoderFilter, PeriodThatIsNotPositiveGivesNoSpeed) {
  CEncoderFilter f;
  f.set(false, 1.0, 0.0, 0.0);
  for (int n = 1; n <= 12; ++n) f.feed(10.0 * n);
  double filtered = 0, velocity = 1;
  f.getFiltered(&filtered, &velocity);
  EXPECT_EQ(velocity, 0.0);
}

namespace {

struct TrackRun {
  std::vector<double> frameX;  // x of the moving frame per cycle
  std::vector<int> synced;
  std::vector<double> raw;
};

// Captures at e = e0 + 20 mm of travel, then runs `cycles` cycles of a
// conveyor moving at v counts/s along the base x axis.
TrackRun runTrack(track& t, double k, double v, int cycles) {
  const double A[6] = {500, 100, 50, 0, 0, 0};
  const double B[6] = {0, 0, 0, 0, 0, 0};
  const double C[6] = {0, 0, 0, 0, 0, 0};
  const double e0 = 1000.0, e = e0 + 20.0 * k;
  TrackRun run;
  EXPECT_EQ(t.setTrack(A, B, C, k, e0, e, v, kPeriod, 0, 0), 0);
  double U[4][4];
  t.getUserCoord(U);
  run.frameX.push_back(U[0][3]);
  run.raw.push_back(e);
  run.synced.push_back(0);
  for (int n = 1; n <= cycles; ++n) {
    const double raw = e + v * kPeriod * n;
    run.synced.push_back(t.sync(raw, 0.0, U));
    run.frameX.push_back(U[0][3]);
    run.raw.push_back(raw);
  }
  return run;
}

}  // namespace

TEST(ConveyorTrack, FramePicksUpTheConveyorSpeedWithoutAJump) {
  struct Case {
    const char* what;
    double k;  // counts per mm
    double v;  // counts per second
  };
  const Case table[] = {
      {"fast conveyor", 10.0, 2000.0},
      {"slow conveyor", 10.0, 5.0},
      {"conveyor at rest", 10.0, 0.0},
      {"negative resolution", -8.0, -1600.0},
  };
  for (const Case& c : table) {
    track t;
    const TrackRun run = runTrack(t, c.k, c.v, 400);
    const double conveyorSpeed = c.v / c.k;  // mm/s
    // Speed bound of the catch-up: at most the larger of twice the conveyor
    // speed and the slow conveyor's cruise of 20 mm/s, plus the conveyor.
    const double speedBound = 2 * std::fabs(conveyorSpeed) + 21.0;
    const double firstSpeed = (run.frameX[1] - run.frameX[0]) / kPeriod;
    EXPECT_LT(std::fabs(firstSpeed), 0.05 * speedBound) << c.what << ": frame jumps at the first cycle";
    int firstSynced = -1;
    double previousSpeed = firstSpeed;
    for (std::size_t n = 1; n < run.frameX.size(); ++n) {
      const double speed = (run.frameX[n] - run.frameX[n - 1]) / kPeriod;
      EXPECT_LE(std::fabs(speed), speedBound) << c.what << " cycle " << n;
      EXPECT_LT(std::fabs(speed - previousSpeed), 0.1 * speedBound) << c.what << ": speed jumps at cycle " << n;
      previousSpeed = speed;
      if (run.synced[n] == 1 && firstSynced < 0) firstSynced = static_cast<int>(n);
      if (firstSynced >= 0) {
        EXPECT_EQ(run.synced[n], 1) << c.what << " cycle " << n;
        EXPECT_NEAR(run.frameX[n], 500.0 + (run.raw[n] - 1000.0) / c.k, 1e-9) << c.what << " cycle " << n;
      }
    }
    ASSERT_GT(firstSynced, 10) << c.what << ": smoothing over too early or never";
    EXPECT_LT(firstSynced, 300) << c.what;
  }
}

TEST(ConveyorTrack, ObjectFrameFollowsATurnedConveyorWithOffsets) {
  track t;
  const double A[6] = {500, 100, 50, 0, 0, 0};
  const double B[6] = {10, 0, 0, 0, 0, 0};
  const double C[6] = {-999, -999, -999, 90 * kDegToRad, 0, 0};  // its translation is taken from A
  const double k = 4.0, e0 = 0.0;
  ASSERT_EQ(t.setTrack(A, B, C, k, e0, e0, 400.0, kPeriod, 5.0, 2.0), 0);
  double U[4][4];
  double raw = e0;
  int synced = 0;
  for (int n = 0; n < 500 && synced != 1; ++n) {
    raw += 400.0 * kPeriod;
    synced = t.sync(raw, 0.0, U);
  }
  ASSERT_EQ(synced, 1);
  const double travel = (raw - e0) / k;
  EXPECT_NEAR(U[0][3], 505.0, 1e-5);
  EXPECT_NEAR(U[1][3], 100.0 + travel, 1e-5);
  EXPECT_NEAR(U[2][3], 52.0, 1e-9);
}

TEST(ConveyorTrack, SetUpWhileTrackingAndSyncWhileIdleAreRefused) {
  track t;
  const double P[6] = {};
  double U[4][4];
  EXPECT_EQ(t.getState(), 0);
  EXPECT_EQ(t.sync(0.0, 0.0, U), track::kNotTracking);
  ASSERT_EQ(t.setTrack(P, P, P, 10, 0, 0, 0, kPeriod, 0, 0), 0);
  EXPECT_EQ(t.getState(), 1);
  EXPECT_EQ(t.setTrack(P, P, P, 10, 0, 0, 0, kPeriod, 0, 0), track::kAlreadyTracking);
  EXPECT_EQ(t.desync(), 0);
  EXPECT_EQ(t.getState(), 0);
  EXPECT_EQ(t.sync(0.0, 0.0, U), 1002);
  EXPECT_EQ(t.setTrack(P, P, P, 10, 0, 0, 0, kPeriod, 0, 0), 0);
  EXPECT_EQ(t.setTrack(P, P, P, 10, 0, 0, 0, kPeriod, 0, 0), 1001);
}

TEST(ConveyorTrack, UnconfiguredResolutionKeepsTheCaptureFrameFinite) {
  zelor::test::CoreStandIn core;
  track t;
  const double A[6] = {500, 100, 50, 0.3, 0, 0};
  const double B[6] = {10, 20, 0, 0.1, 0, 0};
  const double C[6] = {0, 0, 0, 0.5, 0, 0};
  ASSERT_EQ(t.setTrack(A, B, C, 0.0, 1000, 5000, 3000, kPeriod, 1, 2), 0);
  double U[4][4];
  t.getUserCoord(U);
  // Captured object frame: A x B with the offsets taken along the conveyor.
  const double wantX = 500 + 10 * std::cos(0.3) - 20 * std::sin(0.3) - std::sin(0.5);
  const double wantY = 100 + 10 * std::sin(0.3) + 20 * std::cos(0.3) + std::cos(0.5);
  EXPECT_NEAR(U[0][3], wantX, 1e-9);
  EXPECT_NEAR(U[1][3], wantY, 1e-9);
  EXPECT_NEAR(U[2][3], 52, 1e-9);
  for (int n = 1; n <= 20; ++n) {
    EXPECT_EQ(t.sync(5000 + 12.0 * n, 0.0, U), 1);
    for (auto& row : U)
      for (double x : row) ASSERT_TRUE(std::isfinite(x));
    EXPECT_NEAR(U[0][3], wantX, 1e-9);
  }
  ASSERT_EQ(core.logs.size(), 1u);
  EXPECT_NE(core.logs[0].find("encoder resolution"), std::string::npos);
}

TEST(ConveyorTrack, KernelTrackerStartsIdle) { EXPECT_EQ(track1.getState(), 0); }
