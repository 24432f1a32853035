#pragma once

#include "PTP/planners/joint_limits.h"
#include "PTP/planners/packed_motion.h"
#include "common/kinematics/pose_records.h"

// Target joints of a joint move by its ptpMode (1 pose in a user frame, 4
// joints, 6 joint increments, 8 pose increment in a user frame), solved from
// the pre-processing position gPreDealPos and written into its joints only
// once accepted. targetPose is the target's base-frame tool-tip pose. False
// after raising the alarm of the refusal (17 or 18 from the reach check, 18
// for joints past a soft limit, 25 for a mode that is no joint move).
bool JointMoveTarget(const PackedMotion& motion, double target[kJointCount], WCSPosition* targetPose);
