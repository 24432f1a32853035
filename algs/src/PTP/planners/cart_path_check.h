#pragma once

#include "PTP/path/circle_records.h"
#include "PTP/planners/cart_command.h"
#include "common/kinematics/pose_records.h"

// Reach checks of a planned path at ten points, i/10 of the way for i = 1..10,
// each solved by the inverse solution (checking the singularity). With the
// external tool point on, the points are poses against it. False, with the
// alarm raised and the command ended, at the first point that fails.

// Line from origin to target, x, y, z and r interpolated; alarm 23.
bool LinePathReachable(const WCSPosition& origin, const WCSPosition& target, bool arm, const CartCommand& c);

// Arc of the plan from origin, at i/10 of its angle with r advanced by i/10
// of rChange (signed); alarm 24.
bool ArcPathReachable(const WCSPosition& origin, const CirlPlanPara& plan, double rChange, bool arm,
                      const CartCommand& c);
