// Re-plans of a running jump: after a speed change by the phase it is in,
// and for a stop from where the arm stands. The set points go on without a
// step, joint 3 never goes below its target, joints 1, 2 and 4 stay at their
// targets once there, and the jump ends on its target.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "jump_fixture.h"

namespace {

using zelor::test::EntryRunner;
using zelor::test::JumpAlarmCount;
using zelor::test::JumpMoves;
using zelor::test::JumpRunStep;
using zelor::test::JumpSetPoint;
using zelor::test::Joints;
using zelor::test::kJumpAcceleration;
using zelor::test::kJumpJerk;
using zelor::test::kJumpVelocity;
using zelor::test::StageTimesOf;

constexpr double kPeriod = 0.004;
constexpr double kZLimit = 50.0;
const Joints kStart = {10, 60, -20, 0};
const Joints kTarget = {120, -60, -40, 150};  // long enough for every phase

// Middle of each phase of a planned jump, seconds from its start.
double middleOfPhase(const PreDealData& e, int phase) {
  const auto st = StageTimesOf(e);
  const double jointEnd = st.jointStart + st.duration;
  const double descentEnd = st.descentStart + e.jumpMove.descent.tTotal;
  switch (phase) {
    case 1: return st.jointStart / 2.0;
    case 2: return (st.jointStart + st.lift) / 2.0;
    case 3: return (st.lift + st.descentStart) / 2.0;
    case 4: return (st.descentStart + jointEnd) / 2.0;
    case 5: return (jointEnd + descentEnd) / 2.0;
    default: return descentEnd + 3 * kPeriod;  // settling
  }
}

// Cycles until the running jump's clock has reached t; false when it ended first.
bool runUntil(EntryRunner& runner, std::vector<Joints>& points, double t) {
  while (gPeriodCount * kPeriod < t) {
    if (!runner.Cycle() || gCmdFinishFlag != 0) return false;
    points.push_back(JumpSetPoint());
  }
  return true;
}

// What the speed-change pass does around the re-plan.
void changeSpeed(float percent) {
  gSysParams.speedFactorRatio = percent;
  gPreDealPos.joint = {gRobotAxisMove.nextPos[0], gRobotAxisMove.nextPos[1], gRobotAxisMove.nextPos[2],
                       gRobotAxisMove.nextPos[3]};
  gPreDealData.isReplan = 1;
  JUMPNewPlan(&gPreDealData.packedCmd, &gPreDealData);
  gPeriodCount = 0;
  gPeriodCount1 = 0;
}

// Steps no larger than one cycle at the limits, and no speed jumps.
void expectSmooth(const std::vector<Joints>& points, std::size_t from) {
  for (std::size_t k = std::max<std::size_t>(from, 2); k < points.size(); ++k) {
    for (int i = 0; i < 4; ++i) {
      const double step = points[k][i] - points[k - 1][i];
      const double change = step - (points[k - 1][i] - points[k - 2][i]);
      const double acc = std::max(kJumpAcceleration[i], std::sqrt(kJumpVelocity[i] * kJumpJerk[i]));
      ASSERT_LE(std::fabs(step), kJumpVelocity[i] * kPeriod * 1.001 + 1e-9) << "joint " << i + 1 << " cycle " << k;
      ASSERT_LE(std::fabs(change), 2.0 * acc * kPeriod * kPeriod + 1e-9)
          << "joint " << i + 1 << " cycle " << k << " (" << k - from << " after the re-plan) steps " << step << " after "
          << points[k - 1][i] - points[k - 2][i];
    }
  }
}

// Joint 3 between the target and zLimit; joints 1, 2, 4 stay once arrived.
void expectSafe(const std::vector<Joints>& points, std::size_t from, const Joints& target) {
  bool arrived[4] = {false, false, false, false};
  for (std::size_t k = from; k < points.size(); ++k) {
    ASSERT_GE(points[k][2], target[2] - 1e-9) << "joint 3 below its target, cycle " << k;
    ASSERT_LE(points[k][2], kZLimit + 1e-9) << "cycle " << k;
    for (int i : {0, 1, 3}) {
      const bool there = std::fabs(points[k][i] - target[i]) <= 1e-9;
      ASSERT_FALSE(arrived[i] && !there) << "joint " << i + 1 << " left its target, cycle " << k;
      arrived[i] = arrived[i] || there;
    }
  }
}

TEST_F(JumpMoves, SpeedChangeReplansByPhaseWithoutSteps) {
  struct Row {
    int phase;
    bool shaping;
    bool smooth;  // the pass never re-plans in phases 2 and 4
  };
  const Row rows[] = {{1, false, true}, {2, false, false}, {3, false, true}, {4, false, false},
                      {5, false, true}, {6, true, true}};
  for (int accType : {0, 1, 2}) {
    for (const Row& row : rows) {
      SCOPED_TRACE("phase " + std::to_string(row.phase) + " accType " + std::to_string(accType));
      TearDown();
      SetUp();
      gAccType = accType;
      if (row.shaping) {
        gInputShaping = 1;
        for (int i = 0; i < 4; ++i) vInitShape(i, {0.05, 5.0, kPeriod});
      }
      ASSERT_TRUE(planJump(3, kTarget));
      const double at = middleOfPhase(planned(), row.phase);
      std::vector<Joints> points;
      EntryRunner runner(&JumpRunStep);
      ASSERT_TRUE(runUntil(runner, points, at)) << "the jump is still running";
      const std::size_t replanned = points.size();
      changeSpeed(60);
      ASSERT_EQ(JumpAlarmCount(), 0);
      ASSERT_EQ(gCmdFinishFlag, 0);
      const int before = static_cast<int>(points.size());
      runner.Run(20000, [&] { points.push_back(JumpSetPoint()); });
      ASSERT_GT(points.size(), replanned);
      if (row.smooth) expectSmooth(points, replanned);
      expectSafe(points, replanned, kTarget);
      EXPECT_EQ(points.back(), kTarget) << "ends on the target";
      if (row.phase == 6) {
        EXPECT_LE(static_cast<int>(points.size()) - before, strLocalVar[0].delay2 + 1)
            << "nothing left but the settling";
      }
    }
  }
}

TEST_F(JumpMoves, StopReplanMovesJointThreeStraightWhenTheOthersHaveArrived) {
  struct Row {
    const char* name;
    double present;  // joint 3 where the arm stands
    std::int32_t direction;
  };
  const Row rows[] = {{"up", -55.0, 1}, {"down", 30.0, -1}, {"nothing left", kTarget[2], 0}};
  for (int accType : {0, 1, 2}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + " accType " + std::to_string(accType));
      TearDown();
      SetUp();
      gAccType = accType;
      ASSERT_TRUE(planJump(3, kTarget));
      const tagGPose queueEnd = gPreDealPos;
      PreDealData e = planned();
      startAt({kTarget[0], kTarget[1], row.present, kTarget[3]});
      gPreDealPos = queueEnd;
      JUMPPreDealTemp(&e.packedCmd, &e);
      ASSERT_EQ(JumpAlarmCount(), 0);
      EXPECT_EQ(std::memcmp(&gPreDealPos, &queueEnd, sizeof queueEnd), 0) << "the queue's end is not touched";
      const auto st = StageTimesOf(e);
      EXPECT_EQ(st.lift, 0.0);
      EXPECT_EQ(st.jointStart, 0.0);
      EXPECT_EQ(st.descentStart, 0.0);
      EXPECT_EQ(st.duration, 0.0);
      EXPECT_NE(e.jumpMove.lift.noMotion, 0);

      gPeriodCount = 0;
      gCmdFinishFlag = 0;
      std::vector<Joints> points;
      for (int k = 0; k < 20000 && gCmdFinishFlag == 0; ++k) {
        JUMP(&e);
        points.push_back(JumpSetPoint());
      }
      ASSERT_FALSE(points.empty());
      if (row.direction == 0) {
        EXPECT_NE(e.trajPlan.noMotion, 0);
        EXPECT_EQ(points.size(), 1u) << "finishes at once";
      } else {
        EXPECT_EQ(e.trajPlan.noMotion, 0);
        EXPECT_EQ(e.jumpMove.descent.noMotion, 0);
        EXPECT_EQ(e.jumpMove.descent.accDir, row.direction);
        EXPECT_NEAR(e.jumpMove.descent.dist, std::fabs(kTarget[2] - row.present), 1e-12);
        for (std::size_t k = 1; k < points.size(); ++k) {
          ASSERT_GE((points[k][2] - points[k - 1][2]) * row.direction, 0.0) << "straight towards the target";
          for (int i : {0, 1, 3}) ASSERT_EQ(points[k][i], kTarget[i]);
        }
        double z = points[0][2];
        for (const Joints& p : points) z = std::max(z, p[2]);
        EXPECT_LE(z, std::max(row.present, kTarget[2]) + 1e-9) << "no lift";
      }
      EXPECT_EQ(points.back(), kTarget);
    }
  }
}

TEST_F(JumpMoves, StopReplanStartsFromRestEvenAfterASpeedChange) {
  for (int accType : {0, 1}) {
    SCOPED_TRACE("accType " + std::to_string(accType));
    TearDown();
    SetUp();
    gAccType = accType;
    ASSERT_TRUE(planJump(3, kTarget));
    const tagGPose queueEnd = gPreDealPos;
    std::vector<Joints> points;
    EntryRunner runner(&JumpRunStep);
    ASSERT_TRUE(runUntil(runner, points, middleOfPhase(planned(), 1)));
    changeSpeed(60);  // the lift is now planned in flight
    ASSERT_NE(gPreDealData.jumpMove.lift.variableSpeed, 0);
    gPreDealPos = queueEnd;
    ASSERT_TRUE(runUntil(runner, points, gPeriodCount * kPeriod + 0.05));

    // The stop brings the arm to rest where it stands; the re-plan resumes from there.
    const Joints stopped = JumpSetPoint();
    startAt(stopped);
    gPreDealPos = queueEnd;
    JUMPPreDealTemp(&gPreDealData.packedCmd, &gPreDealData);
    ASSERT_EQ(JumpAlarmCount(), 0);
    for (const TrajPlanData* p : {&gPreDealData.jumpMove.lift, &gPreDealData.jumpMove.descent, &gPreDealData.trajPlan}) {
      EXPECT_EQ(p->variableSpeed, 0);
      EXPECT_EQ(p->vCurrent, 0.0);
      EXPECT_EQ(p->sPrev, 0.0);
    }
    EXPECT_EQ(std::memcmp(&gPreDealPos, &queueEnd, sizeof queueEnd), 0);
    gPeriodCount = 0;
    std::vector<Joints> resumed = {stopped, stopped};
    runner.Run(20000, [&] { resumed.push_back(JumpSetPoint()); });
    expectSmooth(resumed, 2);
    expectSafe(resumed, 0, kTarget);
    EXPECT_EQ(resumed.back(), kTarget);
  }
}

// The speed-change pass waits in two windows of the stage times: descent
// start to joint end (phase 4) and joint start to lift end (phase 2).
TEST_F(JumpMoves, StageTimeWindowsOfTheSpeedChangePassAreTheOverlaps) {
  for (int accType : {0, 1, 2}) {
    SCOPED_TRACE("accType " + std::to_string(accType));
    TearDown();
    SetUp();
    gAccType = accType;
    ASSERT_TRUE(planJump(3, kTarget));
    const PreDealData e = planned();
    const auto st = StageTimesOf(e);
    ASSERT_LT(st.jointStart, st.lift);
    ASSERT_LT(st.lift, st.descentStart);
    ASSERT_LT(st.descentStart, st.jointStart + st.duration);
    std::vector<Joints> points;
    EntryRunner runner(&JumpRunStep);
    runner.Run(20000, [&] { points.push_back(JumpSetPoint()); });
    auto at = [&](double t) { return points[static_cast<std::size_t>(t / kPeriod) - 1]; };
    for (int phase = 1; phase <= 5; ++phase) {
      SCOPED_TRACE("phase " + std::to_string(phase));
      const double t = middleOfPhase(e, phase);
      const bool window4 = e.jumpStageTime3 <= t && t < e.jumpStageTime2 + e.jumpStageTime4;
      const bool window2 = e.jumpStageTime2 <= t && t < e.jumpStageTime1;
      EXPECT_EQ(window4, phase == 4);
      EXPECT_EQ(window2, phase == 2);
      const Joints now = at(t);
      const Joints next = at(t + kPeriod);
      const bool jointsMoving = next[0] != now[0] || next[1] != now[1] || next[3] != now[3];
      const double rise = next[2] - now[2];
      if (phase == 2) {
        EXPECT_TRUE(jointsMoving && rise > 0.0) << "joints move while joint 3 rises";
      }
      if (phase == 4) {
        EXPECT_TRUE(jointsMoving && rise < 0.0) << "joints move while joint 3 comes down";
      }
    }
  }
}

}  // namespace
