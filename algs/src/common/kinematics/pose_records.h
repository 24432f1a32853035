#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol/command_records.h"

// Pose and frame records that the kernel's stages hand each other. Lengths in
// mm, angles in degrees (joint 3 in mm).

// Cartesian pose: x, y, z and the rotation r about z.
struct WCSPosition {
  double x;
  double y;
  double z;
  double r;
};
static_assert(sizeof(WCSPosition) == 32);

// Joint position j1..j4.
struct JointTheta {
  double j1;
  double j2;
  double j3;
  double j4;
};
static_assert(sizeof(JointTheta) == 32);

// Tool offset against the flange and user frame in the base frame: the
// 20-byte frame record of the frame commands (index, then x, y, z, r). The
// index is the frame's number; the kinematics read x, y, z (and r of a user
// frame, its rotation about z).
using tagToolParams = tagCoordParamsFull;
using tagLocalParams = tagCoordParamsFull;

// A pose with the joints it was reached at and the frames it is expressed in.
// The pre-processing keeps the start of the next queued move in one of these.
struct tagGPose {
  WCSPosition pose;
  JointTheta joint;
  tagLocalParams localParams;
  tagToolParams toolParams;
};
static_assert(offsetof(tagGPose, joint) == 32);
