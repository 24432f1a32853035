// Unit-quaternion utilities of the path layer.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "PTP/path/path.h"

namespace {

constexpr double kPi = 3.141592653589793;

TEST(Quaternion, EulerRoundTripAndProductWithInverse) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> yaw(-3.0, 3.0), pitch(-1.5, 1.5);
  for (int trial = 0; trial < 100; ++trial) {
    double e[3] = {yaw(rng), pitch(rng), yaw(rng)};
    double q[4], back[3];
    Eul2UnitQua(e, q);
    EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3], 1.0, 1e-14);
    UnitQua2Eul(q, back);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], e[i], 1e-9) << "trial " << trial << " angle " << i;

    CartPos pos{1, 2, 3, e[0], e[1], e[2]};
    double qp[4];
    Eul2UnitQua(pos, qp);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(qp[i], q[i]);
    CartPos out{9, 9, 9, 0, 0, 0};
    UnitQua2Eul(q, out);
    EXPECT_EQ(out.x, 9.0);
    EXPECT_EQ(out.rx, back[0]);
    EXPECT_EQ(out.rz, back[2]);

    double inv[4] = {q[0], q[1], q[2], q[3]};
    InvUnitQua(inv);
    double id[4];
    MultiQua(q, inv, id);
    EXPECT_NEAR(id[0], 1.0, 1e-14);
    for (int i = 1; i < 4; ++i) EXPECT_NEAR(id[i], 0.0, 1e-14);
  }
}

TEST(Quaternion, YawAloneIsARotationAboutZ) {
  double e[3] = {kPi / 2, 0, 0};
  double q[4], axis[4];
  Eul2UnitQua(e, q);
  QuaAxis(q, axis);
  EXPECT_NEAR(axis[0], kPi / 2, 1e-12);
  EXPECT_NEAR(axis[1], 0.0, 1e-12);
  EXPECT_NEAR(axis[2], 0.0, 1e-12);
  EXPECT_NEAR(axis[3], 1.0, 1e-12);
}

TEST(Quaternion, AxisOfIdentityAndClampedScalar) {
  double q[4] = {1, 0, 0, 0};
  double out[4] = {9, 9, 9, 9};
  QuaAxis(q, out);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1], 0.0);
  EXPECT_EQ(out[2], 0.0);
  EXPECT_EQ(out[3], 0.0);

  double over[4] = {1.0000001, 0, 0, 0};
  QuaAxis(over, out);
  EXPECT_EQ(over[0], 1.0) << "w is clamped in the caller's array";
  EXPECT_EQ(out[0], 0.0);
}

TEST(Quaternion, AxisAngleNeverAbovePi) {
  // 300 degrees about z is 60 degrees about -z.
  const double half = 300.0 / 2 * kPi / 180;
  double q[4] = {std::cos(half), 0, 0, std::sin(half)};
  double out[4];
  QuaAxis(q, out);
  EXPECT_NEAR(out[0], kPi / 3, 1e-12);
  EXPECT_NEAR(out[3], -1.0, 1e-12);

  // calcAxis: the rotation carrying q1 into q2.
  double e1[3] = {0.2, 0, 0}, e2[3] = {0.7, 0, 0};
  double q1[4], q2[4];
  Eul2UnitQua(e1, q1);
  Eul2UnitQua(e2, q2);
  const double q1Copy[4] = {q1[0], q1[1], q1[2], q1[3]};
  calcAxis(q1, q2, out);
  EXPECT_NEAR(out[0], 0.5, 1e-12);
  EXPECT_NEAR(out[3], 1.0, 1e-12);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(q1[i], q1Copy[i]) << "q1 is read only";
}

TEST(Quaternion, SlerpTakesTheShortWay) {
  double q0[4] = {std::cos(0.3), std::sin(0.3), 0, 0};
  double q1[4] = {-q0[0], -q0[1], -q0[2], -q0[3]};
  for (double t : {0.0, 0.25, 0.5, 1.0}) {
    double out[4];
    double q1Run[4] = {q1[0], q1[1], q1[2], q1[3]};
    SlerpInsert(q0, q1Run, t, out);
    EXPECT_EQ(q1Run[0], q0[0]) << "q1 negated in place";
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(out[i], q0[i], 1e-12) << "t " << t;
  }

  // A quarter turn about x, halfway: an eighth turn.
  double a[4] = {1, 0, 0, 0};
  double b[4] = {std::cos(kPi / 4), std::sin(kPi / 4), 0, 0};
  double out[4];
  SlerpInsert(a, b, 0.5, out);
  EXPECT_NEAR(out[0], std::cos(kPi / 8), 1e-12);
  EXPECT_NEAR(out[1], std::sin(kPi / 8), 1e-12);
}

}  // namespace
