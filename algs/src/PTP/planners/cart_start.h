#pragma once

#include "PTP/planners/cart_command.h"
#include "common/kinematics/pose_records.h"

// Where a line or an arc starts.

// Joints within the soft limits (bounds included) and |j2| not inside the
// singularity margin.
bool StartJointsValid(const JointTheta& joints);
// A straight path cannot change the elbow side: arm 1 needs j2 >= 0, arm 0 j2 < 0.
bool ElbowAgrees(bool arm, double j2);

// The tool-tip pose of the joints in the base frame, or, with the external
// tool point on, expressed against it. The two formats log the pose before and
// after that conversion (null: no line).
WCSPosition OriginOf(const JointTheta& joints, const CartCommand& c, const char* baseFormat, const char* ecpFormat);

// The actual joints of the system parameters.
JointTheta ActualJoints();
