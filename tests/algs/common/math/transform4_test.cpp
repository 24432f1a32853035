// 4 x 4 homogeneous transforms: pose conversion both ways, rotation order,
// inverse, products in place, and frame composition as the frame command uses it.
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "common/kinematics/kinematics_constants.h"
#include "common/math/transform4.h"

namespace {

void rotZ(double a, double (*R)[3]) {
  const double m[3][3] = {{std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1}};
  std::memcpy(R, m, sizeof m);
}
void rotY(double a, double (*R)[3]) {
  const double m[3][3] = {{std::cos(a), 0, std::sin(a)}, {0, 1, 0}, {-std::sin(a), 0, std::cos(a)}};
  std::memcpy(R, m, sizeof m);
}
void rotX(double a, double (*R)[3]) {
  const double m[3][3] = {{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}};
  std::memcpy(R, m, sizeof m);
}

// Frame {x, y, z, r degrees} composed with an offset, both turned about z
// only, as a four-value pose.
WCSPosition compose(const WCSPosition& frame, const WCSPosition& offset, bool offsetFirst) {
  const double f[6] = {frame.x, frame.y, frame.z, frame.r * kDegToRad, 0, 0};
  const double o[6] = {offset.x, offset.y, offset.z, offset.r * kDegToRad, 0, 0};
  double TF[4][4], TO[4][4], T[4][4], pose[6];
  cart2T(f, TF);
  cart2T(o, TO);
  if (offsetFirst)
    matMul4(TO, TF, T);
  else
    matMul4(TF, TO, T);
  T2Cart(T, pose);
  return {pose[0], pose[1], pose[2], pose[3] * kRadToDeg};
}

}  // namespace

TEST(Transform4, PoseRoundTripsThroughTheMatrix) {
  std::mt19937_64 rng(21);
  std::uniform_real_distribution<double> v(-2000, 2000), a(-3.14, 3.14), tilt(-1.45, 1.45);
  for (int i = 0; i < 1000; ++i) {
    const double pose[6] = {v(rng), v(rng), v(rng), a(rng), tilt(rng), a(rng)};
    double T[4][4], back[6];
    cart2T(pose, T);
    T2Cart(T, back);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(back[k], pose[k], 1e-9) << "value " << k << " of case " << i;
  }
}

TEST(Transform4, RotationIsZThenYThenX) {
  const double rz = 0.4, ry = -0.3, rx = 1.1;
  double Rz[3][3], Ry[3][3], Rx[3][3], R[3][3];
  rotZ(rz, Rz);
  rotY(ry, Ry);
  rotX(rx, Rx);
  matMul3(Rz, Ry, R);
  matMul3(R, Rx, R);  // in place
  const double pose[6] = {1, 2, 3, rz, ry, rx};
  double T[4][4];
  cart2T(pose, T);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(T[r][c], R[r][c], 1e-12) << r << "," << c;
  EXPECT_EQ(T[0][3], 1.0);
  EXPECT_EQ(T[1][3], 2.0);
  EXPECT_EQ(T[2][3], 3.0);
  EXPECT_EQ(T[3][3], 1.0);

  double v[3] = {1, 0, 0};
  mat3MulVec3(R, v, v);  // in place: the first column
  for (int r = 0; r < 3; ++r) EXPECT_NEAR(v[r], R[r][0], 1e-15);
}

TEST(Transform4, InverseTimesTransformIsIdentityAndProductsWorkInPlace) {
  std::mt19937_64 rng(22);
  std::uniform_real_distribution<double> v(-1000, 1000), a(-3.14, 3.14);
  for (int i = 0; i < 200; ++i) {
    const double pa[6] = {v(rng), v(rng), v(rng), a(rng), a(rng) / 2, a(rng)};
    const double pb[6] = {v(rng), v(rng), v(rng), a(rng), a(rng) / 2, a(rng)};
    double A[4][4], B[4][4], inv[4][4], I[4][4], AB[4][4];
    cart2T(pa, A);
    cart2T(pb, B);
    invT4(A, inv);
    matMul4(inv, A, I);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(I[r][c], r == c ? 1.0 : 0.0, 1e-9);

    matMul4(A, B, AB);
    double left[4][4], right[4][4];
    std::memcpy(left, A, sizeof A);
    std::memcpy(right, B, sizeof B);
    matMul4(left, B, left);
    matMul4(A, right, right);
    EXPECT_EQ(std::memcmp(left, AB, sizeof AB), 0);
    EXPECT_EQ(std::memcmp(right, AB, sizeof AB), 0);

    invT4(A, A);  // in place
    EXPECT_EQ(std::memcmp(A, inv, sizeof inv), 0);
  }
}

TEST(Transform4, FrameCompositionTakesTheOffsetInTheRightAxes) {
  struct Case {
    WCSPosition frame, offset;
    bool offsetFirst;
    WCSPosition want;
  };
  const Case table[] = {
      {{100, 0, 0, 90}, {10, 0, 0, 0}, false, {100, 10, 0, 90}},
      {{100, 0, 0, 90}, {10, 0, 0, 0}, true, {110, 0, 0, 90}},
      // 190 degrees come back wrapped by a full turn of the true pi.
      {{0, 0, 5, 170}, {0, 0, 2, 20}, false, {0, 0, 7, (190 * kDegToRad - 2 * M_PI) * kRadToDeg}},
  };
  for (const Case& c : table) {
    const WCSPosition got = compose(c.frame, c.offset, c.offsetFirst);
    EXPECT_NEAR(got.x, c.want.x, 1e-5);
    EXPECT_NEAR(got.y, c.want.y, 1e-5);
    EXPECT_NEAR(got.z, c.want.z, 1e-9);
    EXPECT_NEAR(got.r, c.want.r, 1e-5);
  }
}

TEST(Transform4, AllZeroMatrixGivesAZeroPose) {
  const double Z[4][4] = {};
  double pose[6] = {1, 1, 1, 1, 1, 1};
  T2Cart(Z, pose);
  for (double p : pose) EXPECT_EQ(p, 0.0);
}
