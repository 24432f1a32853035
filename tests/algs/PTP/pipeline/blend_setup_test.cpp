// Blend set-up when entries start with look-ahead blending on.
#include <algorithm>
#include <cmath>

#include "PTP/pipeline/blend_setup.h"
#include "PTP/pipeline/pipeline_fixture.h"

namespace zelor::test {
namespace {

class BlendSetupTest : public QueuedPipeline {
 protected:
  void SetUp() override {
    QueuedPipeline::SetUp();
    gUsingTrueMotion = 1;
  }
  // Pre-processes what is queued without starting anything.
  static void intakeOnly() {
    CycleStartNow();
    PreDealDataCalculate(&gPackedCmdQueue, &gPreDealDataQueue);
  }
};

double JointBlend(const PreDealData& cur, const PreDealData& next) {
  return std::min(cur.trajPlan.tTotal - cur.trajPlan.tDec, next.trajPlan.tAcc) * cur.transition * 0.01;
}

TEST_F(BlendSetupTest, TwoLinesGetACornerBlendAndTheFirstIsReplannedOverItsRemainder) {
  setTransition(50);
  const std::uint64_t first = line(300, 150, -50);
  line(150, 150, -50);
  cycle();
  ASSERT_EQ(gPreDealData.queuedCmdIndex, first);
  const PreDealData& cur = gPreDealData;
  const TrajPlanData& p = cur.trajPlan;
  EXPECT_GT(blendSeg.getPathLen(), 0.0);
  EXPECT_GT(cur.blendTime, 0.0);
  EXPECT_DOUBLE_EQ(cur.blendTime, blendSeg.getAllTime());
  EXPECT_NEAR(cur.lineLength, 150.0, 1e-6) << "the profile runs in fractions of the line";
  EXPECT_DOUBLE_EQ(p.vStart, 0.0) << "no blend led into the first line";
  EXPECT_NEAR(p.vEnd, blendSeg.entrySpeed / 150.0, 1e-12) << "ends at the blend's entry speed";
  EXPECT_LT(p.dist, 1.0) << "the blend cuts the end";
  EXPECT_DOUBLE_EQ(p.dist, p.motion.pos[7]);
  EXPECT_DOUBLE_EQ(p.motion.pos[0], 0.0) << "no cut at the start";
  EXPECT_DOUBLE_EQ(cur.entryTime, p.tTotal + cur.blendTime);
  EXPECT_DOUBLE_EQ(cur.pathJerk, p.jerk);
  EXPECT_DOUBLE_EQ(cur.baseJerk, p.jerk);
  EXPECT_EQ(fstPath.kind, kPathLine) << "the second line's rest is the next first path";
  EXPECT_EQ(fstPath.blended, 1);
  EXPECT_EQ(secPath.kind, kPathNone);
}

TEST_F(BlendSetupTest, JointLikeMovesGetAnOverlapTime) {
  struct Case {
    const char* name;
    std::uint8_t mode;
    bool getsJ;
  };
  const Case cases[] = {
      {"joint moves of motion type 1", 1, true},
      {"joint moves of motion type 4", 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    setTransition(40);
    if (c.mode == 1) {
      move(1, 300, 100, -50, 0);
      move(1, 250, 150, -50, 0);
    } else {
      move(4, 10, 60, -20, 0);
      move(4, 30, 50, -20, 0);
    }
    intakeOnly();
    ASSERT_EQ(plannedCount(), 2u);
    const double planned0 = planned(0).blendTime;
    const double expected = JointBlend(planned(0), planned(1));
    cycle();
    ASSERT_EQ(gpNextPreDealData, &planned(0));
    EXPECT_GT(expected, 0.0);
    EXPECT_DOUBLE_EQ(gPreDealData.blendTime, c.getsJ ? expected : planned0);
  }
}

TEST_F(BlendSetupTest, ALineFollowedByACircleGetsTheOverlapTime) {
  setTransition(50);
  line(300, 100, -50);
  circle({250, 150, -50, 0}, {200, 100, -50, 0}, 1);
  intakeOnly();
  ASSERT_EQ(plannedCount(), 2u);
  const double expected = JointBlend(planned(0), planned(1));
  cycle();
  EXPECT_GT(expected, 0.0);
  EXPECT_DOUBLE_EQ(gPreDealData.blendTime, expected);
  EXPECT_EQ(fstPath.kind, kPathNone) << "no blend led into the line";
}

TEST_F(BlendSetupTest, ARotationOnlyLineIsPlannedOverOneFromRestToRest) {
  setTransition(50);
  line(300, 0, -50, 90);
  line(300, 100, -50, 90);
  cycle();
  const TrajPlanData& p = gPreDealData.trajPlan;
  EXPECT_DOUBLE_EQ(p.dist, 1.0);
  EXPECT_DOUBLE_EQ(p.vStart, 0.0);
  EXPECT_DOUBLE_EQ(p.vEnd, 0.0);
  EXPECT_LE(p.jerk, 1000.0);
  EXPECT_NEAR(gPreDealData.lineDeltaR, 90.0, 1e-6);
  EXPECT_GT(p.tTotal, 0.0);
}

TEST_F(BlendSetupTest, AJointMoveBeforeTwoLinesPreparesTheirBlendAhead) {
  setTransition(50);
  move(1, 300, 100, -50, 0);
  line(250, 200, -50);
  line(150, 200, -50);
  intakeOnly();
  cycle();
  ASSERT_EQ(gPreDealData.motionType, 1u);
  ASSERT_EQ(gpThirdPreDealData, &planned(1));
  EXPECT_GT(planned(0).blendTime, 0.0) << "the first line's blend into the second";
  EXPECT_EQ(blendSeg.getPathLen(), 0.0) << "the blending object is reset after";
  EXPECT_EQ(fstPath.blended, 1);
  EXPECT_DOUBLE_EQ(gPreDealData.blendTime, JointBlend(gPreDealData, planned(0)));
}

TEST_F(BlendSetupTest, APathMoveWithoutPartnerClearsThePathRecords) {
  fstPath.kind = kPathLine;
  fstPath.blended = 1;
  secPath.kind = kPathArc;
  line(300, 100, -50);
  cycle();
  EXPECT_EQ(fstPath.kind, kPathNone);
  EXPECT_EQ(fstPath.blended, 0);
  EXPECT_EQ(secPath.kind, kPathNone);
}

}  // namespace
}  // namespace zelor::test

namespace zelor::test {
namespace {

TEST_F(BlendSetupTest, TheSecondLineStartsFromItsBlendCutAndTheBlendsExitSpeed) {
  setTransition(50);
  line(300, 150, -50);
  const std::uint64_t second = line(150, 150, -50);
  line(150, 50, -50);
  cycle();
  const double exitSpeed = blendSeg.exitSpeed;
  const double cut = fstPath.para[path_slot::kLineBlendIn];
  ASSERT_GT(cut, 0.0);
  ASSERT_TRUE(cycleUntil([&] { return gPreDealData.queuedCmdIndex == second; }, 5000));
  const TrajPlanData& p = gPreDealData.trajPlan;
  EXPECT_NEAR(p.motion.pos[0], cut / 150.0, 1e-9) << "starts where the blend left the line";
  EXPECT_NEAR(p.vStart, exitSpeed / 150.0, 1e-9) << "at the blend's exit speed";
}

}  // namespace
}  // namespace zelor::test
