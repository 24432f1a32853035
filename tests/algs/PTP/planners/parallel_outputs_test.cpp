// Outputs switched along a move, from packets of ids 88 and 84: the cycle each
// output is planned to, switching once and never while paused, and output
// numbers that do not fit the image.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PTP/planners/parallel_outputs.h"
#include "planned_entries.h"
#include "support/kernel_commands.h"

namespace {

using zelor::test::KernelCommands;

constexpr double kT = 0.004;

tagParallelOutputCmd byRatio(std::uint8_t ratio, std::uint16_t address) {
  tagParallelOutputCmd o{};
  o.type = 0;
  o.ratio = ratio;
  o.address = address;
  o.level = 1;
  return o;
}

tagParallelOutputCmd byDistance(double d, std::uint16_t address, std::uint8_t type = 1) {
  tagParallelOutputCmd o{};
  o.type = type;
  o.ratio = 77;  // not read for these types
  o.distance = d;
  o.address = address;
  o.level = 1;
  return o;
}

class ParallelOutputs : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    savedAccType_ = gAccType;
    gAccType = 1;
    gPeriodTime = kT;
    gPeriodCount = 0;
    gPauseCmdFlag = 0;
    std::memset(gPhyDOs, 0, sizeof gPhyDOs);
  }
  void TearDown() override {
    gPeriodCount = 0;
    gPauseCmdFlag = 0;
    std::memset(gPhyDOs, 0, sizeof gPhyDOs);
    gAccType = savedAccType_;
    KernelCommands::TearDown();
  }

  // A 100 mm line planned from the packed command queued by `packet`, with
  // its parallel-output block copied in as the pre-processing does.
  PreDealData plannedLine() {
    EXPECT_EQ(queuedCount(), 1u);
    const PackedBaseCmd packed = entry(0);
    PreDealData e = planned::line({250, 0, 0, 0}, {350, 0, 0, 0}, 2);
    std::memcpy(&e.parallel, &packed.body.ptp.parallel, sizeof e.parallel);
    return e;
  }

  // Runs the move's cycles; the cycle in which each address first went to 1.
  std::vector<int> runCycles(PreDealData& e, const std::vector<std::uint16_t>& addresses, int cycles) {
    std::vector<int> switched(addresses.size(), 0);
    for (int n = 1; n <= cycles; ++n) {
      gPeriodCount = static_cast<std::uint32_t>(n);
      ParallelIOControl(&e);
      for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (switched[i] == 0 && gPhyDOs[addresses[i] - 1] != 0) switched[i] = n;
      }
    }
    return switched;
  }

  std::size_t linesStartingWith(const std::string& prefix) const {
    std::size_t n = 0;
    for (const std::string& l : core.logs) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

 private:
  std::int32_t savedAccType_ = 0;
};

TEST_F(ParallelOutputs, EachOutputSwitchesInTheCycleOfItsPlaceAlongTheMove) {
  struct Row {
    const char* name;
    tagParallelOutputCmd output;
    double fraction;  // of the 100 mm line
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Row rows[] = {
      {"ratio 0", byRatio(0, 1), 0.0},
      {"ratio 100", byRatio(100, 2), 1.0},
      {"distance -10", byDistance(-10.0, 3), 0.9},
      {"distance 30", byDistance(30.0, 64), 0.3},
      {"distance past the end", byDistance(150.0, 101), 1.0},
      {"distance before the start", byDistance(-150.0, 500), 0.0},
      {"other type", byDistance(60.0, 999, 7), 0.0},
      {"distance not a number", byDistance(nan, 1000), 0.0},
  };
  std::vector<tagParallelOutputCmd> outputs;
  std::vector<std::uint16_t> addresses;
  for (const Row& r : rows) {
    outputs.push_back(r.output);
    addresses.push_back(r.output.address);
  }
  const tagPTPCmd move{2, 350.0f, 0.0f, 0.0f, 0.0f};
  exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&move, outputs.data(), 8, true); });
  PreDealData e = plannedLine();
  core.logs.clear();
  ParallelIOPredeal(&e.trajPlan, &e, 100.0);

  TrajPlanData ref = e.trajPlan;
  const int cycles = static_cast<int>(ref.tTotal / kT) + 5;
  const std::vector<int> switched = runCycles(e, addresses, cycles);
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const double t = TimeCalc(&ref, rows[i].fraction * ref.dist);
    const int want = std::max(1, static_cast<int>(std::trunc(t / kT)));
    EXPECT_EQ(switched[i], want) << rows[i].name;
    EXPECT_EQ(e.parallel.done[i], 1) << rows[i].name;
  }
  EXPECT_EQ(switched[0], 1) << "ratio 0 switches in the move's first cycle";
  EXPECT_NEAR(switched[1] * kT, ref.tTotal, 1.001 * kT) << "ratio 100: in the move's last cycle";
  EXPECT_NEAR(JointCalc(&ref, switched[1] * kT), ref.dist, 1e-3) << "ratio 100: at the whole distance";
  EXPECT_NEAR(JointCalc(&ref, switched[2] * kT), 90.0, 0.5) << "distance -10: 90 % of the way";
  EXPECT_EQ(linesStartingWith("poCmdW"), 25u) << "the count line and three per output";
}

TEST_F(ParallelOutputs, WithoutTheFlagNothingIsPlannedOrSwitchedButTheCountIsLogged) {
  const tagPTPCmd move{2, 350.0f, 0.0f, 0.0f, 0.0f};
  exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
  PreDealData e = plannedLine();
  for (std::uint32_t& c : e.poTriggerCycles) c = 12345;
  // Even a block that says it holds outputs is left alone without the flag.
  e.parallel.count = 2;
  e.parallel.outputs[0] = byRatio(0, 5);
  core.logs.clear();
  ParallelIOPredeal(&e.trajPlan, &e, 100.0);
  ASSERT_EQ(core.logs.size(), 1u);
  EXPECT_EQ(core.logs[0], "poCmdW parallelCmdCount:2 poFlag:0\r\n");
  for (std::uint32_t c : e.poTriggerCycles) EXPECT_EQ(c, 12345u);
  runCycles(e, {5}, 50);
  for (std::uint8_t b : gPhyDOs) ASSERT_EQ(b, 0);
}

TEST_F(ParallelOutputs, NothingSwitchesWhilePausedAndEachOutputOnlyOnce) {
  const tagParallelOutputCmd outputs[2] = {byRatio(0, 7), byRatio(50, 8)};
  const tagPTPCmd move{2, 350.0f, 0.0f, 0.0f, 0.0f};
  exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&move, outputs, 2, true); });
  PreDealData e = plannedLine();
  ParallelIOPredeal(&e.trajPlan, &e, 100.0);
  const std::uint32_t half = e.poTriggerCycles[1];
  ASSERT_GT(half, 10u);

  gPauseCmdFlag = 1;
  for (std::uint32_t n = 1; n <= half + 20; ++n) {
    gPeriodCount = n;
    ParallelIOControl(&e);
  }
  EXPECT_EQ(gPhyDOs[6], 0) << "paused";
  EXPECT_EQ(gPhyDOs[7], 0) << "paused";
  EXPECT_EQ(e.parallel.done[0], 0);

  gPauseCmdFlag = 0;
  gPeriodCount = half - 1;
  ParallelIOControl(&e);
  EXPECT_EQ(gPhyDOs[6], 1) << "due since the first cycle";
  EXPECT_EQ(gPhyDOs[7], 0) << "not yet due";
  gPeriodCount = half;
  ParallelIOControl(&e);
  EXPECT_EQ(gPhyDOs[7], 1);

  // Outputs changed since (by another command) are not switched again.
  gPhyDOs[6] = 0;
  gPhyDOs[7] = 0;
  for (std::uint32_t n = half; n < half + 30; ++n) {
    gPeriodCount = n;
    ParallelIOControl(&e);
  }
  EXPECT_EQ(gPhyDOs[6], 0);
  EXPECT_EQ(gPhyDOs[7], 0);
}

TEST_F(ParallelOutputs, OutputNumbersOutsideTheImageWriteNothingAndAreMarkedDone) {
  const tagParallelOutputCmd outputs[3] = {byRatio(0, 0), byRatio(0, 1001), byRatio(0, 65535)};
  const tagPTPCmd move{2, 350.0f, 0.0f, 0.0f, 0.0f};
  exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&move, outputs, 3, true); });
  PreDealData e = plannedLine();
  ParallelIOPredeal(&e.trajPlan, &e, 100.0);
  core.logs.clear();
  for (std::uint32_t n = 1; n <= 5; ++n) {
    gPeriodCount = n;
    ParallelIOControl(&e);  // a write beside the image would stop the sanitized run here
  }
  for (std::uint8_t b : gPhyDOs) ASSERT_EQ(b, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(e.parallel.done[i], 1) << "output " << i;
  EXPECT_EQ(core.logs.size(), 3u) << "one line per refused output, once";
}

TEST_F(ParallelOutputs, AnEntryCountAboveEightReadsEightOutputs) {
  const tagPTPCmd move{2, 350.0f, 0.0f, 0.0f, 0.0f};
  std::vector<tagParallelOutputCmd> outputs(8, byRatio(0, 9));
  exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&move, outputs.data(), 8, true); });
  PreDealData e = plannedLine();
  e.parallel.count = 200;
  e.externalToolFlag = 0x5A;
  e.plannerFlags[0] = 0x5B;
  core.logs.clear();
  ParallelIOPredeal(&e.trajPlan, &e, 100.0);
  gPeriodCount = 1;
  ParallelIOControl(&e);
  EXPECT_EQ(gPhyDOs[8], 1);
  EXPECT_EQ(e.externalToolFlag, 0x5A) << "nothing written behind the eight trigger counts";
  EXPECT_EQ(e.plannerFlags[0], 0x5B);
  EXPECT_EQ(linesStartingWith("poCmdW"), 25u);
}

}  // namespace
