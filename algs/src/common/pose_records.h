#pragma once

#include <cstddef>
#include <cstdint>

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

#pragma pack(push, 1)

// Tool offset against the flange. The index is the tool's number as the
// frame commands carry it; the kinematics read x, y, z only.
struct tagToolParams {
  std::uint32_t index;
  float x;
  float y;
  float z;
  float r;
};
static_assert(sizeof(tagToolParams) == 20);
static_assert(offsetof(tagToolParams, x) == 4);

// User frame in the base frame: origin x, y, z and rotation r about z.
struct tagLocalParams {
  std::uint32_t index;
  float x;
  float y;
  float z;
  float r;
};
static_assert(sizeof(tagLocalParams) == 20);
static_assert(offsetof(tagLocalParams, x) == 4);

#pragma pack(pop)

// A pose with the joints it was reached at and the frames it is expressed in.
// The pre-processing keeps the start of the next queued move in one of these.
struct tagGPose {
  WCSPosition pose;
  JointTheta joint;
  tagLocalParams localParams;
  tagToolParams toolParams;
};
static_assert(offsetof(tagGPose, joint) == 32);
