// Cycle statistics: the stamp dump on a new maximum above 1500 us, the
// torque maxima, and the windowed average published every 5000 cycles.
#include <climits>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "support/core_standin.h"

namespace {

class Statistics : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTimeStatistics();
    std::memset(elapsed, 0, sizeof elapsed);
    std::memset(gServoFeedBack, 0, sizeof gServoFeedBack);
    gExcitMode = 0;
  }
  void cycle(std::int32_t totalUs) {
    elapsed[kStageStampCount - 1] = totalUs;
    TimeStatistics();
  }
  zelor::test::CoreStandIn core;
};

}  // namespace

TEST_F(Statistics, NewMaximumAbove1500LogsTheStamps) {
  elapsed[3] = 42;
  cycle(1500);
  EXPECT_EQ(gAlgsMaxTime, 1500);
  EXPECT_TRUE(core.logs.empty()) << "1500 us is not above the threshold";

  cycle(1501);
  EXPECT_EQ(gAlgsMaxTime, 1501);
  ASSERT_EQ(core.logs.size(), 30u);
  EXPECT_EQ(core.logs[0], "elapsed[0] 0\r\n");
  EXPECT_EQ(core.logs[3], "elapsed[3] 42\r\n");
  EXPECT_EQ(core.logs[29], "elapsed[29] 1501\r\n");

  core.logs.clear();
  cycle(1501);
  EXPECT_TRUE(core.logs.empty()) << "only a new maximum logs";
}

TEST_F(Statistics, WindowOf5000CyclesPublishesItsAverage) {
  gServoFeedBack[1].torque = -7.5;
  for (int i = 0; i < 4999; ++i) cycle(1000);
  EXPECT_EQ(gAveAlgsTime, 0.0f) << "nothing published before the window ends";
  EXPECT_TRUE(core.logs.empty());

  cycle(1000);
  EXPECT_FLOAT_EQ(gAveAlgsTime, 1000.0f);
  EXPECT_EQ(gMaxTorque[1], 7.5);
  EXPECT_EQ(core.logs, (std::vector<std::string>{
                           "gMaxTorque 0.000 7.500 0.000 0.000\r\n",
                           "TimeStatistics maxT: 1000 us  AveT: 1000.000 us CurAveT 1000.000 us\r\n"}));

  // The published value is the mean of the window averages since load.
  core.logs.clear();
  for (int i = 0; i < 5000; ++i) cycle(3000);
  EXPECT_FLOAT_EQ(gAveAlgsTime, 2000.0f);
  ASSERT_EQ(core.logs.size(), 32u) << "30 stamps for the new maximum, then the two window lines";
  EXPECT_EQ(core.logs.back(), "TimeStatistics maxT: 3000 us  AveT: 2000.000 us CurAveT 3000.000 us\r\n");
}

TEST_F(Statistics, ExcitationModeSilencesTheWindowLinesOnly) {
  gExcitMode = 1;
  for (int i = 0; i < 5000; ++i) cycle(800);
  EXPECT_FLOAT_EQ(gAveAlgsTime, 800.0f);
  EXPECT_TRUE(core.logs.empty());
}

// Stamps are taken on the monotonic clock: a cycle start lies between two
// monotonic readings, and a stamp is the time since it, never the wall clock's.
TEST(CycleStamps, CycleStartIsTakenOnTheMonotonicClock) {
  timespec before{};
  timespec after{};
  clock_gettime(CLOCK_MONOTONIC, &before);
  CycleStartNow();
  clock_gettime(CLOCK_MONOTONIC, &after);
  const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
  EXPECT_LE(ns(before), ns(tStart));
  EXPECT_LE(ns(tStart), ns(after));
  StampStage(4);
  EXPECT_GE(elapsed[4], 0);
  EXPECT_LT(elapsed[4], 1000000);
}

// A start far in the past saturates at the largest stamp, one in the future
// (no cycle started yet) at zero; neither wraps into a plausible value.
TEST(CycleStamps, StampsSaturateInsteadOfWrapping) {
  const timespec saved = tStart;
  struct Row {
    const char* name;
    std::int64_t startOffsetSeconds;  // added to "now"
    std::int32_t lowest;
    std::int32_t highest;
  };
  const Row rows[] = {
      {"an hour ago", -3600, INT32_MAX, INT32_MAX},
      {"36 minutes ago", -2148, INT32_MAX, INT32_MAX},
      {"2 s ago", -2, 2000000, 3000000},
      {"in 5 s", 5, 0, 0},
  };
  for (const Row& row : rows) {
    clock_gettime(CLOCK_MONOTONIC, &tStart);
    tStart.tv_sec += row.startOffsetSeconds;
    StampStage(3);
    EXPECT_GE(elapsed[3], row.lowest) << row.name;
    EXPECT_LE(elapsed[3], row.highest) << row.name;
  }
  tStart = saved;
}
