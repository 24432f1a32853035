#include "common/math/transform4.h"

#include <cmath>
#include <cstring>

#include "common/math/fast_trig.h"

void cart2T(const double* pose, double (*T)[4]) {
  const double cz = cosQ(pose[3]), sz = sinQ(pose[3]);
  const double cy = cosQ(pose[4]), sy = sinQ(pose[4]);
  const double cx = cosQ(pose[5]), sx = sinQ(pose[5]);
  T[0][0] = cz * cy;
  T[0][1] = cz * sy * sx - sz * cx;
  T[0][2] = cz * sy * cx + sz * sx;
  T[0][3] = pose[0];
  T[1][0] = sz * cy;
  T[1][1] = sz * sy * sx + cz * cx;
  T[1][2] = sz * sy * cx - cz * sx;
  T[1][3] = pose[1];
  T[2][0] = -sy;
  T[2][1] = cy * sx;
  T[2][2] = cy * cx;
  T[2][3] = pose[2];
  T[3][0] = 0.0;
  T[3][1] = 0.0;
  T[3][2] = 0.0;
  T[3][3] = 1.0;
}

void T2Cart(const double (*T)[4], double* pose) {
  const double ry = std::atan2(-T[2][0], std::sqrt(T[0][0] * T[0][0] + T[1][0] * T[1][0]));
  const double c = cosQ(ry);
  pose[0] = T[0][3];
  pose[1] = T[1][3];
  pose[2] = T[2][3];
  pose[3] = std::atan2(T[1][0] / c, T[0][0] / c);
  pose[4] = ry;
  pose[5] = std::atan2(T[2][1] / c, T[2][2] / c);
}

void invT4(const double (*in)[4], double (*out)[4]) {
  double r[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = in[j][i];
  const double p[3] = {in[0][3], in[1][3], in[2][3]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
    out[i][3] = -(r[i][0] * p[0] + r[i][1] * p[1] + r[i][2] * p[2]);
  }
  out[3][0] = 0.0;
  out[3][1] = 0.0;
  out[3][2] = 0.0;
  out[3][3] = 1.0;
}

void matMul4(const double (*A)[4], const double (*B)[4], double (*C)[4]) {
  double m[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = A[i][0] * B[0][j] + A[i][1] * B[1][j] + A[i][2] * B[2][j] + A[i][3] * B[3][j];
  std::memcpy(C, m, sizeof m);
}

void matMul3(const double (*A)[3], const double (*B)[3], double (*C)[3]) {
  double m[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = A[i][0] * B[0][j] + A[i][1] * B[1][j] + A[i][2] * B[2][j];
  std::memcpy(C, m, sizeof m);
}

void mat3MulVec3(const double (*A)[3], const double* v, double* out) {
  double m[3];
  for (int i = 0; i < 3; ++i) m[i] = A[i][0] * v[0] + A[i][1] * v[1] + A[i][2] * v[2];
  out[0] = m[0];
  out[1] = m[1];
  out[2] = m[2];
}
