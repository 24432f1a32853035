#include "common/kinematics/camera_correction.h"

void Cal9PManual(const float* c, std::uint16_t width, std::uint16_t height, Point2D& p) {
  const double c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3], c4 = c[4], c5 = c[5], c6 = c[6], c7 = c[7], c8 = c[8];
  const double dx = p.x - width * 0.5;
  const double dy = p.y - height * 0.5;
  const double s = dx * dx + dy * dy;
  // The subtractions run in this order, so results match to the last bit.
  const double u = (p.x - c4) - c6 * dx * s - c7 * (s + 2 * dx * dx) - c8 * dx * dy;
  const double v = (p.y - c5) - c6 * dy * s - c7 * dx * dy - c8 * (s + 2 * dy * dy);
  p.x = c0 * u + c1 * v;
  p.y = c2 * u + c3 * v;
}
