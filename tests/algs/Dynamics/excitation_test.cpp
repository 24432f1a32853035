// Excitation segments: set points of the quintic, held joints, segment ends and joins.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "Dynamics/excitation.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr double kDeg = 180.0 / 3.1415927;

class Excitation : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPeriod_ = gPeriodTime;
    gPeriodTime = 0.004;
    resetQ();
    gCmdFinishFlag = 0;
    gPauseCmdFlag = 0;
    gStopCmdPlanFlag = 0;
    gPeriodCount = 0;
    gRobotAxisMove = {};
  }
  void TearDown() override {
    resetQ();
    gPeriodTime = savedPeriod_;
    gCmdFinishFlag = 0;
    gPeriodCount = 0;
    gRobotAxisMove = {};
  }

  // The entry runner's part: a finished entry is replaced by the next one.
  static void startEntry() { gCmdFinishFlag = 0; }

  // Runs one arm segment to its end; returns the set points of every cycle.
  static std::vector<tagRobotAxisMove> armSegment(float q1, float q2, float v1 = 0, float v2 = 0, float a1 = 0,
                                                  float a2 = 0) {
    startEntry();
    float q[6] = {q1, q2, 0, 0, 0, 0};
    float qd[6] = {v1, v2, 0, 0, 0, 0};
    float qdd[6] = {a1, a2, 0, 0, 0, 0};
    std::vector<tagRobotAxisMove> out;
    for (int i = 0; i < 1000 && gCmdFinishFlag == 0; ++i) {
      RadomExcit_scara(q, qd, qdd);
      out.push_back(gRobotAxisMove);
    }
    return out;
  }

  static std::vector<tagRobotAxisMove> verticalSegment(float q, float qd = 0, float qdd = 0) {
    startEntry();
    std::vector<tagRobotAxisMove> out;
    for (int i = 0; i < 1000 && gCmdFinishFlag == 0; ++i) {
      RadomExcit_scara_Z(q, qd, qdd);
      out.push_back(gRobotAxisMove);
    }
    return out;
  }

 private:
  double savedPeriod_ = 0.0;
};

TEST_F(Excitation, ArmSegmentFromResetPassesHalfWayAndEndsIn250thCycle) {
  gPauseCmdFlag = 1;
  float q[6] = {1, 0, 0, 0, 0, 0};
  float qd[6] = {};
  float qdd[6] = {};
  for (int call = 1; call <= 250; ++call) {
    RadomExcit_scara(q, qd, qdd);
    ASSERT_EQ(gRobotAxisMove.nextPos[2], 100.0) << "call " << call;
    ASSERT_EQ(gRobotAxisMove.nextPos[3], 0.0) << "call " << call;
    ASSERT_EQ(gRobotAxisMove.nextPos[1], 0.0) << "call " << call;
    ASSERT_EQ(gCmdFinishFlag, call == 250 ? 1 : 0) << "call " << call;
    if (call == 125) {
      EXPECT_NEAR(gRobotAxisMove.nextPos[0], 28.64788818359375, 1e-4);
    }
  }
  EXPECT_NEAR(gRobotAxisMove.nextPos[0], 57.2957763671875, 1e-4);
  EXPECT_EQ(gPeriodCount, 0u);
  EXPECT_FALSE(gCmdPlanFlag);
  EXPECT_EQ(gPauseCmdFlag, 1) << "a running segment leaves the pause flag";

  // A finished entry only releases the pause.
  gRobotAxisMove.nextPos[0] = -5.0;
  RadomExcit_scara(q, qd, qdd);
  EXPECT_EQ(gPauseCmdFlag, 0);
  EXPECT_EQ(gRobotAxisMove.nextPos[0], -5.0);
  EXPECT_EQ(gPeriodCount, 0u);
}

TEST_F(Excitation, EndClearsTheStopPlanFlag) {
  gStopCmdPlanFlag = 1;
  const auto cycles = armSegment(0.5f, -0.5f);
  EXPECT_EQ(cycles.size(), 250u);
  EXPECT_EQ(gStopCmdPlanFlag, 0);
}

TEST_F(Excitation, VerticalSegmentFromResetStartsAt100AndHoldsTheArm) {
  const auto cycles = verticalSegment(150.0f);
  ASSERT_EQ(cycles.size(), 250u);
  EXPECT_NEAR(cycles[0].nextPos[2], 100.0, 1e-3);
  EXPECT_NEAR(cycles[124].nextPos[2], 125.0, 1e-4);
  EXPECT_NEAR(cycles[249].nextPos[2], 150.0, 1e-4);
  for (const tagRobotAxisMove& m : cycles) {
    ASSERT_EQ(m.nextPos[0], 0.0);
    ASSERT_EQ(m.nextPos[1], 0.0);
    ASSERT_EQ(m.nextPos[3], 0.0);
  }
}

// Segments of the other kind start where the arm stands.
TEST_F(Excitation, SwitchingKindsStartsFromTheHeldJoints) {
  armSegment(1.0f, -0.5f);
  const auto vertical = verticalSegment(150.0f);
  EXPECT_NEAR(vertical[0].nextPos[2], 100.0, 1e-3) << "joint 3 was held at 100 during the arm segment";

  const auto arm = armSegment(0.2f, 0.2f);
  EXPECT_NEAR(arm[0].nextPos[0], 0.0, 1e-3) << "joint 1 was held at 0 during the vertical segment";
  EXPECT_NEAR(arm[0].nextPos[1], 0.0, 1e-3);

  const auto back = verticalSegment(120.0f);
  EXPECT_NEAR(back[0].nextPos[2], 100.0, 1e-3) << "the arm segment held joint 3 at 100 again";
}

TEST_F(Excitation, ResetAfterAnInterruptedSegmentStartsFromTheInitialState) {
  float q[6] = {1.0f, 1.0f, 0, 0, 0, 0};
  float zero[6] = {};
  for (int i = 0; i < 100; ++i) RadomExcit_scara(q, zero, zero);
  resetQ();
  gPeriodCount = 0;
  const auto cycles = verticalSegment(50.0f);
  EXPECT_NEAR(cycles[0].nextPos[2], 100.0, 1e-3);
  EXPECT_NEAR(cycles.back().nextPos[2], 50.0, 1e-4);
}

// Consecutive random points join smoothly: every segment ends on its target,
// and across each join the set point moves as the target's velocity says.
TEST_F(Excitation, RandomArmSegmentsJoinSmoothly) {
  std::mt19937 rng(1341);
  std::uniform_real_distribution<float> pos(-1.5f, 1.5f);
  std::uniform_real_distribution<float> vel(-1.0f, 1.0f);
  std::uniform_real_distribution<float> acc(-3.0f, 3.0f);
  std::vector<double> trace[2];
  std::vector<size_t> joins;
  float prevV[2] = {0, 0};
  for (int seg = 0; seg < 8; ++seg) {
    const float q[2] = {pos(rng), pos(rng)};
    const float v[2] = {vel(rng), vel(rng)};
    const float a[2] = {acc(rng), acc(rng)};
    const auto cycles = armSegment(q[0], q[1], v[0], v[1], a[0], a[1]);
    ASSERT_EQ(cycles.size(), 250u) << "segment " << seg;
    joins.push_back(trace[0].size());
    for (const tagRobotAxisMove& m : cycles) {
      trace[0].push_back(m.nextPos[0]);
      trace[1].push_back(m.nextPos[1]);
    }
    for (int j = 0; j < 2; ++j) {
      EXPECT_NEAR(cycles.back().nextPos[j], q[j] * kDeg, 1e-3) << "segment " << seg << " joint " << j + 1;
    }
    // The first cycle's step of this segment follows the previous end velocity.
    if (seg > 0) {
      const size_t k = joins.back();
      for (int j = 0; j < 2; ++j) {
        const double step = (trace[j][k] - trace[j][k - 1]) / 0.004;
        EXPECT_NEAR(step, prevV[j] * kDeg, 0.2 * kDeg) << "segment " << seg << " joint " << j + 1;
      }
    }
    prevV[0] = v[0];
    prevV[1] = v[1];
  }
  // Nowhere does the set point jump: the largest step stays within the
  // speed that a one-second quintic between these points can reach.
  for (int j = 0; j < 2; ++j) {
    for (size_t k = 1; k < trace[j].size(); ++k) {
      ASSERT_LT(std::fabs(trace[j][k] - trace[j][k - 1]), 8.0 * kDeg * 0.004) << "cycle " << k;
    }
  }
}

// With a period that does not divide one second the segment still ends, on its target.
TEST_F(Excitation, PeriodNotDividingOneSecondStillEndsOnTheTarget) {
  gPeriodTime = 0.003;
  const auto cycles = verticalSegment(180.0f);
  ASSERT_EQ(cycles.size(), 334u) << "first cycle with t >= 1 s";
  EXPECT_NEAR(cycles.back().nextPos[2], 180.0, 1e-4);
  EXPECT_EQ(gCmdFinishFlag, 1);
}

TEST_F(Excitation, SixJointVariantWritesTheFourSetPointsOfThisArm) {
  gRobotAxisMove.nextVel[0] = 11.0;
  gRobotAxisMove.nextVel[1] = 12.0;
  float q[6] = {1, 1, 1, 1, 1, 1};
  float zero[6] = {};
  int calls = 0;
  while (gCmdFinishFlag == 0 && calls < 1000) {
    RadomExcit_6(q, zero, zero);
    ++calls;
  }
  EXPECT_EQ(calls, 250);
  // Joint 3 starts from 100 (the initial state), the others from 0.
  EXPECT_NEAR(gRobotAxisMove.nextPos[0], 57.2957763671875, 1e-4);
  EXPECT_NEAR(gRobotAxisMove.nextPos[2], 57.2957763671875, 1e-4);
  EXPECT_EQ(gRobotAxisMove.nextVel[0], 11.0) << "joints 5 and 6 have no set point here";
  EXPECT_EQ(gRobotAxisMove.nextVel[1], 12.0);
}

}  // namespace
