// The nine-coefficient camera correction.
#include <gtest/gtest.h>

#include "common/kinematics/camera_correction.h"

namespace {

TEST(CameraCorrection, DocumentedCases) {
  struct Case {
    float c[9];
    Point2D in;
    Point2D out;
  };
  const Case cases[] = {
      {{1, 0, 0, 1, 0, 0, 0, 0, 0}, {812.5, 403.0}, {812.5, 403.0}},
      {{1, 0, 0, 1, 10, 0, 0, 0, 0}, {812.5, 403.0}, {802.5, 403.0}},
      {{1, 0, 0, 1, 0, -5, 0, 0, 0}, {812.5, 403.0}, {812.5, 408.0}},
      // Matrix only: 0.1 mm per pixel with x and y exchanged.
      {{0, 0.5f, 0.25f, 0, 0, 0, 0, 0, 0}, {100.0, 40.0}, {20.0, 25.0}},
      // All zero: everything maps to the origin.
      {{0, 0, 0, 0, 0, 0, 0, 0, 0}, {812.5, 403.0}, {0.0, 0.0}},
  };
  for (const Case& c : cases) {
    Point2D p = c.in;
    Cal9PManual(c.c, 1280, 960, p);
    EXPECT_DOUBLE_EQ(p.x, c.out.x) << c.in.x << "," << c.in.y;
    EXPECT_DOUBLE_EQ(p.y, c.out.y) << c.in.x << "," << c.in.y;
  }
}

TEST(CameraCorrection, DistortionTermsActAboutTheImageCentre) {
  // At the centre of a 1280 x 960 image every distortion term vanishes.
  const float c[9] = {1, 0, 0, 1, 0, 0, 1e-6f, 2e-6f, 3e-6f};
  Point2D centre{640.0, 480.0};
  Cal9PManual(c, 1280, 960, centre);
  EXPECT_DOUBLE_EQ(centre.x, 640.0);
  EXPECT_DOUBLE_EQ(centre.y, 480.0);

  // Off centre, by the written formula in double with the coefficients widened.
  Point2D p{700.0, 500.0};
  Cal9PManual(c, 1280, 960, p);
  const double c6 = 1e-6f, c7 = 2e-6f, c8 = 3e-6f;
  const double dx = 60.0, dy = 20.0, s = dx * dx + dy * dy;
  EXPECT_DOUBLE_EQ(p.x, (700.0 - 0.0) - c6 * dx * s - c7 * (s + 2 * dx * dx) - c8 * dx * dy);
  EXPECT_DOUBLE_EQ(p.y, (500.0 - 0.0) - c6 * dy * s - c7 * dx * dy - c8 * (s + 2 * dy * dy));
}

}  // namespace
