#pragma once

#include "PTP/planners/joint_limits.h"
#include "PTP/planners/packed_motion.h"
#include "common/kernel/pre_deal_data.h"

// The one profile that carries all four joints of a joint move from
// jointMove.initialPos to the target together, shared by the pre-deal and
// the two re-plans; they differ where the kind says.
enum class JointPlanKind {
  kPreDeal,      // from rest; may halve joint 1; lowers last's blend time
  kSpeedChange,  // from the speed the move runs at; never halves
  kStop,         // from rest after a stop; a short jerk time is re-planned
};

// Plans entry->trajPlan and jointMove.u from the per-joint limits in
// jointData. False when no joint moves: the entry's finished flag is set and
// nothing is planned (a pre-deal also sets last's blend time to 0).
bool PlanJointProfile(JointPlanKind kind, PreDealData* entry, PreDealData* last, TrajPlanData jointData[kJointCount],
                      const double target[kJointCount], const PackedMotion& motion);
