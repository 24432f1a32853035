#pragma once

// Steps the three circle plans share: the start checks, the six Cartesian
// limits, the external-tool conversion, the coincidence and reach checks and
// the one profile over the combined arc-and-rotation length. A step that fails
// has raised its alarm and ended the command (gCmdFinishFlag).

#include "PTP/path/circle_records.h"
#include "PTP/planners/packed_motion.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

namespace circle_steps {

// The circle command: its motion snapshot and its three values, by value.
struct CircleInputs {
  PackedMotion motion;
  WCSPosition middle;  // as sent, in the user frame
  WCSPosition end;
  std::uint32_t turns;
};
CircleInputs ReadCircle(const PackedBaseCmd& cmd);

// Raises `index` and ends the command.
void Refuse(unsigned index);

// Soft limits of each joint and the singularity margin of j2 (18), then the
// hand flag against the sign of j2 (22).
bool CheckStartJoints(const JointTheta& joints, bool hand);

// The six Cartesian limits after the global speed ratio and the command's
// percentages: 26 when one of them is below 1e-5.
struct PathLimits {
  double v, a, j;     // linear, mm
  double vR, aR, jR;  // rotational, deg
};
bool TakeLimits(const tagPTPParamsBlock& params, PathLimits* out);

// Start, middle and end against the external tool point, logged before and after.
void ToExternalTool(const tagToolParams& ecp, WCSPosition* start, WCSPosition* middle, WCSPosition* end);

// 19 when two of the three poses coincide in x, y and z.
bool Distinct(const WCSPosition& start, const WCSPosition& middle, const WCSPosition& end);

// 19 when the plan has neither arc length nor rotation.
bool HasLength(const CirlPlanPara& plan);

// Ten points along the planned path from `start` (path coordinates), r going
// to `endR`, must be reachable (29). On success `pathEnd` is the last of them
// in path coordinates and `endJoints` its joints.
bool ReachAlongPath(const CircleInputs& in, const WCSPosition& start, double endR, const CirlPlanPara& plan,
                    WCSPosition* pathEnd, JointTheta* endJoints);

// Shares of arc and rotation, profile limits, halving when asked, TrajPlan;
// then the blend time and the path-stop jerks. The profile starts and ends at rest.
void PlanProfile(PreDealData* entry, const PathLimits& limits, bool halve);

}  // namespace circle_steps
