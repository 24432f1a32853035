#pragma once

#include <cstdint>

#include "PTP/path/circle_records.h"
#include "PTP/planners/move_records.h"
#include "PTP/profiles/traj_plan_data.h"
#include "common/kinematics/pose_records.h"
#include "common/protocol/command_records.h"

// Torque-limited acceleration caps of one move, used by the planners while
// gDynamicOptimal is on. Each function describes the move's path to the path
// model (radians, metres), plans it over the path parameter, asks the dynamic
// model for the largest acceleration and deceleration at the plan's check
// points that keep every joint torque within torMax/torMin (both halved for
// this move when `flag` is non-zero), and leaves in *profile:
//   dist = the distance it came with, and vMax, aMax, aMaxDec, jerk capped,
//   in the profile's own units.
// The caller plans the profile again with these limits. On entry *profile
// holds the move's distance in dist; its limits are not read. The full load's
// weight and inertia are written into dynParam first. An empty path (no
// motion or no usable limits) leaves *profile as it came, with a log line.
// torMax and torMin are never changed.
//
// Per-joint records (`jointData`, four of them): dist = |d_i| (degrees, joint
// 3 mm), accDir = sign of d_i (+1 or -1), vMax, aMax and jerk the joint's
// velocity, acceleration (and deceleration) and jerk limits.
//
// Cartesian limit records (`posLimits` in mm, `rotLimits` in degrees): vMax,
// aMax (acceleration and deceleration) and jerk.

// A line in joint space from move.initialPos by the joints' distances.
void MOVJDynOpt(const JointMove& move, const TrajPlanData* jointData, TrajPlanData* profile, std::uint8_t flag,
                _stLoadFullParams load);

// A straight Cartesian line from start to end.
void MOVLDynOpt(WCSPosition start, WCSPosition end, TrajPlanData posLimits, TrajPlanData rotLimits,
                TrajPlanData* profile, std::uint8_t flag, _stLoadFullParams load);

// The planned arc from start to end (r changing evenly), described to the path
// model by start, the arc's point at half its swept angle, and end.
void MOVCDynOpt(const CirlPlanPara& arc, WCSPosition start, WCSPosition end, TrajPlanData posLimits,
                TrajPlanData rotLimits, TrajPlanData* profile, std::uint8_t flag, _stLoadFullParams load);

// Segments of a jump, each a joint line; *profile is that segment's profile.
inline constexpr int kJumpLift = 0;     // joint 3 from origin.z by the lift (profile's dist and accDir)
inline constexpr int kJumpTravel = 1;   // joints 1, 2, 4 from initialPos to their targets, joint 3 at the lift's top
inline constexpr int kJumpDescent = 2;  // joint 3 from the lift's top by the descent, joints 1, 2, 4 at their targets
void JUMPDynOpt(const JumpMove& move, const TrajPlanData* jointData, TrajPlanData* profile, std::uint8_t flag,
                _stLoadFullParams load, int segment);
