// Circle through three poses: plan, absolute points and displacements.
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "PTP/path/circle_geometry.h"

namespace {

constexpr double kPi = 3.141592653589793;

CirlPlanPara markedPlan() {
  CirlPlanPara plan;
  double* v = reinterpret_cast<double*>(&plan);
  for (int i = 0; i < 18; ++i) v[i] = -7.0;
  return plan;
}

TEST(CirclePlan, HalfTurnPlusQuarterClockwise) {
  CirlPlanPara plan = markedPlan();
  ASSERT_EQ(TP_CirclePlanForScara({100, 0, 0, 0}, {-100, 0, 0, 0}, {0, -100, 0, 90}, &plan, 0, true), 0);
  EXPECT_NEAR(plan.centre.x, 0.0, 1e-12);
  EXPECT_NEAR(plan.centre.y, 0.0, 1e-12);
  EXPECT_NEAR(plan.centre.z, 0.0, 1e-12);
  EXPECT_DOUBLE_EQ(plan.radius, 100.0);
  const double want[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // columns u, v, n
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(plan.rotation.m[r][c], want[r][c], 1e-15) << r << "," << c;
  }
  EXPECT_DOUBLE_EQ(plan.angle, 4.71238915523025);
  EXPECT_EQ(plan.rTravel, 90.0);
  EXPECT_EQ(plan.rDir[0], 0.0);
  EXPECT_EQ(plan.rDir[1], 0.0);
  EXPECT_EQ(plan.rDir[2], 1.0);

  // The end point lies at the swept angle, up to the single-precision 2 pi
  // (1.7e-7 rad short at radius 100).
  WCSPosition end;
  TP_CalcCirclePtForScara({100, 0, 0, 0}, plan.rotation, plan.centre, plan.radius, plan.angle, 90.0, &end);
  EXPECT_NEAR(end.x, 0.0, 2e-5);
  EXPECT_NEAR(end.y, -100.0, 1e-9);
  EXPECT_EQ(end.r, 90.0);
}

TEST(CirclePlan, WholeTurnsUseTheSinglePrecisionTurn) {
  CirlPlanPara plan = markedPlan();
  ASSERT_EQ(TP_CirclePlanForScara({100, 0, 0, 30}, {-100, 0, 0, 0}, {0, -100, 0, 10}, &plan, 1, false), 0);
  EXPECT_EQ(plan.angle, 6.2831854820251465);
  EXPECT_EQ(plan.rDir[2], -1.0);
  EXPECT_EQ(plan.rTravel, 20.0);
  ASSERT_EQ(TP_CirclePlanForScara({100, 0, 0, 0}, {-100, 0, 0, 0}, {0, -100, 0, 0}, &plan, 3, true), 0);
  EXPECT_EQ(plan.angle, static_cast<double>(3.0f * 6.2831855f) + (6.2831854820251465 - kPi / 2));
  EXPECT_EQ(plan.rDir[2], -1.0) << "no r change counts as negative";
}

TEST(CirclePlan, OppositeEndIsTheSinglePrecisionHalfTurn) {
  CirlPlanPara plan = markedPlan();
  ASSERT_EQ(TP_CirclePlanForScara({100, 0, 0, 0}, {0, 100, 0, 0}, {-100, 0, 0, 0}, &plan, 0, true), 0);
  EXPECT_EQ(plan.angle, 3.1415927410125732);
}

TEST(CirclePlan, NoCircleLeavesThePlanUntouched) {
  const WCSPosition cases[][3] = {
      {{0, 0, 0, 0}, {1, 1, 1, 0}, {2, 2, 2, 0}},        // collinear
      {{0, 0, 0, 0}, {0, 0, 0, 45}, {10, 0, 0, 0}},      // middle on the start
      {{0, 0, 0, 0}, {1e-3, 0, 0, 0}, {0, 1e-3, 0, 0}},  // too small a triangle
  };
  for (const auto& c : cases) {
    CirlPlanPara plan = markedPlan();
    EXPECT_EQ(TP_CirclePlanForScara(c[0], c[1], c[2], &plan, 0, true), 1);
    EXPECT_EQ(plan.radius, -7.0);
  }
}

// Seeded triples: the three points lie on the planned circle, the frame is
// orthonormal and right-handed, the end lies at the swept angle and the
// middle inside it; the displacement is the point minus the start.
TEST(CirclePlan, RandomCirclesPassThroughTheirPoints) {
  std::mt19937 rng(4711);
  std::uniform_real_distribution<double> coord(-400.0, 400.0);
  for (int trial = 0; trial < 200; ++trial) {
    const WCSPosition p1{coord(rng), coord(rng), coord(rng), coord(rng)};
    const WCSPosition p2{coord(rng), coord(rng), coord(rng), 0};
    const WCSPosition p3{coord(rng), coord(rng), coord(rng), coord(rng)};
    CirlPlanPara plan;
    ASSERT_EQ(TP_CirclePlanForScara(p1, p2, p3, &plan, 0, true), 0) << "trial " << trial;
    const auto& m = plan.rotation.m;
    for (int a = 0; a < 3; ++a) {
      for (int b = 0; b < 3; ++b) {
        const double d = m[0][a] * m[0][b] + m[1][a] * m[1][b] + m[2][a] * m[2][b];
        EXPECT_NEAR(d, a == b ? 1.0 : 0.0, 1e-12) << "columns " << a << "," << b;
      }
    }
    const double tol = 1e-6 * std::fmax(1.0, plan.radius);
    for (const WCSPosition* p : {&p1, &p2, &p3}) {
      EXPECT_NEAR(std::hypot(p->x - plan.centre.x, p->y - plan.centre.y, p->z - plan.centre.z), plan.radius, tol);
    }
    WCSPosition end, shift;
    TP_CalcCirclePtForScara(p1, plan.rotation, plan.centre, plan.radius, plan.angle, p3.r - p1.r, &end);
    EXPECT_NEAR(end.x, p3.x, tol);
    EXPECT_NEAR(end.y, p3.y, tol);
    EXPECT_NEAR(end.z, p3.z, tol);
    EXPECT_DOUBLE_EQ(end.r, p3.r);

    // Angle of the middle point, measured in the plan's frame.
    const double d[3] = {p2.x - plan.centre.x, p2.y - plan.centre.y, p2.z - plan.centre.z};
    double mid = std::atan2(d[0] * m[0][1] + d[1] * m[1][1] + d[2] * m[2][1],
                            d[0] * m[0][0] + d[1] * m[1][0] + d[2] * m[2][0]);
    if (mid < 0) mid += 2 * kPi;
    EXPECT_LT(mid, plan.angle) << "trial " << trial;

    const VECTOR3D_STR ignored{1e9, -1e9, 1e9};
    TP_TransCalcCirclePtForScara(plan.rotation, ignored, plan.radius, mid, 5.0, &shift);
    EXPECT_NEAR(p1.x + shift.x, p2.x, tol);
    EXPECT_NEAR(p1.y + shift.y, p2.y, tol);
    EXPECT_NEAR(p1.z + shift.z, p2.z, tol);
    EXPECT_EQ(shift.r, 5.0);
  }
}

}  // namespace
