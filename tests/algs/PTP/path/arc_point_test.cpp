// Arc points at an angle and their displacement from the arc's start.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "PTP/path/arc_point.h"

namespace {

constexpr double kHalfPi = 1.5707963267948966;

// u = (1, 0, 0), v = (0, -1, 0), n = u x v = (0, 0, -1); R = 50 about (250, 0, -50).
MATRIX3D_STR frame() { return {{{1.0, 0.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, -1.0}}}; }
const VECTOR3D_STR kCentre{250.0, 0.0, -50.0};
const WCSPosition kStart{300.0, 0.0, -50.0, 15.0};

struct PointCase {
  const char* name;
  double phi;
  double dr;
  WCSPosition point;         // absolute, r = start r + dr
  WCSPosition displacement;  // from the start point, r = dr
};

TEST(ArcPoint, PointAndDisplacementAtDocumentedAngles) {
  const PointCase cases[] = {
      {"angle 0", 0.0, 0.0, {300.0, 0.0, -50.0, 15.0}, {0.0, 0.0, 0.0, 0.0}},
      {"quarter turn", kHalfPi, 5.0, {250.0, -50.0, -50.0, 20.0}, {-50.0, -50.0, 0.0, 5.0}},
      {"half turn", 2.0 * kHalfPi, -30.0, {200.0, 0.0, -50.0, -15.0}, {-100.0, 0.0, 0.0, -30.0}},
  };
  for (const PointCase& c : cases) {
    WCSPosition p{};
    TP_CalcArcPtForScara(kStart, frame(), kCentre, 50.0, c.phi, c.dr, &p);
    EXPECT_NEAR(p.x, c.point.x, 1e-12) << c.name;
    EXPECT_NEAR(p.y, c.point.y, 1e-12) << c.name;
    EXPECT_NEAR(p.z, c.point.z, 1e-12) << c.name;
    EXPECT_EQ(p.r, c.point.r) << c.name;
    WCSPosition d{};
    TP_TransCalcArcPtForScara(frame(), kCentre, 50.0, c.phi, c.dr, &d);
    EXPECT_NEAR(d.x, c.displacement.x, 1e-12) << c.name;
    EXPECT_NEAR(d.y, c.displacement.y, 1e-12) << c.name;
    EXPECT_NEAR(d.z, c.displacement.z, 1e-12) << c.name;
    EXPECT_EQ(d.r, c.displacement.r) << c.name;
  }
}

// In any frame the displacement is the point minus the start point, and the
// centre plays no part in it.
TEST(ArcPoint, DisplacementIsThePointLessTheStartInAnyFrame) {
  std::mt19937 rng(19);
  std::uniform_real_distribution<double> any(-1.0, 1.0);
  std::uniform_real_distribution<double> angle(-7.0, 7.0);
  for (int k = 0; k < 200; ++k) {
    // An orthonormal frame from two random vectors.
    double u[3] = {any(rng), any(rng), any(rng)};
    const double nu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    for (double& x : u) x /= nu;
    double w[3] = {any(rng), any(rng), any(rng)};
    const double along = w[0] * u[0] + w[1] * u[1] + w[2] * u[2];
    for (int i = 0; i < 3; ++i) w[i] -= along * u[i];
    const double nw = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    MATRIX3D_STR m{};
    for (int i = 0; i < 3; ++i) {
      m.m[i][0] = u[i];
      m.m[i][1] = w[i] / nw;
    }
    const VECTOR3D_STR centre{300.0 * any(rng), 300.0 * any(rng), 100.0 * any(rng)};
    const double R = 10.0 + 100.0 * (any(rng) + 1.0);
    const double phi = angle(rng);
    WCSPosition start{};
    TP_CalcArcPtForScara(start, m, centre, R, 0.0, 0.0, &start);
    WCSPosition p{};
    WCSPosition d{};
    TP_CalcArcPtForScara(start, m, centre, R, phi, 3.0, &p);
    TP_TransCalcArcPtForScara(m, VECTOR3D_STR{1e6, -1e6, 7.0}, R, phi, 3.0, &d);
    EXPECT_NEAR(d.x, p.x - start.x, 1e-9) << "case " << k;
    EXPECT_NEAR(d.y, p.y - start.y, 1e-9) << "case " << k;
    EXPECT_NEAR(d.z, p.z - start.z, 1e-9) << "case " << k;
    EXPECT_EQ(d.r, p.r - start.r) << "case " << k;
  }
}

}  // namespace
