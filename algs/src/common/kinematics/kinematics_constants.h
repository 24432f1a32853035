#pragma once

#include "common/kinematics/pose_records.h"

// Constants of the arm's geometry shared by the kinematics, the transforms
// and the planners.

// Degrees and radians convert with the single-precision pi widened to double.
inline constexpr double kKinPi = 3.1415927410125732;
inline constexpr double kDegToRad = kKinPi / 180.0;
inline constexpr double kRadToDeg = 180.0 / kKinPi;

// Result codes of the inverse solution; also the alarm indices PointCheck raises.
inline constexpr int kKinOk = 0;
inline constexpr int kKinSingular = 16;
inline constexpr int kKinOutOfReach = 17;
inline constexpr int kKinSoftLimit = 18;

// Checking modes of the inverse solution.
inline constexpr int kCheckAllJoints = 0;
inline constexpr int kCheckSingularity = 1;
inline constexpr int kCheckWithoutJ4 = 2;
