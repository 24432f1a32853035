#pragma once

#include <cstddef>

#include "PTP/profiles/traj_plan_data.h"
#include "common/kinematics/pose_records.h"

// Geometry records of the joint and jump moves, kept inside the planned entry.
// Joints in degrees, joint 3 in mm.

// A straight line in joint space: joint i at profile position s is
// initialPos[i] + s * u[i].
struct JointMove {
  double initialPos[4];  // start joints
  double u[4];           // unit direction of the move in joint space
};
static_assert(sizeof(JointMove) == 8 * sizeof(double));

// A jump: joint 3 lifts, joints 1, 2 and 4 move on the shared profile, joint 3
// descends. Each of lift and descent keeps its direction (+1 up, -1 down) in
// accDir and its travel in dist.
struct JumpMove {
  WCSPosition origin;  // tool tip at the start; origin.z is joint 3's start height
  TrajPlanData lift;
  TrajPlanData descent;
  double initialPos[4];  // start joints
  double u[4];           // unit direction of joints 1, 2, 4 (element 2 is not read)
};
static_assert(offsetof(JumpMove, lift) == sizeof(WCSPosition));
static_assert(offsetof(JumpMove, initialPos) == sizeof(WCSPosition) + 2 * sizeof(TrajPlanData));
