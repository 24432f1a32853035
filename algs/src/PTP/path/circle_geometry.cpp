#include "PTP/path/circle_geometry.h"

#include <cmath>

#include "PTP/path/path_vector.h"
#include "common/math/fast_trig.h"
#include "common/kinematics/kinematics_constants.h"

using path_vector::cross3;
using path_vector::det3;
using path_vector::dot3;
using path_vector::norm3;

namespace {

// The kernel's 2 pi is the single-precision value, widened.
constexpr double kTwoPiF = 6.2831854820251465;

}  // namespace

int TP_CirclePlanForScara(WCSPosition p1, WCSPosition p2, WCSPosition p3, CirlPlanPara* plan, int turns,
                          bool addArc) {
  const double q1[3] = {p1.x, p1.y, p1.z};
  const double q2[3] = {p2.x, p2.y, p2.z};
  const double q3[3] = {p3.x, p3.y, p3.z};
  const double d2[3] = {q1[0] - q2[0], q1[1] - q2[1], q1[2] - q2[2]};
  const double d3[3] = {q1[0] - q3[0], q1[1] - q3[1], q1[2] - q3[2]};
  double normal[3];
  cross3(d2, d3, normal);

  // Centre: on the plane of the points and on both bisector planes. The
  // determinant is |normal|², so its sign needs no care.
  const double m[3][3] = {{normal[0], normal[1], normal[2]}, {d2[0], d2[1], d2[2]}, {d3[0], d3[1], d3[2]}};
  const double rhs[3] = {dot3(normal, q1), (dot3(q1, q1) - dot3(q2, q2)) / 2.0, (dot3(q1, q1) - dot3(q3, q3)) / 2.0};
  const double det = det3(m);
  if (!(det >= 1e-5)) return 1;
  double centre[3];
  for (int col = 0; col < 3; ++col) {
    double mc[3][3];
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) mc[r][c] = c == col ? rhs[r] : m[r][c];
    }
    centre[col] = det3(mc) / det;
  }

  const double a[3] = {q1[0] - centre[0], q1[1] - centre[1], q1[2] - centre[2]};
  const double b[3] = {q3[0] - centre[0], q3[1] - centre[1], q3[2] - centre[2]};
  const double radius = norm3(a);
  // Checked before the cosine below divides by it.
  if (!(radius >= 1e-5)) return 1;
  const double normalLength = norm3(normal);
  const double n[3] = {normal[0] / normalLength, normal[1] / normalLength, normal[2] / normalLength};

  const double c = dot3(a, b) / radius / radius;
  if (!(std::fabs(c) < 1.00001)) return 1;
  double phi;
  if (std::fabs(c) < 1.0) {
    phi = acosQ(c);
  } else {
    phi = c >= 1.0 ? 0.0 : kKinPi;
  }
  double ab[3];
  cross3(a, b, ab);
  if (dot3(n, ab) < 0.0) phi = kTwoPiF - phi;

  double angle = static_cast<double>(static_cast<float>(turns) * 6.2831855f);
  if (addArc) angle += phi;

  double u[3] = {a[0] / radius, a[1] / radius, a[2] / radius};
  double v[3];
  cross3(n, u, v);
  for (int i = 0; i < 3; ++i) {
    plan->rotation.m[i][0] = u[i];
    plan->rotation.m[i][1] = v[i];
    plan->rotation.m[i][2] = n[i];
  }
  plan->centre = {centre[0], centre[1], centre[2]};
  plan->rDir[0] = 0.0;
  plan->rDir[1] = 0.0;
  plan->rDir[2] = p3.r - p1.r > 0.0 ? 1.0 : -1.0;
  plan->radius = radius;
  plan->angle = angle;
  plan->rTravel = std::fabs(p3.r - p1.r);
  return 0;
}

void TP_CalcCirclePtForScara(WCSPosition start, MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double theta,
                             double dr, WCSPosition* out) {
  const double c = radius * cosQ(theta);
  const double s = radius * sinQ(theta);
  out->x = centre.x + c * m.m[0][0] + s * m.m[0][1];
  out->y = centre.y + c * m.m[1][0] + s * m.m[1][1];
  out->z = centre.z + c * m.m[2][0] + s * m.m[2][1];
  out->r = start.r + dr;
}

void TP_TransCalcCirclePtForScara(MATRIX3D_STR m, VECTOR3D_STR /*centre*/, double radius, double theta, double r,
                                  WCSPosition* out) {
  const double c = radius * (cosQ(theta) - 1.0);
  const double s = radius * sinQ(theta);
  out->x = c * m.m[0][0] + s * m.m[0][1];
  out->y = c * m.m[1][0] + s * m.m[1][1];
  out->z = c * m.m[2][0] + s * m.m[2][1];
  out->r = r;
}
