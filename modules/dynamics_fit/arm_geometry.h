#pragma once

#include <array>

namespace zelor::modules::dynamics {

// One row of the arm's modified Denavit-Hartenberg table: frame j relative to
// frame j-1 is RotX(alpha) TransX(d) RotZ(theta) TransZ(r), theta the joint
// angle of the sample (offsets already applied when the file is read).
struct DhRow {
  double alpha;
  double d;
  double r;
};

inline constexpr double kHalfPi = 1.57079632679489661923;

// Joints 2, 3 and 4 are parallel and perpendicular to the vertical joint 1;
// joint 5 is perpendicular to joint 4 and joint 6 to joint 5. See MODEL.md.
inline constexpr std::array<DhRow, 6> kArmTable = {{
    {0.0, 0.0, 0.0},
    {-kHalfPi, 0.0, 0.0},
    {0.0, 0.426, 0.0},
    {0.0, 0.359, 0.142},
    {-kHalfPi, 0.0, 0.117},
    {kHalfPi, 0.0, 0.092},
}};

// Gravity acts along -z of the base frame, which is joint 1's axis.
inline constexpr double kGravity = 9.8;

}  // namespace zelor::modules::dynamics
