// Cosine profile: rest to rest on whole periods, its branches, evaluation and inversion.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "PTP/profiles/traj_plan_cos.h"

namespace {

constexpr double kPeriod = 0.004;
constexpr double kPiF = 3.1415927410125732;

TrajPlanData cosine(double dist, double vMax, double aMax, double jerk) {
  TrajPlanData p{};
  p.dist = dist;
  p.vMax = vMax;
  p.aMax = aMax;
  p.aMaxDec = 1;  // not read
  p.jerk = jerk;
  p.vStart = 33;  // not read: the profile runs from rest to rest
  p.vEnd = 44;
  p.period = kPeriod;
  return p;
}

void expectRestToRest(const TrajPlanData& in, TrajPlanData p) {
  const MotionData& m = p.motion;
  ASSERT_GT(m.time[1], 0.0);
  const double periods = m.time[7] / kPeriod;
  EXPECT_NEAR(periods, std::round(periods), 1e-6);
  EXPECT_EQ(m.vel[0], 0.0);
  EXPECT_EQ(m.acc[0], 0.0);
  EXPECT_NEAR(m.vel[7], 0.0, 1e-6 * in.vMax);
  EXPECT_NEAR(m.acc[7], 0.0, 1e-6 * in.aMax);
  EXPECT_NEAR(m.pos[7], std::fabs(in.dist), 1e-6 * std::max(1.0, std::fabs(in.dist)));
  for (int k : {1, 3, 5, 7}) EXPECT_GT(m.jerk[k], 0.0) << "amplitudes are stored positive";
  EXPECT_EQ(p.tTotal, m.time[7]);
  EXPECT_EQ(p.jerk, std::max(m.jerk[1], m.jerk[5]));
  // The jerk segments share one duration, so one w serves them all.
  for (int k : {3, 5, 7}) EXPECT_NEAR(m.time[k] - m.time[k - 1], m.time[1], 1e-12);

  // Continuous everywhere, at rest at both ends, never beyond vMax.
  const double w = kPiF / m.time[1];
  double prevPos = 0;
  for (int i = 0; i <= 400; ++i) {
    const double t = m.time[7] * i / 400;
    double pos = -1, vel = -1, acc = -1;
    getPosVelAccCos(p.motion, w, t, kPeriod, pos, vel, acc);
    EXPECT_GE(pos, prevPos - 1e-9) << "t " << t;
    EXPECT_LE(vel, in.vMax * (1 + 1e-6)) << "t " << t;
    EXPECT_NEAR(pos, JointCalcCos(&p, t), 1e-12);
    prevPos = pos;
  }
  // Inversion on the moving part.
  for (int i = 1; i < 20; ++i) {
    const double t = m.time[7] * i / 20;
    const double s = JointCalcCos(&p, t);
    EXPECT_NEAR(JointCalcCos(&p, TimeCalcCos(&p, s)), s, 2e-5) << "t " << t;
  }
}

struct CosCase {
  const char* name;
  TrajPlanData in;
};

class TrajPlanCosBranches : public ::testing::TestWithParam<CosCase> {};

TEST_P(TrajPlanCosBranches, StartsAndEndsAtRestOnWholePeriods) {
  TrajPlanData p = GetParam().in;
  ASSERT_EQ(TrajPlanCos(&p), 0);
  expectRestToRest(GetParam().in, p);
}

INSTANTIATE_TEST_SUITE_P(Branches, TrajPlanCosBranches,
                         ::testing::Values(CosCase{"accelerationLimitAndCruise", cosine(300.3, 100, 400, 5000)},
                                           CosCase{"accelerationLimitNoCruise", cosine(30.1, 100, 400, 5000)},
                                           CosCase{"velocityLimitBelowAcceleration", cosine(100.7, 20, 2000, 5000)},
                                           CosCase{"velocityLimitShort", cosine(1.3, 20, 2000, 5000)},
                                           CosCase{"shortCubeRoot", cosine(0.7, 100, 400, 5000)},
                                           CosCase{"negativeDistance", cosine(-50.2, 100, 400, 5000)}),
                         [](const ::testing::TestParamInfo<CosCase>& info) { return std::string(info.param.name); });

TEST(TrajPlanCos, RandomPlansRunRestToRest) {
  std::mt19937_64 rng(77);
  std::uniform_real_distribution<double> u(0, 1);
  for (int i = 0; i < 300; ++i) {
    const TrajPlanData in = cosine(std::pow(10, -2 + 4 * u(rng)), 1 + 500 * u(rng), 10 + 3000 * u(rng),
                                   100 + 20000 * u(rng));
    TrajPlanData p = in;
    ASSERT_EQ(TrajPlanCos(&p), 0);
    expectRestToRest(in, p);
    if (HasFailure()) {
      ADD_FAILURE() << "dist " << in.dist << " vMax " << in.vMax << " aMax " << in.aMax << " jerk " << in.jerk;
      return;
    }
  }
}

TEST(TrajPlanCos, EmptyAndUnusableInputs) {
  TrajPlanData empty = cosine(1e-11, 100, 400, 5000);
  ASSERT_EQ(TrajPlanCos(&empty), 0);
  EXPECT_EQ(empty.tTotal, 0.0);
  EXPECT_EQ(empty.jerk, 0.0);
  EXPECT_EQ(JointCalcCos(&empty, 0.0), 0.0) << "an empty plan evaluates without NaN";
  EXPECT_EQ(JointCalcCos(&empty, 0.5), 0.0);

  for (TrajPlanData in : {cosine(10, 0, 400, 5000), cosine(10, 100, NAN, 5000), cosine(10, 100, 400, 0),
                          cosine(NAN, 100, 400, 5000)}) {
    TrajPlanData p = in;
    EXPECT_EQ(TrajPlanCos(&p), -1);
    EXPECT_EQ(std::memcmp(&p, &in, sizeof p), 0);
  }
  TrajPlanData noPeriod = cosine(10, 100, 400, 5000);
  noPeriod.period = 0;
  EXPECT_EQ(TrajPlanCos(&noPeriod), -1);
}

TEST(TrajPlanCos, EvaluationWritesNothingOutsideThePlan) {
  TrajPlanData p = cosine(30.1, 100, 400, 5000);
  ASSERT_EQ(TrajPlanCos(&p), 0);
  const double w = kPiF / p.motion.time[1];
  for (double t : {-0.01, p.tTotal + 1e-6, std::numeric_limits<double>::quiet_NaN()}) {
    double pos = 7, vel = 8, acc = 9;
    getPosVelAccCos(p.motion, w, t, kPeriod, pos, vel, acc);
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(vel, 8);
    EXPECT_EQ(acc, 9);
  }
  EXPECT_EQ(JointCalcCos(&p, -0.01), 0.0);
  EXPECT_EQ(JointCalcCos(&p, p.tTotal + 1.0), p.motion.pos[7]);
}

TEST(TrajPlanCos, RetimingAndStartShiftedInversion) {
  TrajPlanData p = cosine(30.1, 100, 400, 5000);
  ASSERT_EQ(TrajPlanCos(&p), 0);
  const TrajPlanData before = p;
  TrajPlanTimeCos(&p, before.tTotal * 2);
  EXPECT_DOUBLE_EQ(p.tTotal, before.tTotal * 2);
  EXPECT_NEAR(JointCalcCos(&p, p.tTotal * 0.3), JointCalcCos(&const_cast<TrajPlanData&>(before), before.tTotal * 0.3),
              1e-9);

  TrajPlanData shifted = before;
  for (double& x : shifted.motion.pos) x += 0.5;
  EXPECT_EQ(TimeCalcCos(&shifted, 0.25), 0.0) << "before the shifted start";
  const double s = JointCalcCos(&shifted, before.tTotal * 0.4);
  EXPECT_NEAR(JointCalcCos(&shifted, TimeCalcCos(&shifted, s)), s, 2e-5);
}

}  // namespace
