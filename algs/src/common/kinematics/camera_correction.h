#pragma once

#include <cstdint>

// A point of a camera image: pixels on the way in, millimetres of the
// conveyor's vision frame once corrected.
struct Point2D {
  double x;
  double y;
};

// Corrects p in place with the nine coefficients of a conveyor's camera:
// c4, c5 the pixel offset, c6 the radial and c7, c8 the tangential distortion
// about the image centre, c0-c3 the 2 x 2 matrix from pixels to millimetres.
void Cal9PManual(const float* c, std::uint16_t width, std::uint16_t height, Point2D& p);
