#pragma once

#include "PTP/profiles/traj_plan_data.h"
#include "common/kernel/sys_params.h"

// Per-joint working data of a joint-space move: one TrajPlanData per joint
// holding |d_i| (dist), its sign (accDir, +1 or -1), noMotion when the joint
// does not move, and the joint's limits vMax, aMax, jerk.
inline constexpr int kJointCount = 4;
inline constexpr double kPlanEpsilon = 1e-5;  // distances and limits below this count as zero

// The joints lie within the soft limits, bounds included (a non-number does not).
bool JointsWithinSoftLimits(const double joints[kJointCount]);

// v_i, a_i, j_i of each joint from the move's joint parameters and ratios and
// the global speed factor, computed in single precision. False when any of
// them is below 1e-5 (or not a number).
bool JointLimits(const tagPTPParamsBlock& params, TrajPlanData jointData[kJointCount]);

// A planning failure: raises the alarm and ends the command.
void RefuseMove(unsigned alarm);
