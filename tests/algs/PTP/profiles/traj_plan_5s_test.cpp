// Five-segment profile and its variable-speed form.
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "PTP/profiles/traj_plan_5s.h"
#include "support/kernel_log_capture.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TrajPlanData fiveS(double dist, double vMax, double jerk) {
  TrajPlanData p{};
  p.dist = dist;
  p.vMax = vMax;
  p.jerk = jerk;
  p.aMax = 1e-3;  // not read by the five-segment planner
  return p;
}

bool sameRecord(const TrajPlanData& a, const TrajPlanData& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Reaches the distance at tTotal, continuously, and inverts back.
void expectSoundFiveS(TrajPlanData p) {
  EXPECT_NEAR(JointCalc5S(&p, p.tTotal), p.dist, 1e-9 * std::max(1.0, p.dist));
  const double bounds[] = {p.t1, 2 * p.t1, 2 * p.t1 + p.tConst, 3 * p.t1 + p.tConst};
  for (double b : bounds) {
    EXPECT_NEAR(JointCalc5S(&p, b - 1e-9), JointCalc5S(&p, b), 1e-6) << "jump at " << b;
  }
  for (int i = 1; i < 20; ++i) {
    const double t = p.tTotal * i / 20;
    const double s = JointCalc5S(&p, t);
    const double back = TimeCalc5S(&p, s);
    EXPECT_NEAR(JointCalc5S(&p, back), s, 2e-3) << "t " << t << " came back as " << back;
  }
}

TEST(TrajPlan5S, CruisesAtTheVelocityLimitOnALongMove) {
  TrajPlanData p = fiveS(100, 50, 1000);
  TrajPlan5S(&p);
  const double t1 = std::sqrt(50.0 / 1000);
  EXPECT_DOUBLE_EQ(p.t1, t1);
  EXPECT_DOUBLE_EQ(p.tConst, (100 - 2 * 1000 * t1 * t1 * t1) / 50);
  EXPECT_DOUBLE_EQ(p.tAcc, 2 * t1);
  EXPECT_DOUBLE_EQ(p.tTotal, 4 * t1 + p.tConst);
  expectSoundFiveS(p);
}

// Below 2 vMax^(3/2) / jerk^(1/2) the velocity limit is not reached, whatever aMax says.
TEST(TrajPlan5S, ShortMoveHasNoCruiseAndAPeakBelowTheLimit) {
  const double limitDistance = 2 * std::pow(50.0, 1.5) / std::sqrt(1000.0);
  TrajPlanData p = fiveS(limitDistance * 0.5, 50, 1000);
  TrajPlan5S(&p);
  EXPECT_EQ(p.tConst, 0.0);
  EXPECT_LT(p.jerk * p.t1 * p.t1, 50.0);
  EXPECT_GT(p.jerk * p.t1, p.aMax) << "aMax is not read";
  expectSoundFiveS(p);
}

TEST(TrajPlan5S, GivenJerkTimeDerivesTheJerk) {
  TrajPlanData p = fiveS(100, 50, 1);
  TrajPlan5S_ValidT(&p, 0.2);
  EXPECT_DOUBLE_EQ(p.jerk, 50 / 0.04);
  EXPECT_DOUBLE_EQ(p.tConst, (100 - 2 * 50 * 0.2) / 50);
  expectSoundFiveS(p);

  TrajPlanData q = fiveS(5, 50, 1);
  TrajPlan5S_ValidT(&q, 0.2);
  EXPECT_EQ(q.tConst, 0.0);
  EXPECT_DOUBLE_EQ(q.jerk, 5 / (2 * 0.008));
  expectSoundFiveS(q);
}

TEST(TrajPlan5S, RetimingChangesOnlyJerkTimeAndCruise) {
  TrajPlanData p = fiveS(100, 50, 1000);
  TrajPlan5S(&p);
  const TrajPlanData before = p;
  TrajPlanTime5S(&p, 4.0);
  EXPECT_EQ(p.tAcc, before.tAcc);
  EXPECT_EQ(p.tTotal, before.tTotal);
  EXPECT_EQ(p.jerk, before.jerk);
  EXPECT_NEAR(p.tConst + 4 * p.t1, 4.0, 1e-12);
  EXPECT_NEAR(JointCalc5S(&p, 4.0), 100.0, 0.002);
}

TEST(TrajPlan5S, GetTime1WithoutRoomReturnsZero) {
  // 0.01 s is far too short for 100 at jerk 1000.
  EXPECT_EQ(GetTime1(0.01, 100, 1000), 0.0);
  const double t1 = GetTime1(4.0, 100, 1000);
  EXPECT_LE(std::fabs(FuncTime1(t1, 4.0, 100, 1000)), 0.001);
  EXPECT_DOUBLE_EQ(FuncTime1(0.5, 4, 1, 2), 2 * (4 * 0.25 - 2 * 0.125) - 1);
  // A NaN duration or jerk ends at once instead of bisecting for ever.
  EXPECT_EQ(GetTime1(kNaN, 100, 1000), 0.0);
  EXPECT_EQ(GetTime1(4.0, 100, kNaN), 0.0);
}

TEST(TrajPlan5S, UnusableInputsLeaveTheRecord) {
  const TrajPlanData cases[] = {fiveS(100, 50, 0), fiveS(100, 0, 1000), fiveS(kNaN, 50, 1000), fiveS(100, 50, kNaN)};
  for (const TrajPlanData& in : cases) {
    TrajPlanData p = in;
    TrajPlan5S(&p);
    EXPECT_TRUE(sameRecord(p, in));
    p = in;
    TrajPlan5S_ValidT(&p, 0.2);
    EXPECT_TRUE(sameRecord(p, in) || !std::isfinite(in.jerk) || in.jerk == 0) << "ValidT reads no jerk";
  }
  TrajPlanData p = fiveS(100, 50, 1000);
  const TrajPlanData before = p;
  TrajPlan5S_ValidT(&p, 0.0);
  EXPECT_TRUE(sameRecord(p, before));
  TrajPlanTime5S(&p, kNaN);
  EXPECT_TRUE(sameRecord(p, before));
}

// Inverting a record with a non-finite or zero jerk returns rather than
// looping, with a time inside the plan.
TEST(TrajPlan5S, InversionOfAnUnusableRecordEnds) {
  TrajPlanData p = fiveS(100, 50, 1000);
  TrajPlan5S(&p);
  for (double jerk : {kNaN, 0.0, static_cast<double>(INFINITY)}) {
    p.jerk = jerk;
    for (double s : {5.0, 50.0, 95.0}) {
      const double t = TimeCalc5S(&p, s);
      EXPECT_TRUE(std::isfinite(t)) << "jerk " << jerk << " s " << s;
      EXPECT_GE(t, 0.0) << "jerk " << jerk << " s " << s;
      EXPECT_LE(t, p.tTotal) << "jerk " << jerk << " s " << s;
    }
  }
}

class VariableSpeedFiveS : public KernelLogCapture {};

TrajPlanData fromSpeed(double dist, double vMax, double jerk, double vCurrent) {
  TrajPlanData p = fiveS(dist, vMax, jerk);
  p.vCurrent = vCurrent;
  return p;
}

void expectSoundVs(TrajPlanData p) {
  // The peak bisection stops at a distance residual of 1e-5.
  EXPECT_NEAR(JointCalc5Svs(&p, p.tTotal), p.dist, 1.1e-5);
  // Velocity at the start is vs: the first small step moves by about vs·dt.
  const double dt = 1e-6;
  EXPECT_NEAR(JointCalc5Svs(&p, dt) / dt, p.vStart, 1e-3 * std::max(1.0, p.vStart));
  for (int i = 1; i < 10; ++i) {
    const double t = p.tTotal * i / 10;
    const double s = JointCalc5Svs(&p, t);
    EXPECT_NEAR(JointCalc5Svs(&p, TimeCalc5Svs(&p, s)), s, 1e-3) << "t " << t;
  }
}

TEST_F(VariableSpeedFiveS, SpeedsUpToTheLimitAndCruises) {
  TrajPlanData p = fromSpeed(200, 80, 2000, 20);
  TrajPlan5Svs(&p);
  EXPECT_EQ(p.accDir, 1);
  EXPECT_EQ(p.vStart, 20.0);
  EXPECT_GT(p.tConst, 0.0);
  EXPECT_DOUBLE_EQ(p.tTotal, 2 * p.t1 + p.tConst + 2 * p.t1Dec);
  expectSoundVs(p);
  EXPECT_EQ(lines().front(), "movj v TrajPlan5Svs vs:20.000 2000.000 80.000 200.000\r\n");
  EXPECT_EQ(linesStartingWith("movj v TrajPlan5Svs t:").size(), 1u);
}

TEST_F(VariableSpeedFiveS, SlowsDownToTheLimit) {
  TrajPlanData p = fromSpeed(200, 40, 2000, 90);
  TrajPlan5Svs(&p);
  EXPECT_EQ(p.accDir, -1);
  expectSoundVs(p);
}

TEST_F(VariableSpeedFiveS, BisectsThePeakOnAMediumMove) {
  TrajPlanData p = fromSpeed(3, 80, 2000, 20);
  TrajPlan5Svs(&p);
  EXPECT_EQ(p.tConst, 0.0);
  EXPECT_EQ(p.accDir, 1);
  expectSoundVs(p);
  EXPECT_EQ(linesStartingWith("movj v TrajPlan5Svs:x1:").size(), 1u);
  EXPECT_GE(linesStartingWith("movj v TrajPlan5Svs: ff:").size(), 2u);
}

// Above vMax with too little room: a direct stop that overwrites the jerk.
TEST_F(VariableSpeedFiveS, DirectStopChangesTheJerk) {
  TrajPlanData p = fromSpeed(1, 40, 2000, 90);
  TrajPlan5Svs(&p);
  EXPECT_EQ(p.t1, 0.0);
  EXPECT_EQ(p.tConst, 0.0);
  EXPECT_DOUBLE_EQ(p.t1Dec, 1.0 / 90);
  EXPECT_DOUBLE_EQ(p.jerk, 90 / (p.t1Dec * p.t1Dec));
  EXPECT_NE(p.jerk, 2000.0);
  EXPECT_NEAR(JointCalc5Svs(&p, p.tTotal), 1.0, 1e-9);
  EXPECT_EQ(lines().back(), "movj v TrajPlan5Svs t:0.000 0.011 0.000 -1\r\n");
}

TEST_F(VariableSpeedFiveS, UnusableInputsLeaveTheRecord) {
  const TrajPlanData cases[] = {fromSpeed(10, 40, 0, 20), fromSpeed(10, 40, 2000, kNaN), fromSpeed(kNaN, 40, 2000, 20),
                                fromSpeed(1e-6, 40, 2000, 0)};
  for (const TrajPlanData& in : cases) {
    TrajPlanData p = in;
    TrajPlan5Svs(&p);
    EXPECT_TRUE(sameRecord(p, in));
  }
}

TEST_F(VariableSpeedFiveS, InversionLogsTheDistance) {
  TrajPlanData p = fromSpeed(200, 80, 2000, 20);
  TrajPlan5Svs(&p);
  lines().clear();
  TimeCalc5Svs(&p, 12.5);
  EXPECT_EQ(lines().front(), "movj v pos:12.500 \r\n");
}

TEST_F(VariableSpeedFiveS, SolveTime5SWithoutSignChangeReturnsTheMidpoint) {
  // x^2 + 1 has no root on [0, 2].
  EXPECT_DOUBLE_EQ(SolveTime5S(0, 1, 0, 1, 3, 5), 4.0);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines().front(), "movj v SolveTime:t:4.000 n:50 \r\n");
  lines().clear();
  EXPECT_NEAR(SolveTime5S(1, 0, 0, -0.125, 1, 2), 1.5, 1e-5);  // x^3 = 1/8
  EXPECT_NE(lines().front().find("n:"), std::string::npos);
}

}  // namespace
