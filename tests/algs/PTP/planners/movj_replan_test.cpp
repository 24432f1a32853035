// Re-plans of a running joint move: the stop re-plan's look-ahead into the
// waiting motion, the resumed move's first step after a stop (also after a
// speed change made while paused), and the speed-change re-plan's continuity.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "movj_fixture.h"

namespace {

using zelor::test::AlarmCount;
using zelor::test::JointMoves;
using zelor::test::Joints;
using zelor::test::PlannedEntry;
using zelor::test::SetPoint;

double stepNorm(const Joints& a, const Joints& b) {
  double sum = 0.0;
  for (int i = 0; i < 4; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(sum);
}

// The arm stands where it was commanded last.
void standAtSetPoint() {
  const Joints q = SetPoint();
  zelor::test::SetMeasured({q[0], q[1], q[2], q[3]});
}

struct WaitingRow {
  std::string name;
  std::vector<PreDealData> waiting;  // in ring order
  bool lowered;
};

PreDealData waitingEntry(std::uint32_t type, std::uint32_t motionType, float toolX = 0.0f) {
  PreDealData e{};
  e.type = type;
  e.motionType = motionType;
  e.toolParams.x = toolX;
  e.trajPlan.tAcc = 0.05;
  return e;
}

TEST_F(JointMoves, TheStopReplanBlendsOnlyIntoAWaitingMotionInTheSameFrames) {
  const PreDealData joint1 = waitingEntry(kPackedPTP, 1);
  const std::vector<WaitingRow> rows = {
      {"pose joint move", {joint1}, true},
      {"line", {waitingEntry(kPackedPTP, 2)}, true},
      {"arc", {waitingEntry(kPackedARC, 10)}, true},
      {"circle", {waitingEntry(kPackedCircle, 11)}, true},
      {"behind a frame change and a placeholder",
       {waitingEntry(kPackedLocalParams, 0), waitingEntry(kPackedParamPlaceholder, 0), joint1}, true},
      {"tool differs by 0.001", {waitingEntry(kPackedPTP, 1, 0.001f)}, false},
      {"joint move to joints ends the search", {waitingEntry(kPackedPTP, 4), joint1}, false},
      {"behind a wait", {waitingEntry(kPackedWait, 0), joint1}, false},
      {"behind an input trigger", {waitingEntry(kPackedTrig, 0), joint1}, false},
      {"behind an output", {waitingEntry(kPackedIODO, 0), joint1}, false},
      {"nothing waits", {}, false},
  };
  for (const WaitingRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    setTransition(100);
    ASSERT_TRUE(planMove(4, {70, 20, 40, -90}));
    PreDealData entry = *PlannedEntry(0);
    RingBufferDequeue(&gPreDealDataQueue, nullptr);
    for (const PreDealData& w : row.waiting) RingBufferEnqueue(&gPreDealDataQueue, &w);
    zelor::test::SetMeasured({30, 40, 0, -30});

    MOVJPreDealTemp(&entry.packedCmd, nullptr, &entry);
    EXPECT_EQ(AlarmCount(), 0);
    ASSERT_GT(entry.trajPlan.tAcc, 0.05);
    EXPECT_DOUBLE_EQ(entry.blendTime, row.lowered ? 0.05 : entry.trajPlan.tAcc);
    EXPECT_EQ((Joints{entry.jointMove.initialPos[0], entry.jointMove.initialPos[1], entry.jointMove.initialPos[2],
                      entry.jointMove.initialPos[3]}),
              (Joints{30, 40, 0, -30}))
        << "planned from the actual joints";
    TearDown();
  }
}

TEST_F(JointMoves, TheStopReplanLeavesThePreProcessingPositionAndLogsItsStart) {
  ASSERT_TRUE(planMove(4, {70, 20, 40, -90}));
  PreDealData entry = *PlannedEntry(0);
  const Joints preDeal = zelor::test::PreDealJoints();
  zelor::test::SetMeasured({30, 40, 0, -30});
  core.logs.clear();
  MOVJPreDealTemp(&entry.packedCmd, nullptr, &entry);
  EXPECT_EQ(zelor::test::PreDealJoints(), preDeal);
  EXPECT_TRUE(logged("MOVJPreDealTemp initialPos:30.000 40.000 0.000 -30.000\r\n"));
  EXPECT_TRUE(logged("MOVJPreDealTemp jointData.v:200.000 200.000 500.000 600.000\r\n"));

  zelor::test::SetMeasured({70, 20, 40, -90});
  MOVJPreDealTemp(&entry.packedCmd, nullptr, &entry);
  EXPECT_EQ(entry.trajPlan.noMotion, 1) << "standing at the target: finished";

  zelor::test::SetMeasured({171, 20, 40, -90});
  MOVJPreDealTemp(&entry.packedCmd, nullptr, &entry);
  EXPECT_TRUE(AlarmIsSet(18));
  EXPECT_EQ(AlarmCount(), 1);
}

struct ResumeRow {
  std::string name;
  int accType;
  bool speedChangeWhilePaused;
};

// Runs the move, changes speed under way, pauses (the arm is brought to rest
// where it stands), re-plans for the stop and resumes.
TEST_F(JointMoves, AResumedMoveStartsFromRest) {
  const std::vector<ResumeRow> rows = {
      {"five-segment", 0, false},
      {"five-segment, speed changed while paused", 0, true},
      {"seven-segment", 1, false},
      {"seven-segment, speed changed while paused", 1, true},
  };
  for (const ResumeRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    gAccType = row.accType;
    ASSERT_TRUE(planMove(4, {150, -60, 150, -300}));
    PreDealData& entry = *PlannedEntry(0);
    auto speedChange = [&] {
      const Joints q = SetPoint();
      gPreDealPos.joint = {q[0], q[1], q[2], q[3]};
      entry.trajPlan.variableSpeed = 1;
      MOVJNewPlan(&entry.packedCmd, nullptr, &entry);
      gPeriodCount = 0;
      gPeriodCount1 = 0;
    };
    for (int n = 0; n < 60; ++n) MOVJ(&entry, nullptr);
    setSpeedFactor(60);
    speedChange();
    for (int n = 0; n < 30; ++n) MOVJ(&entry, nullptr);
    ASSERT_GT(std::fabs(entry.trajPlan.vCurrent), 10.0) << "the move runs";

    standAtSetPoint();
    MOVJPreDealTemp(&entry.packedCmd, nullptr, &entry);
    gPeriodCount = 0;
    gPeriodCount1 = 0;
    if (row.speedChangeWhilePaused) {
      setSpeedFactor(90);
      speedChange();
    }
    const Joints before = SetPoint();
    MOVJ(&entry, nullptr);
    const double aMax = entry.trajPlan.aMax > 0.0 ? entry.trajPlan.aMax : entry.trajPlan.jerk * entry.trajPlan.t1;
    EXPECT_LE(stepNorm(SetPoint(), before), aMax * gPeriodTime * gPeriodTime)
        << "the first step is no larger than one cycle at the planned acceleration";
    EXPECT_EQ(AlarmCount(), 0);
    TearDown();
  }
}

TEST_F(JointMoves, ASpeedChangeContinuesFromTheRunningSpeedToTheSameTarget) {
  ASSERT_TRUE(planMove(4, {150, -60, 150, -300}));
  PreDealData& entry = *PlannedEntry(0);
  const Joints target = {entry.targetAngle[0], entry.targetAngle[1], entry.targetAngle[2], entry.targetAngle[3]};
  Joints previous = SetPoint();
  for (int n = 0; n < 200; ++n) {
    previous = SetPoint();
    MOVJ(&entry, nullptr);
  }
  const double stepBefore = stepNorm(SetPoint(), previous);

  const Joints q = SetPoint();
  gPreDealPos.joint = {q[0], q[1], q[2], q[3]};
  setSpeedFactor(50);
  entry.trajPlan.variableSpeed = 1;
  MOVJNewPlan(&entry.packedCmd, nullptr, &entry);
  gPeriodCount = 0;
  gPeriodCount1 = 0;
  EXPECT_EQ(zelor::test::PreDealJoints(), target) << "the target goes back into the pre-processing position";
  EXPECT_DOUBLE_EQ(entry.trajPlan.vStart, entry.trajPlan.vCurrent);

  MOVJ(&entry, nullptr);
  EXPECT_NEAR(stepNorm(SetPoint(), q), stepBefore, entry.trajPlan.aMax * gPeriodTime * gPeriodTime)
      << "no velocity step at the re-plan";
  int cycles = 1;
  while (gCmdFinishFlag == 0 && cycles < 20000) {
    MOVJ(&entry, nullptr);
    ++cycles;
  }
  EXPECT_EQ(SetPoint(), target);
  EXPECT_EQ(AlarmCount(), 0);
}

}  // namespace
