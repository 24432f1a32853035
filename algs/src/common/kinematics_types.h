#pragma once

#include "common/protocol/command_records.h"

// Records and constants the arm's geometry exchanges with every planner.
// Lengths in mm, angles in degrees (joint 3 in mm).

// Degrees and radians convert with the single-precision pi widened to double,
// in the kinematics, the transforms and the planners alike.
inline constexpr double kKinPi = 3.1415927410125732;
inline constexpr double kDegToRad = kKinPi / 180.0;
inline constexpr double kRadToDeg = 180.0 / kKinPi;

// Cartesian pose: position and rotation about z.
struct WCSPosition {
  double x;
  double y;
  double z;
  double r;
};

// Joint position: j1, j2 and j4 in degrees, j3 in mm.
struct JointTheta {
  double j1;
  double j2;
  double j3;
  double j4;
};

// The kernel's pose record: Cartesian pose, then the joints.
struct tagGPose {
  WCSPosition pose;
  JointTheta joint;
};
static_assert(sizeof(tagGPose) == 64);

// Tool against the flange and user frame in the base: index, x, y, z, r. The
// 20-byte frame record of the frame commands, also carried in queued entries.
using tagToolParams = tagCoordParamsFull;
using tagLocalParams = tagCoordParamsFull;

// Result codes of the inverse solution; also the alarm indices PointCheck raises.
inline constexpr int kKinOk = 0;
inline constexpr int kKinSingular = 16;
inline constexpr int kKinOutOfReach = 17;
inline constexpr int kKinSoftLimit = 18;

// Checking modes of the inverse solution.
inline constexpr int kCheckAllJoints = 0;
inline constexpr int kCheckSingularity = 1;
inline constexpr int kCheckWithoutJ4 = 2;
