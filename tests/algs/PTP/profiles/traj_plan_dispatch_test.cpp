// The profile dispatch: routing by gAccType and variableSpeed, the planning
// log line, and the seven-segment fallback for plans that cannot be made.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "PTP/profiles/traj_plan.h"
#include "PTP/profiles/traj_plan_cos.h"
#include "common/kernel/kernel_state.h"
#include "support/kernel_log_capture.h"
#include "plan_inputs.h"

namespace {

constexpr double kPeriod = 0.004;


class TrajPlanDispatch : public KernelLogCapture {
 protected:
  void SetUp() override {
    KernelLogCapture::SetUp();
    saved_ = gAccType;
  }
  void TearDown() override {
    gAccType = saved_;
    KernelLogCapture::TearDown();
  }
  std::int32_t saved_ = 0;
};

bool sameRecord(const TrajPlanData& a, const TrajPlanData& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

enum class Family { FiveS, FiveSvs, SevenS, Cos, None };

struct Route {
  std::int32_t type;
  bool variableSpeed;
  Family plan;      // TrajPlan and JointCalc
  Family invert;    // TimeCalc
  Family next;      // JointCalcNext
  Family retime;    // TrajPlanTime
};

void planWith(Family f, TrajPlanData* p) {
  switch (f) {
    case Family::FiveS: TrajPlan5S(p); break;
    case Family::FiveSvs: TrajPlan5Svs(p); break;
    case Family::SevenS: TrajPlan7S(p); break;
    case Family::Cos: TrajPlanCos(p); break;
    case Family::None: break;
  }
}

double positionWith(Family f, TrajPlanData* p, double t) {
  switch (f) {
    case Family::FiveS: return JointCalc5S(p, t);
    case Family::FiveSvs: return JointCalc5Svs(p, t);
    case Family::SevenS: return JointCalc7S(p, t);
    case Family::Cos: return JointCalcCos(p, t);
    case Family::None: return t;
  }
  return NAN;
}

double timeWith(Family f, TrajPlanData* p, double s) {
  switch (f) {
    case Family::FiveS: return TimeCalc5S(p, s);
    case Family::FiveSvs: return TimeCalc5Svs(p, s);
    case Family::SevenS: return TimeCalc7S(p, s);
    case Family::Cos: return TimeCalcCos(p, s);
    case Family::None: return s;
  }
  return NAN;
}

void retimeWith(Family f, TrajPlanData* p, double T) {
  switch (f) {
    case Family::FiveS: TrajPlanTime5S(p, T); break;
    case Family::SevenS: TrajPlanTime7S(p, T); break;
    case Family::Cos: TrajPlanTimeCos(p, T); break;
    default: break;
  }
}

TEST_F(TrajPlanDispatch, EveryTypeAndFlagPairRoutesToItsFamily) {
  using F = Family;
  const Route routes[] = {
      {0, false, F::FiveS, F::FiveS, F::FiveS, F::FiveS},
      {0, true, F::FiveSvs, F::FiveSvs, F::FiveS, F::FiveS},
      {1, false, F::SevenS, F::SevenS, F::SevenS, F::SevenS},
      {1, true, F::SevenS, F::SevenS, F::SevenS, F::SevenS},
      {2, false, F::Cos, F::Cos, F::Cos, F::Cos},
      {2, true, F::SevenS, F::SevenS, F::Cos, F::Cos},
      {3, false, F::None, F::None, F::None, F::None},
      {-1, true, F::None, F::None, F::None, F::None},
  };
  for (const Route& r : routes) {
    const std::string what = "gAccType " + std::to_string(r.type) + " variableSpeed " + std::to_string(r.variableSpeed);
    TrajPlanData in = planInputs(120.3, 100, 500, 400, 5000, 30, 0);
    in.variableSpeed = r.variableSpeed;
    gAccType = r.type;

    TrajPlanData viaDispatch = in;
    TrajPlanData direct = in;
    TrajPlan(&viaDispatch);
    planWith(r.plan, &direct);
    EXPECT_TRUE(sameRecord(viaDispatch, direct)) << what << ": planned by another family";
    if (r.plan == F::None) {
      EXPECT_TRUE(sameRecord(viaDispatch, in)) << what << ": planned something";
    }

    // Evaluated on a record of the family; the compared functions differ there.
    for (double t : {0.05, 0.4, 0.9}) {
      EXPECT_EQ(JointCalc(&direct, t), positionWith(r.plan, &direct, t)) << what << " t " << t;
      EXPECT_EQ(JointCalcNext(&direct, t), positionWith(r.next, &direct, t)) << what << " t " << t;
    }
    for (double s : {1.0, 60.0}) {
      EXPECT_EQ(TimeCalc(&direct, s), timeWith(r.invert, &direct, s)) << what << " s " << s;
    }
    TrajPlanData retimed = direct;
    TrajPlanData retimedDirect = direct;
    TrajPlanTime(&retimed, 3.0);
    retimeWith(r.retime, &retimedDirect, 3.0);
    EXPECT_TRUE(sameRecord(retimed, retimedDirect)) << what << ": re-timed by another family";
  }
}

// The functions the routing test compares really differ on its records.
TEST_F(TrajPlanDispatch, RoutedFamiliesAreDistinguishable) {
  TrajPlanData p = planInputs(120.3, 100, 500, 400, 5000, 30, 0);
  TrajPlan7S(&p);
  EXPECT_NE(JointCalc7S(&p, 0.05), JointCalcCos(&p, 0.05));
  EXPECT_NE(TimeCalc7S(&p, 1.0), TimeCalcCos(&p, 1.0));
  TrajPlanData v = planInputs(120.3, 100, 500, 400, 5000, 30, 0);
  TrajPlan5Svs(&v);
  EXPECT_NE(JointCalc5Svs(&v, 0.4), JointCalc5S(&v, 0.4));
  EXPECT_NE(TimeCalc5Svs(&v, 60.0), TimeCalc5S(&v, 60.0));
}

TEST_F(TrajPlanDispatch, LogsThePlanningLineBeforePlanning) {
  gAccType = 1;
  TrajPlanData p = planInputs(12.5, 100, 500, 400, 5000, 1.25, 0.5);
  TrajPlan(&p);
  ASSERT_FALSE(lines().empty());
  EXPECT_EQ(lines().front(),
            "TrajPlan planData :12.500 1.250 0.500 0.004 100.000 500.000 400.000 5000.000\r\n");
  EXPECT_EQ(lines().size(), 1u) << "a plan that succeeds logs one line";

  // An unknown type still logs the line, and plans nothing.
  lines().clear();
  gAccType = 7;
  TrajPlanData q = planInputs(1, 2, 3, 4, 5, 6, 7);
  EXPECT_EQ(TrajPlan(&q), -1);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines().front(), "TrajPlan planData :1.000 6.000 7.000 0.004 2.000 3.000 4.000 5.000\r\n");
}

TEST_F(TrajPlanDispatch, SevenSegmentCalledDirectlyLogsNothing) {
  TrajPlanData p = planInputs(12.5, 100, 500, 400, 5000, 0, 0);
  TrajPlan7S(&p);
  EXPECT_TRUE(lines().empty());
}

// A move that no plan within the limits can make is refused with one line.
TEST_F(TrajPlanDispatch, SevenSegmentRefusalLogsOneLine) {
  const TrajPlanData cases[] = {planInputs(1.0, 100, 1000, 1000, 5000, 0, 100),  // too short to reach 100
                                planInputs(50, 100, 50, 50, 500, 100, 0)};       // too short to stop
  for (const TrajPlanData& in : cases) {
    TrajPlanData p = in;
    lines().clear();
    EXPECT_NE(TrajPlan7S(&p), 0);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(linesStartingWith("TrajPlan7S no plan within limits").size(), 1u) << lines().front();
  }
}

// The re-plan from the running speed that TrajPlan7S cannot make (-1) must not
// leave the old plan to be replayed: the dispatch plans the pure transition.
TEST_F(TrajPlanDispatch, ImpossibleStopBecomesTheVelocityTransition) {
  for (std::int32_t type : {1, 2}) {
    gAccType = type;
    TrajPlanData p = planInputs(50, 100, 50, 50, 500, 100, 0);
    p.variableSpeed = 1;
    p.motion.pos[7] = 400;  // the old plan
    p.tTotal = 9;
    lines().clear();
    EXPECT_EQ(TrajPlan(&p), -1);
    EXPECT_NEAR(p.motion.pos[7], 50.0, 1e-9);
    EXPECT_EQ(p.motion.vel[0], 100.0);
    EXPECT_NEAR(p.motion.vel[7], 0.0, 1e-9);
    EXPECT_NEAR(p.tTotal, 1.0, 1e-12) << "2 dist / (vStart + vEnd) in whole periods";
    EXPECT_NEAR(JointCalc(&p, p.tTotal), 50.0, 1e-9);
    ASSERT_EQ(linesStartingWith("TrajPlan fallback").size(), 1u);
  }
}

// Running at 100, vMax lowered to 50, 50 mm left: the low-limit refit would
// cruise at about -4.5 (reverse); through the dispatch the arm never reverses.
TEST_F(TrajPlanDispatch, LowLimitNeverReversesTheArm) {
  gAccType = 1;
  TrajPlanData p = planInputs(50, 50, 50, 50, 500, 100, 0);
  EXPECT_EQ(TrajPlan(&p), -1);
  double slowest = 1e9;
  for (int n = 0; n * kPeriod <= p.tTotal + 1e-12; ++n) {
    double pos = 0, vel = 0, acc = 0;
    getPosVelAcc(p.motion, n * kPeriod, kPeriod, pos, vel, acc);
    slowest = std::min(slowest, vel);
  }
  EXPECT_GE(slowest, 0.0);
  EXPECT_NEAR(p.motion.pos[7], 50.0, 1e-9);
  EXPECT_EQ(linesStartingWith("TrajPlan fallback").size(), 1u);
}

TEST_F(TrajPlanDispatch, UnusableSevenSegmentInputsLeaveNoMotion) {
  gAccType = 1;
  struct Case {
    const char* name;
    TrajPlanData in;
  };
  const Case cases[] = {
      {"zero jerk", planInputs(50, 100, 50, 50, 0, 0, 0)},
      {"NaN vMax", planInputs(50, NAN, 50, 50, 500, 0, 0)},
  };
  for (const Case& c : cases) {
    TrajPlanData p = c.in;
    p.motion.pos[7] = 400;  // an old plan
    p.tTotal = 9;
    lines().clear();
    EXPECT_EQ(TrajPlan(&p), -1) << c.name;
    EXPECT_EQ(p.tTotal, 0.0) << c.name;
    EXPECT_EQ(p.motion.pos[7], 0.0) << c.name;
    EXPECT_EQ(JointCalc(&p, 0.5), 0.0) << c.name;
    EXPECT_EQ(linesStartingWith("TrajPlan fallback").size(), 1u) << c.name;
  }
}

TEST_F(TrajPlanDispatch, FeasiblePlanIsTheSevenSegmentPlan) {
  gAccType = 1;
  TrajPlanData viaDispatch = planInputs(120.3, 100, 500, 400, 5000, 30, 0);
  TrajPlanData direct = viaDispatch;
  EXPECT_EQ(TrajPlan(&viaDispatch), 0);
  EXPECT_EQ(TrajPlan7S(&direct), 0);
  EXPECT_TRUE(sameRecord(viaDispatch, direct));
}

}  // namespace
