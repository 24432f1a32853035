// Pre-deal of joint moves from real packets: the target of each ptpMode, the
// refusals, the synchronised profile's limits and the halving of joint 1's
// acceleration, a zero-length move, and the excitation pre-deals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "PTP/planners/excit_pre_deal.h"
#include "common/kinematics/frames.h"
#include "movj_fixture.h"

namespace {

using zelor::test::AlarmCount;
using zelor::test::JointMoves;
using zelor::test::Joints;
using zelor::test::kAcceleration;
using zelor::test::kVelocity;
using zelor::test::PlannedEntry;
using zelor::test::PreDealJoints;
using zelor::test::SetPoint;

constexpr tagCoordParamsFull kUserFrame = {2, 20.0f, -10.0f, 5.0f, 30.0f};
constexpr tagCoordParamsFull kTool = {1, 10.0f, 5.0f, 0.0f, 0.0f};

WCSPosition forwardOf(const double joints[4], const tagToolParams& tool) {
  tagGPose at{};
  at.joint = {joints[0], joints[1], joints[2], joints[3]};
  WCSPosition pose;
  ForwardCalBase(&at, &pose, &tool);
  return pose;
}

struct TargetRow {
  std::string name;
  std::uint8_t mode;
  char arm;
  Joints values;
  // Where the target must be, in the command's user frame (modes 1, 8) or as joints (4, 6).
  std::function<void(const PreDealData&, const Joints& start, const WCSPosition& startLocal)> check;
};

TEST_F(JointMoves, EachModeReachesItsTargetAndAgreesWithTheForwardSolution) {
  const auto poseInUser = [](const PreDealData& e) {
    WCSPosition local;
    CalCordToLocal(&e.targetPose, &local, &kUserFrame);
    return local;
  };
  const std::vector<TargetRow> rows = {
      {"pose, elbow j2 >= 0", 1, 1, {250, 80, -30, 40},
       [&](const PreDealData& e, const Joints&, const WCSPosition&) {
         const WCSPosition local = poseInUser(e);
         EXPECT_NEAR(local.x, 250, 1e-9);
         EXPECT_NEAR(local.y, 80, 1e-9);
         EXPECT_NEAR(local.z, -30, 1e-9);
         EXPECT_NEAR(local.r, 40, 1e-9);
         EXPECT_GE(e.targetAngle[1], 0.0);
       }},
      {"pose, elbow j2 < 0", 1, 0, {250, 80, -30, 40},
       [&](const PreDealData& e, const Joints&, const WCSPosition&) {
         const WCSPosition local = poseInUser(e);
         EXPECT_NEAR(local.x, 250, 1e-9);
         EXPECT_NEAR(local.y, 80, 1e-9);
         EXPECT_LT(e.targetAngle[1], 0.0);
       }},
      {"joints", 4, 1, {30, 45, -50, 90},
       [](const PreDealData& e, const Joints&, const WCSPosition&) {
         EXPECT_EQ((Joints{e.targetAngle[0], e.targetAngle[1], e.targetAngle[2], e.targetAngle[3]}),
                   (Joints{30, 45, -50, 90}));
       }},
      {"joint increments", 6, 1, {5, -10, 15, 20},
       [](const PreDealData& e, const Joints& start, const WCSPosition&) {
         const Joints inc = {5, -10, 15, 20};
         for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(e.targetAngle[i], start[i] + inc[i]) << "joint " << i + 1;
       }},
      {"pose increment", 8, 0, {10, -5, 3, 15},
       [&](const PreDealData& e, const Joints&, const WCSPosition& startLocal) {
         const WCSPosition local = poseInUser(e);
         EXPECT_NEAR(local.x, startLocal.x + 10, 1e-9);
         EXPECT_NEAR(local.y, startLocal.y - 5, 1e-9);
         EXPECT_NEAR(local.z, startLocal.z + 3, 1e-9);
         EXPECT_NEAR(local.r, startLocal.r + 15, 1e-9);
         EXPECT_GE(e.targetAngle[1], 0.0) << "solved with the elbow of the start (j2 >= 0)";
       }},
  };
  for (const TargetRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    gSysParams.localParams = kUserFrame;
    gSysParams.toolParams = kTool;
    setArm(row.arm);
    const Joints start = PreDealJoints();
    WCSPosition startLocal = forwardOf(start.data(), kTool);
    CalCordToLocal(&startLocal, &startLocal, &kUserFrame);

    ASSERT_TRUE(planMove(row.mode, row.values));
    EXPECT_EQ(AlarmCount(), 0);
    const PreDealData& e = lastPlanned();
    EXPECT_EQ(e.motionType, row.mode);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(e.targetAngle[i], PreDealJoints()[i]) << "the next move starts at this target";
      EXPECT_EQ(e.jointMove.initialPos[i], start[i]);
    }
    const WCSPosition forward = forwardOf(e.targetAngle, kTool);
    EXPECT_NEAR(forward.x, e.targetPose.x, 1e-9);
    EXPECT_NEAR(forward.y, e.targetPose.y, 1e-9);
    EXPECT_NEAR(forward.z, e.targetPose.z, 1e-9);
    EXPECT_NEAR(forward.r, e.targetPose.r, 1e-9);
    row.check(e, start, startLocal);
    TearDown();
  }
}

struct RefusalRow {
  std::string name;
  std::function<void()> prepare;
  std::uint8_t mode;
  Joints values;
  unsigned alarm;
  bool preDealPosKept;  // gPreDealPos's joints stay as they were
};

TEST_F(JointMoves, ARefusedMoveRaisesOneAlarmAndNeverMoves) {
  const std::vector<RefusalRow> rows = {
      {"conveyor synchronisation", [] { gSysParams.refSysFlag = 1; }, 4, {30, 45, -50, 90}, 107, true},
      {"start past joint 1's maximum", [] { startAt({170.5, 60, -20, 0}); }, 4, {30, 45, -50, 90}, 18, true},
      {"start past joint 4's minimum", [] { startAt({10, 60, -20, -361}); }, 6, {1, 1, 1, 1}, 18, true},
      {"increments past joint 3's maximum", [] {}, 6, {0, 0, 221, 0}, 18, true},
      {"joints past joint 2's minimum", [] {}, 4, {0, -151, 0, 0}, 18, true},
      {"speed factor 0", [] { gSysParams.speedFactorRatio = 0.0f; }, 4, {30, 45, -50, 90}, 26, true},
      {"pose out of reach", [] {}, 1, {450, 0, 0, 0}, 17, true},
      {"pose beyond joint 3's limit", [] {}, 1, {300, 0, 250, 0}, 18, true},
  };
  for (const RefusalRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    row.prepare();
    const Joints preDeal = PreDealJoints();
    const Joints setPoint = SetPoint();

    EXPECT_FALSE(planMove(row.mode, row.values)) << "the entry is dropped";
    EXPECT_EQ(AlarmCount(), 1);
    EXPECT_TRUE(AlarmIsSet(row.alarm)) << "alarm " << row.alarm;
    EXPECT_EQ(gCmdFinishFlag, 1);
    if (row.preDealPosKept) {
      EXPECT_EQ(PreDealJoints(), preDeal);
    }
    EXPECT_TRUE(runAll(100).empty()) << "nothing runs";
    EXPECT_EQ(SetPoint(), setPoint);
    TearDown();
  }
}

TEST_F(JointMoves, AJoint3OnlyMovePlansWithExactlyItsSpeedLimit) {
  ASSERT_TRUE(planMove(6, {0, 0, 30, 0}));
  const PreDealData& e = lastPlanned();
  EXPECT_EQ((Joints{e.jointMove.u[0], e.jointMove.u[1], e.jointMove.u[2], e.jointMove.u[3]}), (Joints{0, 0, 1, 0}));
  EXPECT_EQ(e.trajPlan.vMax, kVelocity[2]);
  EXPECT_EQ(e.trajPlan.aMax, kAcceleration[2]);

  ASSERT_TRUE(planMove(6, {0, 0, -30, 0}));
  EXPECT_EQ(lastPlanned().jointMove.u[2], -1.0);
  EXPECT_EQ(lastPlanned().trajPlan.vMax, kVelocity[2]);
}

TEST_F(JointMoves, RatiosAndSpeedFactorScaleTheJointLimits) {
  setSpeedFactor(50);
  setRatios(40, 20);
  ASSERT_TRUE(planMove(6, {0, 0, 30, 0}));
  const PreDealData& e = lastPlanned();
  EXPECT_DOUBLE_EQ(e.trajPlan.vMax, static_cast<double>(500.0f * 0.5f * 40.0f / 100.0f));
  EXPECT_DOUBLE_EQ(e.trajPlan.aMax, static_cast<double>(1000.0f * 0.5f * 20.0f / 100.0f));
  EXPECT_DOUBLE_EQ(e.trajPlan.jerk, static_cast<double>(10000.0f * 0.5f * 20.0f / 100.0f))
      << "the jerk ratio is stored equal to the acceleration ratio";
}

struct HalvingRow {
  std::string name;
  bool blendingPredecessor;  // a pose move with transition 50 planned before
  std::uint8_t transition;
  Joints increment;
  double expectedScale;  // profile acceleration over the unhalved one
};

TEST_F(JointMoves, JointOneIsHalvedOnlyWhenTheMoveMayBlend) {
  const std::vector<HalvingRow> rows = {
      {"joint 1 limits, transition 0, alone", false, 0, {60, 5, 0, 0}, 1.0},
      {"joint 1 limits, transition 1", false, 1, {60, 5, 0, 0}, 0.5},
      {"joint 1 limits, transition 0 behind a blending move", true, 0, {60, 5, 0, 0}, 0.5},
      {"joint 2 limits even when joint 1 is halved, transition 0", false, 0, {10, 80, 0, 0}, 1.0},
      {"joint 2 limits even when joint 1 is halved, transition 1", false, 1, {10, 80, 0, 0}, 1.0},
  };
  for (const HalvingRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    if (row.blendingPredecessor) {
      setTransition(50);
      ASSERT_TRUE(planMove(1, {280, 120, -20, 70}));
      ASSERT_GT(lastPlanned().blendTime, 1e-5);
    }
    setTransition(row.transition);
    ASSERT_TRUE(planMove(6, row.increment));
    const PreDealData& e = lastPlanned();
    double unhalved = 1e300;
    for (int i = 0; i < 4; ++i) {
      if (std::fabs(e.jointMove.u[i]) > 1e-12) unhalved = std::fmin(unhalved, kAcceleration[i] / std::fabs(e.jointMove.u[i]));
    }
    EXPECT_NEAR(e.trajPlan.aMax, row.expectedScale * unhalved, 1e-9 * unhalved);
    EXPECT_EQ(e.trajPlan.aMaxDec, e.trajPlan.aMax);
    TearDown();
  }
}

TEST_F(JointMoves, BlendTimeIsTheTransitionShareOfTheAccelerationAndTheNextMoveBoundsIt) {
  setTransition(100);
  ASSERT_TRUE(planMove(1, {280, 120, -20, 70}));
  PreDealData& first = lastPlanned();
  EXPECT_DOUBLE_EQ(first.blendTime, first.trajPlan.tAcc);
  const double firstAcc = first.trajPlan.tAcc;

  setTransition(40);
  ASSERT_TRUE(planMove(6, {0.5, 0.2, 0, 0}));  // short: accelerates for less time
  const PreDealData& second = lastPlanned();
  ASSERT_LT(second.trajPlan.tAcc, firstAcc);
  EXPECT_DOUBLE_EQ(second.blendTime, 0.4 * second.trajPlan.tAcc);
  EXPECT_DOUBLE_EQ(PlannedEntry(0)->blendTime, second.trajPlan.tAcc) << "lowered to the next move's acceleration time";
}

TEST_F(JointMoves, AZeroLengthMoveFinishesAtOnceAtItsTarget) {
  setTransition(50);
  ASSERT_TRUE(planMove(1, {280, 120, -20, 70}));
  ASSERT_GT(lastPlanned().blendTime, 0.0);
  ASSERT_TRUE(planMove(6, {0, 0, 0, 0}));
  EXPECT_EQ(PlannedEntry(0)->blendTime, 0.0) << "the previous move does not blend into nothing";
  EXPECT_EQ(lastPlanned().trajPlan.noMotion, 1);

  const PreDealData zero = lastPlanned();
  RingBufferDequeue(&gPreDealDataQueue, nullptr);  // run the zero-length move alone
  RingBufferDequeue(&gPreDealDataQueue, nullptr);
  RingBufferEnqueue(&gPreDealDataQueue, &zero);
  const std::vector<Joints> points = runAll(10);
  ASSERT_EQ(points.size(), 1u) << "finished in its first cycle";
  EXPECT_EQ(points[0], (Joints{zero.targetAngle[0], zero.targetAngle[1], zero.targetAngle[2], zero.targetAngle[3]}));
  EXPECT_EQ(AlarmCount(), 0);
  EXPECT_EQ(gCmdFinishFlag, 1);
}

TEST_F(JointMoves, ParallelOutputsArePlannedAndLogged) {
  tagParallelOutputCmd outputs[2] = {};
  outputs[0].ratio = 50;
  outputs[0].address = 3;
  outputs[0].level = 1;
  outputs[1].ratio = 100;
  outputs[1].address = 4;
  outputs[1].level = 1;
  const tagPTPCmd move{4, 40, 70, 0, 20};
  exchange([&](PluginBase& c) { return c.alloc_SetPTPPOCmd(&move, outputs, 2, true); });
  ASSERT_EQ(queuedCount(), 1u);
  core.logs.clear();
  ASSERT_TRUE(zelor::test::PreDealMotion(entry(0), &MOVJPreDeal));
  const PreDealData& e = lastPlanned();
  EXPECT_TRUE(logged("poCmdW2 parallelCmdCount:2 poFlag:1\r\n"));
  EXPECT_TRUE(logged("poCmdW2 IOPeriodCount:" + std::to_string(e.poTriggerCycles[1]) + " i:1\r\n"));
  EXPECT_TRUE(logged(" poCmdW2 poCmd[0],ratio:50,address:3,level:1\r\n"));
  EXPECT_GT(e.poTriggerCycles[1], e.poTriggerCycles[0]);
  EXPECT_LE(e.poTriggerCycles[1] * gPeriodTime, e.trajPlan.tTotal + 1e-9);
}

TEST_F(JointMoves, ExcitationValuesAreCopiedBitForBit) {
  const tagExcitCmd excit{{1, 2, 3, 4, 5, 6}};
  exchange([&](PluginBase& c) { return c.alloc_SetExicitCmd(&excit, true); });
  const tagExcitCmdZ excitZ{{7, 8, 9}};
  exchange([&](PluginBase& c) { return c.alloc_SetExicitZCmd(&excitZ, true); });
  ASSERT_EQ(queuedCount(), 2u);

  PackedBaseCmd arm = entry(0);
  PackedBaseCmd vertical = entry(1);
  PreDealData e{};
  std::memset(e.excit, 0xff, sizeof e.excit);
  ExcitPreDeal(&arm, &e);
  const float expected[12] = {1, 2, 0, 0, 3, 4, 0, 0, 5, 6, 0, 0};
  EXPECT_EQ(std::memcmp(e.excit, expected, sizeof expected), 0);

  PreDealData z{};
  ExcitZPreDeal(&vertical, &z);
  const float expectedZ[12] = {7, 8, 9};
  EXPECT_EQ(std::memcmp(z.excit, expectedZ, sizeof expectedZ), 0);
}

TEST(JointMoveSignModified, SaturatesBeyondTheLimit) {
  struct Row {
    float x, limit, expected;
  };
  for (const Row& row : {Row{2, 1, 1}, Row{-2, 1, -1}, Row{0.5f, 1, 0.5f}, Row{1, 1, 1}, Row{-1, 1, -1},
                         Row{3, 4, 0.75f}}) {
    EXPECT_EQ(signModified(row.x, row.limit), row.expected) << row.x << " against " << row.limit;
  }
}

}  // namespace
