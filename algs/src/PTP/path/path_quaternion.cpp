// Unit-quaternion utilities of the path layer; quaternions are (w, x, y, z).
#include <cmath>

#include "PTP/path/path.h"
#include "common/math/fast_trig.h"

namespace {
constexpr double kPi = 3.141592653589793;
}

void Eul2UnitQua(double* e, double* q) {
  const double a = e[0] / 2.0;
  const double b = e[1] / 2.0;
  const double c = e[2] / 2.0;
  const double ca = cosQ(a), sa = sinQ(a);
  const double cb = cosQ(b), sb = sinQ(b);
  const double cc = cosQ(c), sc = sinQ(c);
  q[0] = ca * cb * cc + sa * sb * sc;
  q[1] = ca * cb * sc - sa * sb * cc;
  q[2] = ca * sb * cc + sa * cb * sc;
  q[3] = sa * cb * cc - ca * sb * sc;
}

void Eul2UnitQua(CartPos pos, double* q) {
  double e[3] = {pos.rx, pos.ry, pos.rz};
  Eul2UnitQua(e, q);
}

void UnitQua2Eul(double* q, double* e) {
  const double w = q[0], x = q[1], y = q[2], z = q[3];
  const double sinPitch = std::fmin(1.0, std::fmax(-1.0, 2.0 * (w * y - z * x)));
  e[0] = std::atan2(2.0 * (w * z + x * y), 1.0 - 2.0 * (y * y + z * z));
  e[1] = asinQ(sinPitch);
  e[2] = std::atan2(2.0 * (w * x + y * z), 1.0 - 2.0 * (x * x + y * y));
}

void UnitQua2Eul(double* q, CartPos& pos) {
  double e[3];
  UnitQua2Eul(q, e);
  pos.rx = e[0];
  pos.ry = e[1];
  pos.rz = e[2];
}

void MultiQua(double* p, double* q, double* out) {
  const double w = p[0] * q[0] - p[1] * q[1] - p[2] * q[2] - p[3] * q[3];
  const double x = p[0] * q[1] + p[1] * q[0] + p[2] * q[3] - p[3] * q[2];
  const double y = p[0] * q[2] - p[1] * q[3] + p[2] * q[0] + p[3] * q[1];
  const double z = p[0] * q[3] + p[1] * q[2] - p[2] * q[1] + p[3] * q[0];
  out[0] = w;
  out[1] = x;
  out[2] = y;
  out[3] = z;
}

void InvUnitQua(double* q) {
  q[1] = -q[1];
  q[2] = -q[2];
  q[3] = -q[3];
}

void QuaAxis(double* q, double* out) {
  q[0] = std::fmin(1.0, std::fmax(-1.0, q[0]));
  const double theta = acosQ(q[0]);
  double axis[3] = {0.0, 0.0, 0.0};
  if (std::fabs(theta) > 1e-10) {
    const double s = sinQ(theta);
    for (int i = 0; i < 3; ++i) axis[i] = q[i + 1] / s;
  }
  // q and -q are the same rotation: report the shorter way round.
  const bool shortWay = 2.0 * theta < kPi;
  out[0] = shortWay ? 2.0 * theta : 2.0 * (kPi - theta);
  for (int i = 0; i < 3; ++i) out[i + 1] = shortWay ? axis[i] : -axis[i];
}

void calcAxis(double* q1, double* q2, double* out) {
  double inverse[4] = {q1[0], q1[1], q1[2], q1[3]};
  InvUnitQua(inverse);
  double relative[4];
  MultiQua(q2, inverse, relative);
  QuaAxis(relative, out);
}

void SlerpInsert(double* q0, double* q1, double t, double* out) {
  double dot = q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3];
  if (dot < 0.0) {
    for (int i = 0; i < 4; ++i) q1[i] = -q1[i];
    dot = -dot;
  }
  double k0 = 1.0 - t;
  double k1 = t;
  if (!(dot > 0.99999999)) {
    const double sinTheta = std::sqrt(1.0 - dot * dot);
    const double theta = std::atan2(sinTheta, dot);
    k0 = sinQ((1.0 - t) * theta) / sinTheta;
    k1 = sinQ(t * theta) / sinTheta;
  }
  for (int i = 0; i < 4; ++i) out[i] = k0 * q0[i] + k1 * q1[i];
}
