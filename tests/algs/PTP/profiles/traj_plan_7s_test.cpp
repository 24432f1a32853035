// Seven-segment S-curve: a table of the planner's branches, seeded random
// plans checked against the invariants, evaluation, re-timing and inversion.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "PTP/profiles/traj_plan_7s.h"
#include "plan_inputs.h"

namespace {

constexpr double kPeriod = 0.004;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();


// A record whose every byte is 0xA5, inputs then set: "untouched" is checkable.
TrajPlanData marked(const TrajPlanData& in) {
  TrajPlanData p;
  std::memset(&p, 0xA5, sizeof p);
  p.dist = in.dist;
  p.vMax = in.vMax;
  p.aMax = in.aMax;
  p.aMaxDec = in.aMaxDec;
  p.jerk = in.jerk;
  p.vStart = in.vStart;
  p.vEnd = in.vEnd;
  p.period = in.period;
  return p;
}

double scale(double x) { return std::max(1.0, std::fabs(x)); }

// Invariants every successful plan meets, the limits of the inputs included.
void expectSoundPlan(const TrajPlanData& in, TrajPlanData plan, const std::string& what) {
  SCOPED_TRACE(what);
  const MotionData& m = plan.motion;
  for (int k = 0; k < 8; ++k) {
    ASSERT_TRUE(std::isfinite(m.pos[k]) && std::isfinite(m.vel[k]) && std::isfinite(m.acc[k]) &&
                std::isfinite(m.jerk[k]) && std::isfinite(m.time[k]))
        << "boundary " << k;
    if (k > 0) { ASSERT_GE(m.time[k], m.time[k - 1]) << "segment " << k << " runs backwards"; }
  }
  EXPECT_NEAR(m.pos[7], in.dist, 1e-9 * scale(in.dist));
  EXPECT_NEAR(m.vel[7], in.vEnd, 1e-9 * scale(in.vEnd));
  EXPECT_EQ(m.vel[0], in.vStart);
  EXPECT_EQ(m.pos[0], 0.0);
  EXPECT_EQ(m.acc[0], 0.0);
  EXPECT_NEAR(m.acc[7], 0.0, 1e-6 * scale(std::max(in.aMax, in.aMaxDec)));
  const double periods = m.time[7] / kPeriod;
  EXPECT_NEAR(periods, std::round(periods), 1e-6) << "duration " << m.time[7] << " is not whole periods";
  EXPECT_EQ(plan.tTotal, m.time[7]);
  EXPECT_EQ(plan.tAcc, m.time[3]);
  EXPECT_EQ(plan.tDec, m.time[7] - m.time[4]);
  double largest = 0.0;
  for (double j : m.jerk) largest = std::max(largest, std::fabs(j));
  EXPECT_EQ(plan.jerk, largest);

  // Limits at every instant, sampled densely (the cheap analytic check of
  // the property test below is a separate implementation).
  for (int k = 1; k <= 7; ++k) EXPECT_LE(std::fabs(m.jerk[k]), in.jerk * (1 + 1e-9)) << "jerk of segment " << k;
  for (int i = 0; i <= 2000; ++i) {
    const double t = m.time[7] * i / 2000.0;
    int seg = 1;
    for (int k = 1; k <= 7; ++k) {
      if (t >= m.time[k - 1]) seg = k;
    }
    double pos = 0, vel = 0, acc = 0;
    getPosVelAcc(plan.motion, t, kPeriod, pos, vel, acc);
    const double aLimit = seg <= 3 ? in.aMax : seg >= 5 ? in.aMaxDec : std::max(in.aMax, in.aMaxDec);
    const double vLimit = seg <= 3 ? std::max(in.vMax, in.vStart) : seg >= 5 ? std::max(in.vMax, in.vEnd) : in.vMax;
    ASSERT_LE(std::fabs(acc), aLimit * (1 + 1e-9)) << "acceleration at t " << t;
    ASSERT_LE(vel, vLimit * (1 + 1e-9)) << "velocity at t " << t;
    ASSERT_GE(vel, -1e-9 * in.vMax) << "velocity at t " << t;
  }

  // Continuous at every boundary: the segment before, evaluated at its end,
  // lands on the stored state (up to the rounding of the summed boundary
  // times, which the steep jerks of a forced transition magnify).
  const double eps = 8 * std::numeric_limits<double>::epsilon() * scale(m.time[7]);
  for (int k = 1; k <= 7; ++k) {
    const double d = m.time[k] - m.time[k - 1];
    const double j = m.jerk[k];
    const double a = m.acc[k - 1] + j * d;
    const double v = m.vel[k - 1] + m.acc[k - 1] * d + j * d * d / 2;
    const double p = m.pos[k - 1] + m.vel[k - 1] * d + m.acc[k - 1] * d * d / 2 + j * d * d * d / 6;
    EXPECT_NEAR(p, m.pos[k], 1e-9 * scale(in.dist) + std::fabs(v) * eps) << "position jumps at boundary " << k;
    EXPECT_NEAR(v, m.vel[k], 1e-9 * scale(m.vel[k]) + std::fabs(a) * eps) << "velocity jumps at boundary " << k;
    EXPECT_NEAR(a, m.acc[k], 1e-9 * scale(m.acc[k]) + std::fabs(j) * eps) << "acceleration jumps at boundary " << k;
    double pos = 0, vel = 0, acc = 0;
    getPosVelAcc(plan.motion, m.time[k], kPeriod, pos, vel, acc);
    EXPECT_NEAR(pos, m.pos[k], 1e-9 * scale(in.dist)) << "evaluation at boundary " << k;
  }

  // Inversion: the time at which JointCalc7S's distance is reached is t again
  // (to the solver's 1e-5 position tolerance). Only a plan that never runs
  // backwards nor stands still has one time per distance.
  bool standsStill = false;
  for (int k = 1; k <= 7; ++k) {
    standsStill = standsStill || (m.time[k] > m.time[k - 1] && m.vel[k - 1] == 0.0 && m.acc[k - 1] == 0.0 &&
                                  m.jerk[k] == 0.0);
  }
  double slowest = standsStill ? -1.0 : m.vel[0];
  for (int i = 0; i <= 400; ++i) {
    double pos = 0, vel = 0, acc = 0;
    getPosVelAcc(plan.motion, m.time[7] * i / 400.0, kPeriod, pos, vel, acc);
    slowest = std::min(slowest, vel);
  }
  for (int i = 0; i <= 20 && slowest >= 0.0; ++i) {
    const double t = m.time[7] * i / 20.0;
    const double s = JointCalc7S(&plan, t);
    const double back = TimeCalc7S(&plan, s);
    ASSERT_TRUE(std::isfinite(back)) << "t " << t;
    EXPECT_NEAR(JointCalc7S(&plan, back), s, 2e-5) << "t " << t << " came back as " << back;
    double pos = 0, vel = 0, acc = 0;
    getPosVelAcc(plan.motion, t, kPeriod, pos, vel, acc);
    if (std::fabs(vel) > 1.0) {
      EXPECT_NEAR(back, t, 4e-5 / std::fabs(vel)) << "s " << s;
    }
  }
}

struct BranchCase {
  const char* name;
  TrajPlanData in;
  bool plannable;  // a whole-period plan within the limits exists
};

class TrajPlan7SBranches : public ::testing::TestWithParam<BranchCase> {};

// A plannable move returns 0 with a plan within its limits; any other is
// refused with the record untouched.
TEST_P(TrajPlan7SBranches, PlansWithinTheLimitsOrRefuses) {
  const BranchCase& c = GetParam();
  TrajPlanData plan = marked(c.in);
  const TrajPlanData before = plan;
  const int rc = TrajPlan7S(&plan);
  if (c.plannable) {
    ASSERT_EQ(rc, 0);
    expectSoundPlan(c.in, plan, c.name);
  } else {
    EXPECT_NE(rc, 0);
    EXPECT_EQ(std::memcmp(&plan, &before, sizeof plan), 0) << "a refused plan leaves the record";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Branches, TrajPlan7SBranches,
    ::testing::Values(
        BranchCase{"cruise", planInputs(200.3, 100, 500, 400, 5000, 0, 0), true},
        BranchCase{"noCruiseBisection", planInputs(5.1, 100, 500, 400, 5000, 0, 0), true},
        BranchCase{"noAccelerationLimit", planInputs(10.3, 100, 10000, 10000, 5000, 0, 0), true},
        BranchCase{"noAccelerationLimitFromSpeed", planInputs(30.7, 100, 10000, 10000, 5000, 20, 40), true},
        BranchCase{"mirrored", planInputs(100.3, 120, 600, 300, 4000, 80, 10), true},
        BranchCase{"mirroredNoCruise", planInputs(30.3, 120, 600, 300, 4000, 80, 10), true},
        BranchCase{"lowLimit", planInputs(300.1, 100, 500, 400, 5000, 150, 0), true},
        BranchCase{"lowLimitBothAbove", planInputs(300.1, 50, 500, 400, 5000, 100, 80), true},
        BranchCase{"transitionThenCruise", planInputs(300.1, 100, 500, 400, 5000, 0, 100), true},
        BranchCase{"pureCruise", planInputs(250.3, 100, 500, 400, 5000, 100, 100), true},
        BranchCase{"longerThanTheTransition", planInputs(30, 100, 1000, 1000, 5000, 0, 100), true},
        BranchCase{"overAndBackToTheSameSpeed", planInputs(20, 200, 1000, 1000, 5000, 100, 100), true},
        BranchCase{"tinyRestToRest", planInputs(5e-5, 100, 500, 400, 5000, 0, 0), true},
        // Shorter than the jerk-limited speed change: no plan keeps the limits.
        BranchCase{"shortTransition", planInputs(1.0, 100, 1000, 1000, 5000, 0, 100), false},
        BranchCase{"shortTransitionDown", planInputs(1.0, 100, 1000, 1000, 5000, 100, 0), false},
        BranchCase{"transitionBand", planInputs(std::sqrt(50.0 / 5000) * 150 + 5e-5, 200, 1000, 1000, 5000, 50, 100),
                   false},
        BranchCase{"lowLimitTooShortToSlowDown", planInputs(50, 50, 50, 50, 500, 100, 0), false}),
    [](const ::testing::TestParamInfo<BranchCase>& info) { return std::string(info.param.name); });

// Moves between running speeds whose whole-period refit used to return 0
// while breaking the jerk limit (up to 971 times) or the acceleration limit:
// each now plans within the limits or is refused. From rest to 570 over
// 145.4 mm was 17 times over the jerk limit.
TEST(TrajPlan7S, RefitsThatBrokeTheLimitsPlanWithinThemOrRefuse) {
  const BranchCase cases[] = {
      {"145.4 to 570 a", planInputs(145.4, 760, 1236, 620, 28625, 0, 570), true},
      {"145.4 to 570 b", planInputs(145.4, 603, 1742, 3014, 10615, 0, 570), true},
      {"slowing 733 to 140", planInputs(131, 766, 3534, 4812, 27530, 733, 140), true},
      {"rest to 274", planInputs(47, 683, 4043, 3103, 11083, 0, 274), true},
      {"482 to 88", planInputs(64, 631, 388, 2341, 57541, 482, 88), true},
      {"rest to 321", planInputs(51, 451, 3157, 4783, 14146, 0, 321), true},
      {"144 to 637", planInputs(220, 761, 957, 2909, 23203, 144, 637), true},
      {"161 to 138", planInputs(9, 691, 3672, 3896, 43710, 161, 138), true},
      {"540 to 656", planInputs(69, 674, 3089, 3419, 39365, 540, 656), true},
      {"227 to rest", planInputs(49, 368, 3534, 782, 7332, 227, 0), true},
      {"234 to 410", planInputs(54, 791, 1167, 708, 78281, 234, 410), false},
      {"rest to 588 in 7", planInputs(7, 700, 4987, 2854, 37895, 0, 588), false},
      {"678 to 686 in 9", planInputs(9, 796, 4842, 770, 36920, 678, 686), false},
      {"24 to 117 in 1", planInputs(1, 153, 4460, 4392, 8199, 24, 117), false},
      {"562 to 279", planInputs(34, 572, 578, 1807, 4816, 562, 279), false},
  };
  for (const BranchCase& c : cases) {
    TrajPlanData plan = marked(c.in);
    const TrajPlanData before = plan;
    const int rc = TrajPlan7S(&plan);
    if (c.plannable) {
      ASSERT_EQ(rc, 0) << c.name;
      expectSoundPlan(c.in, plan, c.name);
    } else {
      EXPECT_NE(rc, 0) << c.name;
      EXPECT_EQ(std::memcmp(&plan, &before, sizeof plan), 0) << c.name;
    }
  }
}

TEST(TrajPlan7S, MirroredPlanReversesTheSwappedPlan) {
  TrajPlanData down = planInputs(100.3, 120, 600, 300, 4000, 80, 10);
  TrajPlanData up = planInputs(100.3, 120, 300, 600, 4000, 10, 80);
  ASSERT_EQ(TrajPlan7S(&down), 0);
  ASSERT_EQ(TrajPlan7S(&up), 0);
  for (int k = 1; k <= 7; ++k) {
    EXPECT_DOUBLE_EQ(down.motion.jerk[k], up.motion.jerk[8 - k]) << k;
    EXPECT_NEAR(down.motion.time[k] - down.motion.time[k - 1], up.motion.time[8 - k] - up.motion.time[7 - k], 1e-12);
  }
  EXPECT_EQ(down.motion.vel[0], 80.0);
}

TEST(TrajPlan7S, EmptyDistanceGivesAnEmptyPlan) {
  for (double dist : {1e-10, 0.0, -3.0}) {
    TrajPlanData plan = marked(planInputs(dist, 100, 500, 400, 5000, 30, 40));
    ASSERT_EQ(TrajPlan7S(&plan), 0);
    const MotionData zero{};
    EXPECT_EQ(std::memcmp(&plan.motion, &zero, sizeof zero), 0) << dist;
    EXPECT_EQ(plan.tTotal, 0.0);
    EXPECT_EQ(plan.tAcc, 0.0);
    EXPECT_EQ(plan.tDec, 0.0);
    EXPECT_EQ(plan.jerk, 0.0);
  }
}

// No peak velocity fits: the record is left exactly as it was.
TEST(TrajPlan7S, NoSignChangeReturnsMinusOneAndLeavesTheRecord) {
  const TrajPlanData in = planInputs(50, 100, 50, 50, 500, 100, 0);
  TrajPlanData plan = marked(in);
  const TrajPlanData before = plan;
  EXPECT_EQ(TrajPlan7S(&plan), -1);
  EXPECT_EQ(std::memcmp(&plan, &before, sizeof plan), 0);
}

TEST(TrajPlan7S, UnusableInputsAreRefusedWithTheRecordUntouched) {
  const TrajPlanData good = planInputs(100, 100, 500, 400, 5000, 0, 0);
  struct Field {
    const char* name;
    double TrajPlanData::*field;
    double value;
  };
  const Field fields[] = {
      {"jerk 0", &TrajPlanData::jerk, 0.0},        {"vMax 0", &TrajPlanData::vMax, 0.0},
      {"aMax negative", &TrajPlanData::aMax, -1},  {"aMaxDec NaN", &TrajPlanData::aMaxDec, kNaN},
      {"period 0", &TrajPlanData::period, 0.0},    {"vStart NaN", &TrajPlanData::vStart, kNaN},
      {"vEnd infinite", &TrajPlanData::vEnd, INFINITY}, {"dist infinite", &TrajPlanData::dist, INFINITY},
      {"dist NaN", &TrajPlanData::dist, kNaN},
  };
  for (const Field& f : fields) {
    TrajPlanData in = good;
    in.*f.field = f.value;
    TrajPlanData plan = marked(in);
    const TrajPlanData before = plan;
    EXPECT_EQ(TrajPlan7S(&plan), -1) << f.name;
    EXPECT_EQ(std::memcmp(&plan, &before, sizeof plan), 0) << f.name;
    plan = marked(in);
    EXPECT_EQ(TrajPlan7SLowLimit(&plan), -1) << f.name;
    EXPECT_EQ(std::memcmp(&plan, &before, sizeof plan), 0) << f.name;
  }
}

// Running 100 with vMax 50 and 50 mm left: stopping takes 105 mm, so the
// low-limit refit would cruise below zero; the move is refused instead.
TEST(TrajPlan7S, LowLimitThatCannotSlowDownInTimeIsRefused) {
  TrajPlanData plan = marked(planInputs(50, 50, 50, 50, 500, 100, 0));
  const TrajPlanData before = plan;
  EXPECT_EQ(TrajPlan7SLowLimit(&plan), -2);
  EXPECT_EQ(std::memcmp(&plan, &before, sizeof plan), 0);
}

// Seeded random plans in Ruckig's manner over a wide range (boundary
// speeds up to three times the top speed, distances from 1 µm): every plan
// that returns 0 keeps every limit; a refusal leaves the record untouched.
TEST(TrajPlan7S, RandomPlansMeetTheirInvariants) {
  std::mt19937_64 rng(20240610);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int planned = 0;
  for (int i = 0; i < 3000; ++i) {
    TrajPlanData in{};
    in.dist = std::pow(10.0, -3 + 6 * u(rng));
    in.vMax = 1 + 999 * u(rng);
    in.aMax = 1 + 4999 * u(rng);
    in.aMaxDec = 1 + 4999 * u(rng);
    in.jerk = 10 + 49990 * u(rng);
    const double r1 = u(rng);
    in.vStart = r1 < 0.2 ? 0 : r1 < 0.35 ? in.vMax : r1 < 0.6 ? 3 * u(rng) * in.vMax : u(rng) * in.vMax;
    const double r2 = u(rng);
    in.vEnd = r2 < 0.3 ? 0 : r2 < 0.5 ? in.vMax : u(rng) * in.vMax;
    if (u(rng) < 0.15) in.vStart = in.vEnd = 0.0;
    in.period = kPeriod;

    TrajPlanData plan = marked(in);
    const TrajPlanData before = plan;
    const std::string what = "case " + std::to_string(i) + ": dist " + std::to_string(in.dist) + " vMax " +
                             std::to_string(in.vMax) + " aMax " + std::to_string(in.aMax) + " aMaxDec " +
                             std::to_string(in.aMaxDec) + " jerk " + std::to_string(in.jerk) + " vStart " +
                             std::to_string(in.vStart) + " vEnd " + std::to_string(in.vEnd);
    const int rc = TrajPlan7S(&plan);
    if (rc != 0) {
      ASSERT_TRUE(rc == -1 || rc == -2) << what;
      ASSERT_EQ(std::memcmp(&plan, &before, sizeof plan), 0) << what;
      continue;
    }
    ++planned;
    expectSoundPlan(in, plan, what);
    if (HasFatalFailure() || HasNonfatalFailure()) return;
  }
  // The sample reaches the planned population (most refusals are moves of
  // micrometres between fast boundary speeds).
  EXPECT_GT(planned, 1000);
}

TEST(TrajPlan7S, EvaluationClampsToThePlan) {
  TrajPlanData plan = planInputs(200.3, 100, 500, 400, 5000, 10, 0);
  ASSERT_EQ(TrajPlan7S(&plan), 0);
  EXPECT_EQ(JointCalc7S(&plan, -1.0), 0.0);
  EXPECT_EQ(JointCalc7S(&plan, kNaN), 0.0);
  EXPECT_NEAR(JointCalc7S(&plan, plan.tTotal + 5.0), 200.3, 1e-9);
  double pos = 0, vel = 0, acc = 0;
  getPosVelAcc(plan.motion, plan.tTotal * 10, kPeriod, pos, vel, acc);
  EXPECT_NEAR(vel, 0.0, 1e-9);
  // A distance beyond the end is reached at the end (to the solver's tolerance).
  const double atEnd = TimeCalc7S(&plan, 500.0);
  EXPECT_NEAR(JointCalc7S(&plan, atEnd), 200.3, 1e-5);
  EXPECT_NEAR(atEnd, plan.tTotal, 0.01);
}

// The blending shifts pos[] by its start cut and makes pos[7] the distance.
TEST(TrajPlan7S, StartShiftedPlanEvaluatesAndInverts) {
  TrajPlanData plan = planInputs(0.8, 1.2, 6, 6, 60, 0.3, 0.2);
  ASSERT_EQ(TrajPlan7S(&plan), 0);
  TrajPlanData shifted = plan;
  const double cut = 0.15;
  for (double& p : shifted.motion.pos) p += cut;
  shifted.dist = shifted.motion.pos[7];
  for (int i = 0; i <= 10; ++i) {
    const double t = plan.tTotal * i / 10;
    EXPECT_NEAR(JointCalc7S(&shifted, t), JointCalc7S(&plan, t) + cut, 1e-12);
    EXPECT_NEAR(TimeCalc7S(&shifted, JointCalc7S(&plan, t) + cut), TimeCalc7S(&plan, JointCalc7S(&plan, t)), 1e-9);
  }
  EXPECT_EQ(TimeCalc7S(&shifted, cut / 2), 0.0) << "a distance before the shifted start is its start time";
  EXPECT_EQ(TimeCalc7S(&shifted, kNaN), 0.0);
}

TEST(TrajPlan7S, RetimingScalesTimeVelocityAccelerationAndJerk) {
  TrajPlanData plan = planInputs(200.3, 100, 500, 400, 5000, 20, 10);
  ASSERT_EQ(TrajPlan7S(&plan), 0);
  const TrajPlanData before = plan;
  const double k = 1.5;
  TrajPlanTime7S(&plan, before.tTotal * k);
  for (int i = 0; i < 8; ++i) {
    EXPECT_DOUBLE_EQ(plan.motion.time[i], before.motion.time[i] * k);
    EXPECT_DOUBLE_EQ(plan.motion.vel[i], before.motion.vel[i] / k);
    EXPECT_DOUBLE_EQ(plan.motion.acc[i], before.motion.acc[i] / (k * k));
    EXPECT_DOUBLE_EQ(plan.motion.jerk[i], before.motion.jerk[i] / (k * k * k));
    EXPECT_EQ(plan.motion.pos[i], before.motion.pos[i]);
  }
  EXPECT_DOUBLE_EQ(plan.tTotal, before.tTotal * k);
  EXPECT_DOUBLE_EQ(plan.tAcc, before.tAcc * k);
  EXPECT_DOUBLE_EQ(plan.jerk, before.jerk / (k * k * k));
  EXPECT_NEAR(JointCalc7S(&plan, plan.tTotal), 200.3, 1e-9);

  TrajPlanData empty = planInputs(0, 100, 500, 400, 5000, 0, 0);
  ASSERT_EQ(TrajPlan7S(&empty), 0);
  TrajPlanTime7S(&empty, 2.0);  // nothing to stretch: no NaN
  EXPECT_EQ(empty.tTotal, 0.0);
  EXPECT_EQ(empty.motion.time[7], 0.0);
}

// Hand-made segments for the inversion rules.
TEST(TrajPlan7S, InversionRulesOnConstantJerkFreeSegments) {
  TrajPlanData plan{};
  MotionData& m = plan.motion;
  // Segment 1: deceleration 2 from velocity 4 to rest (distance 4, time 2);
  // segment 2 onwards: standing still.
  m.vel[0] = 4;
  m.acc[0] = -2;
  m.time[1] = 2;
  m.pos[1] = 4;
  for (int k = 2; k < 8; ++k) {
    m.pos[k] = 4;
    m.time[k] = 2;
  }
  // The radicand just past the segment end is a hair below zero: no NaN.
  const double justPast = TimeCalc7S(&plan, 4 + 5e-11);
  EXPECT_TRUE(std::isfinite(justPast));
  EXPECT_NEAR(TimeCalc7S(&plan, 3.0), 1.0, 1e-12);
  // At 4 the later segments win: no jerk, no acceleration, no velocity → 0.
  EXPECT_EQ(TimeCalc7S(&plan, 4.0), 0.0);

  TrajPlanData linear{};
  linear.motion.vel[0] = 2;
  for (int k = 1; k < 8; ++k) {
    linear.motion.pos[k] = 6;
    linear.motion.vel[k] = 2;
    linear.motion.time[k] = 3;
  }
  EXPECT_NEAR(TimeCalc7S(&linear, 1.0), 0.5, 1e-12);
}

TEST(TrajPlan7S, SolveTimeFindsTheCubicRootInItsBracket) {
  // (x - 0.3)(x^2 + 1) = x^3 - 0.3 x^2 + x - 0.3 on [0, 1], offset by 2.
  EXPECT_NEAR(SolveTime(1, -0.3, 1, -0.3, 2, 3), 2.3, 1e-5);
  // A flat derivative at the start point still converges.
  EXPECT_NEAR(SolveTime(1, -1.5, 0.75, -0.125 + 0.001, 0, 1), 0.5 - std::cbrt(0.001), 2e-2);
  EXPECT_DOUBLE_EQ(Cal_Accelelation(2, 3, 1), 7);
  EXPECT_DOUBLE_EQ(Cal_Velocity(2, 3, 1, 5), 5 + 2 + 6);
  EXPECT_DOUBLE_EQ(Cal_Displacement(2, 3, 1, 5, 7), 7 + 10 + 2 + 4);
}

}  // namespace
