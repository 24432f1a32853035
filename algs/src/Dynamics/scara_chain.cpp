#include "Dynamics/scara_chain.h"

#include <cmath>

#include "Dynamics/arm_lengths.h"
#include "common/math/fast_trig.h"

namespace {
// Beyond the reach by at most this much, the arm is stretched towards the point.
constexpr double kReachSlack = 0.001;  // m

// NaN becomes 1, like a quotient past the end.
double clampCos(double c) {
  if (!(c < 1.0)) c = 1.0;
  if (!(c > -1.0)) c = -1.0;
  return c;
}
}  // namespace

void DHTransMat(double alpha, double a, double d, double theta, double* T) {
  const double ct = cosQ(theta);
  const double st = sinQ(theta);
  const double ca = cosQ(alpha);
  const double sa = sinQ(alpha);
  T[0] = ct;
  T[1] = -st;
  T[2] = 0.0;
  T[3] = a;
  T[4] = st * ca;
  T[5] = ct * ca;
  T[6] = -sa;
  T[7] = -sa * d;
  T[8] = st * sa;
  T[9] = ct * sa;
  T[10] = ca;
  T[11] = ca * d;
  T[12] = 0.0;
  T[13] = 0.0;
  T[14] = 0.0;
  T[15] = 1.0;
}

int ikineScara(double* p, double* q, int flag) {
  const double L1 = armL1();
  const double L2 = armL2();
  const double x = p[0];
  const double y = p[1];
  const double rho2 = x * x + y * y;
  const double rho = std::sqrt(rho2);
  // Written so that a NaN coordinate is rejected as well.
  if (!(rho <= L1 + L2 + kReachSlack)) return -1;

  const double c2 = clampCos((rho2 - L1 * L1 - L2 * L2) / (2.0 * L1 * L2));
  const double c = clampCos((rho2 + L1 * L1 - L2 * L2) / (2.0 * L1 * rho));
  const double a2 = acosQ(c2);
  const double a1 = acosQ(c);
  const double q2 = flag == 0 ? a2 : -a2;
  const double q1 = flag == 0 ? std::atan2(y, x) - a1 : std::atan2(y, x) + a1;
  q[0] = q1;
  q[1] = q2;
  q[2] = p[2];
  q[3] = p[3] - q1 - q2;
  q[4] = 0.0;
  q[5] = 0.0;
  return 1;
}
