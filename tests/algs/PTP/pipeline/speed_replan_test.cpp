// Re-planning after a speed-ratio change made while the queue was stopped.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "PTP/pipeline/pipeline_fixture.h"
#include "PTP/pipeline/speed_replan.h"

namespace zelor::test {
namespace {

class SpeedReplanTest : public QueuedPipeline {
 protected:
  // The client stops the queue, changes the ratio with id 52 and starts it again.
  void changeRatioWhileStopped(unsigned char ratio) {
    gSysParams.runQueuedCmd = 0;
    setSpeed(ratio);
    gSysParams.runQueuedCmd = 1;
    ASSERT_EQ(gbModifySpeedRatio, 1);
  }
  std::vector<double> plannedVMax() const {
    std::vector<double> v;
    for (std::uint32_t k = 0; k < plannedCount(); ++k) v.push_back(planned(k).trajPlan.vMax);
    return v;
  }
};

TEST_F(SpeedReplanTest, RunningMoveThenOneQueuedMovePerCycleThenNewCommands) {
  const std::uint64_t first = line(300, 150, -50);
  line(150, 150, -50);
  line(150, 50, -50);
  line(250, 50, -50);
  for (int i = 0; i < 20; ++i) cycle();
  ASSERT_EQ(gPreDealData.queuedCmdIndex, first);
  ASSERT_EQ(plannedCount(), 3u);
  push(output(9, 1));
  const std::vector<double> before = plannedVMax();
  changeRatioWhileStopped(50);

  cycle();
  EXPECT_EQ(gPreDealData.isReplan, 1) << "the running move is re-planned";
  EXPECT_EQ(gPeriodCount, 1u) << "its clock restarted";
  std::vector<double> now = plannedVMax();
  EXPECT_LT(now[0], before[0]);
  EXPECT_EQ(now[1], before[1]);
  EXPECT_EQ(now[2], before[2]);
  EXPECT_EQ(packedCount(), 1u) << "no new command during the pass";

  cycle();
  now = plannedVMax();
  EXPECT_LT(now[1], before[1]);
  EXPECT_EQ(now[2], before[2]);
  cycle();
  now = plannedVMax();
  EXPECT_LT(now[2], before[2]);
  EXPECT_EQ(packedCount(), 1u);
  EXPECT_EQ(gbModifySpeedRatio, 1);

  cycle();
  EXPECT_EQ(gbModifySpeedRatio, 0);
  EXPECT_EQ(packedCount(), 0u) << "new commands are taken in the fourth cycle";
}

TEST_F(SpeedReplanTest, WithAnEmptyRingOnlyTheRunningMoveIsReplanned) {
  line(300, 150, -50);
  for (int i = 0; i < 20; ++i) cycle();
  ASSERT_EQ(plannedCount(), 0u);
  const double vMax = gPreDealData.trajPlan.vMax;
  changeRatioWhileStopped(50);
  cycle();
  EXPECT_EQ(gPreDealData.isReplan, 1);
  EXPECT_LT(gPreDealData.trajPlan.vMax, vMax);
  EXPECT_EQ(gbModifySpeedRatio, 0);
}

TEST_F(SpeedReplanTest, APassStartedDuringABlendWaitsForItsEnd) {
  line(300, 150, -50);
  for (int i = 0; i < 20; ++i) cycle();
  changeRatioWhileStopped(50);
  gPeriodCount1 = 5;
  for (int i = 0; i < 3; ++i) cycle(false);
  EXPECT_EQ(gPreDealData.isReplan, 0);
  EXPECT_EQ(gbModifySpeedRatio, 1);
  gPeriodCount1 = 0;
  cycle(false);
  EXPECT_EQ(gPreDealData.isReplan, 1);
  EXPECT_EQ(gbModifySpeedRatio, 0);
}

TEST_F(SpeedReplanTest, ACircleJustAboveWholeTurnsWaitsUntilBelowThem) {
  circle({250, 50, -50, 0}, {200, 0, -50, 0}, 3);
  auto left = [] {
    const PreDealData& e = gPreDealData;
    return e.arcAngle - e.arcTravelled * e.arcShare / e.arcRadius;
  };
  const double twoTurns = 4.0 * 3.14159265358979;
  ASSERT_TRUE(cycleUntil([&] { return gPreDealData.motionType == 11 && left() < twoTurns + 0.06; }));
  ASSERT_GT(left(), twoTurns);
  changeRatioWhileStopped(50);
  int waited = 0;
  for (int i = 0; i < 30 && gPreDealData.isReplan == 0; ++i) {
    const double before = left();
    cycle();
    if (gPreDealData.isReplan == 0) {
      ++waited;
      EXPECT_GE(before, twoTurns - 1e-6) << "waits only above two whole turns";
    } else {
      EXPECT_LT(before, twoTurns + 1e-6) << "re-planned once below two turns";
    }
  }
  EXPECT_EQ(gPreDealData.isReplan, 1);
  EXPECT_GT(waited, 0);
  EXPECT_EQ(logCount("movj v Circle_XYZ return2\r\n"), waited);
}

TEST_F(SpeedReplanTest, UnfiredParallelOutputsKeepTheirInstants) {
  tagParallelOutputCmd out{};
  out.type = 0;
  out.ratio = 80;
  out.address = 5;
  out.level = 1;
  moveWithOutput(4, 60, 60, -20, 0, out);
  for (int i = 0; i < 20; ++i) cycle();
  const std::uint32_t at = gPreDealData.poTriggerCycles[0];
  const std::uint32_t ran = gPeriodCount;
  ASSERT_GT(at, ran);
  ASSERT_EQ(gPreDealData.parallel.done[0], 0);
  changeRatioWhileStopped(50);
  cycle(false);
  EXPECT_EQ(gPreDealData.poTriggerCycles[0], at - ran);
}

TEST_F(SpeedReplanTest, AChangeWhileTheQueueRunsReplansNothing) {
  line(300, 150, -50);
  line(150, 150, -50);
  line(150, 50, -50);
  for (int i = 0; i < 3; ++i) cycle();
  const std::vector<double> before = plannedVMax();
  const double running = gPreDealData.trajPlan.vMax;
  setSpeed(50);
  EXPECT_EQ(gbModifySpeedRatio, 0);
  cycle();
  EXPECT_EQ(plannedVMax(), before);
  EXPECT_EQ(gPreDealData.trajPlan.vMax, running);
  EXPECT_EQ(gPreDealData.isReplan, 0);
}

TEST_F(SpeedReplanTest, AJointMoveContinuesFromItsRunningSpeedUnderTheFiveSegmentProfile) {
  gAccType = 0;
  move(4, 60, 60, -20, 0);
  std::vector<std::array<double, 4>> points;
  auto take = [&] { points.push_back({Joint(0), Joint(1), Joint(2), Joint(3)}); };
  for (int i = 0; i < 40; ++i) {
    cycle();
    take();
  }
  changeRatioWhileStopped(50);
  cycle();
  take();
  ASSERT_EQ(gPreDealData.isReplan, 1);
  const std::size_t k = points.size() - 1;
  const double limit = 1.5 * 400.0 * 0.004 * 0.004;  // one cycle of the largest acceleration
  double moving = 0.0;
  for (int j = 0; j < 4; ++j) {
    const double before = points[k - 1][j] - points[k - 2][j];
    const double after = points[k][j] - points[k - 1][j];
    moving = std::max(moving, std::fabs(before));
    EXPECT_NEAR(after, before, limit) << "joint " << j + 1;
  }
  EXPECT_GT(moving, 10.0 * limit) << "the move was under way";
}

TEST_F(SpeedReplanTest, APlannerAlarmLeavesTheQueuedEntryAsItWas) {
  wait(1000);
  line(300, 150, -50);
  cycle();
  ASSERT_EQ(gPreDealData.type, static_cast<std::uint32_t>(kPackedWait));
  ASSERT_EQ(plannedCount(), 1u);
  std::vector<std::uint8_t> before(sizeof(PreDealData));
  std::memcpy(before.data(), &planned(0), before.size());
  // Joint 1 may no longer leave where it stands: the line's re-plan fails.
  gSoftLimitPara[0] = gSysParams.joint.j1 + 0.5;
  gSoftLimitPara[4] = gSysParams.joint.j1 - 0.5;
  changeRatioWhileStopped(50);
  cycle();
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
  EXPECT_EQ(std::memcmp(before.data(), &planned(0), before.size()), 0) << "the ring entry is unchanged";
}

}  // namespace
}  // namespace zelor::test
