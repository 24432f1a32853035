#pragma once

#include "PTP/planners/jump_internal.h"

// Caps the limits of one jump segment (lift 0, joints 1, 2 and 4: 1, descent
// 2) so that the joint torques stay within their bounds along it.
void LimitByTorque(const PreDealData* e, const jump_plan::JointSteps* steps, TrajPlanData* profile,
                   const jump_plan::JumpCommand& c, int segment);
