#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "PTP/planners/cart_fixture.h"

namespace zelor::test {
namespace {

using CartBlends = CartMoves;

struct Pair {
  const char* name;
  WCSPosition first;   // offsets from the start pose
  WCSPosition second;  // offsets from the first move's end
  bool arc;            // the second move is an arc through `mid` (printed only)
  WCSPosition mid;
};

// Largest commanded acceleration over the run, translation and r, from the
// forward solution of the set points.
struct Peaks {
  double translation = 0.0;
  double rotation = 0.0;
};

Peaks PeakAccelerations(const std::vector<Sample>& samples) {
  Peaks peaks;
  const double T2 = 0.004 * 0.004;
  for (std::size_t n = 1; n + 1 < samples.size(); ++n) {
    const WCSPosition a = PoseOf(samples[n - 1].joints), b = PoseOf(samples[n].joints),
                      c = PoseOf(samples[n + 1].joints);
    const double ax = c.x - 2 * b.x + a.x, ay = c.y - 2 * b.y + a.y, az = c.z - 2 * b.z + a.z;
    peaks.translation = std::max(peaks.translation, std::sqrt(ax * ax + ay * ay + az * az) / T2);
    peaks.rotation = std::max(peaks.rotation, std::fabs(c.r - 2 * b.r + a.r) / T2);
  }
  return peaks;
}

TEST_F(CartBlends, TwoBlendedLinesStayWithinTheCartesianAccelerationLimits) {
  const Pair pairs[] = {
      {"straight on", {60, 0, 0, 0}, {60, 0, 0, 0}, false, {}},
      {"90 degree turn", {60, 0, 0, 0}, {0, -60, 0, 0}, false, {}},
      {"reversal", {60, 0, 0, 0}, {-60, 0, 0, 0}, false, {}},
      {"with an r change", {50, -20, 10, 30}, {-20, -50, 0, -40}, false, {}},
      {"into an arc", {60, 0, 0, 0}, {30, -30, 0, 0}, true, {30, 0, 0, 0}},
  };
  for (int transition : {50, 100}) {
    for (const Pair& p : pairs) {
      SCOPED_TRACE(std::string(p.name) + ", transition " + std::to_string(transition));
      SetUp();
      const JointTheta start{-30.0, 100.0, -20.0, 0.0};
      StartAt(start);
      gSysParams.transition = static_cast<std::uint8_t>(transition);
      const WCSPosition a = PoseOf(start);
      const WCSPosition b{a.x + p.first.x, a.y + p.first.y, a.z + p.first.z, a.r + p.first.r};
      ASSERT_TRUE(QueueLine(2, static_cast<float>(b.x), static_cast<float>(b.y), static_cast<float>(b.z),
                            static_cast<float>(b.r)));
      const WCSPosition e = gPreDealPos.pose;
      const WCSPosition c{e.x + p.second.x, e.y + p.second.y, e.z + p.second.z, e.r + p.second.r};
      if (p.arc) {
        ASSERT_TRUE(QueueArc({e.x + p.mid.x, e.y + p.mid.y, e.z + p.mid.z, e.r + p.mid.r}, c));
      } else {
        ASSERT_TRUE(QueueLine(2, static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z),
                              static_cast<float>(c.r)));
      }
      bool blended = false;
      std::vector<Sample> samples;
      EntryRunner runner(&PlayCartesian);
      runner.Run(5000, [&] {
        blended = blended || gPeriodCount1 > 0;
        const JointTheta q = JointsOf(gRobotAxisMove.nextPos);
        SetActual(q);
        samples.push_back({q, runner.started()});
      });
      EXPECT_TRUE(blended);
      EXPECT_EQ(runner.started(), 2);
      EXPECT_EQ(AlarmCount(), 0);
      const Peaks peaks = PeakAccelerations(samples);
      std::printf("[ blend    ] %-18s transition %3d: translation %.4f, r %.4f of the limits\n", p.name, transition,
                  peaks.translation / kAL, peaks.rotation / kAR);
      if (p.arc) continue;  // the centripetal part v^2/R has no bound
      EXPECT_LE(peaks.translation, kAL * (1 + 1e-9) + 1e-6);
      EXPECT_LE(peaks.rotation, kAR * (1 + 1e-9) + 1e-6);
    }
  }
}

TEST_F(CartBlends, ANextLineOfTypeSevenStartsFromItsOwnStart) {
  const JointTheta start{-30.0, 100.0, -20.0, 0.0};
  StartAt(start);
  gSysParams.transition = 100;
  const WCSPosition a = PoseOf(start);
  ASSERT_TRUE(QueueLine(2, static_cast<float>(a.x + 60), static_cast<float>(a.y), static_cast<float>(a.z),
                        static_cast<float>(a.r)));
  const WCSPosition firstEnd = gPreDealPos.pose;
  ASSERT_TRUE(QueueLine(7, 0.0f, -40.0f, 0.0f, 0.0f));
  EntryRunner runner(&PlayCartesian);
  std::vector<Sample> samples;
  runner.Run(5000, [&] {
    if (runner.started() == 1) {
      EXPECT_EQ(gPeriodCount1, 0u) << "no blend counted into a type-7 line";
    }
    const JointTheta q = JointsOf(gRobotAxisMove.nextPos);
    SetActual(q);
    samples.push_back({q, runner.started()});
  });
  EXPECT_EQ(runner.started(), 2);
  // The first move ends at its target before the second leaves it.
  std::size_t k = 0;
  while (k < samples.size() && samples[k].entry == 1) ++k;
  ASSERT_GT(k, 0u);
  ASSERT_LT(k, samples.size());
  const WCSPosition end = PoseOf(samples[k - 1].joints);
  EXPECT_NEAR(end.x, firstEnd.x, 1e-6);
  EXPECT_NEAR(end.y, firstEnd.y, 1e-6);
  const WCSPosition next = PoseOf(samples[k].joints);
  EXPECT_LT(std::hypot(next.x - end.x, next.y - end.y), kAL * 0.004 * 0.004);
}

}  // namespace
}  // namespace zelor::test
