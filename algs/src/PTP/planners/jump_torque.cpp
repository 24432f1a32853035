// The jump's segments as the torque model sees them.
#include "PTP/planners/jump_torque.h"

#include "PTP/planners/dynamic_caps.h"

void LimitByTorque(const PreDealData* e, const jump_plan::JointSteps* steps, TrajPlanData* profile,
                   const jump_plan::JumpCommand& c, int segment) {
  // The model describes joint 3 from the start joints: the origin keeps the
  // tool tip, whose z holds the flange offset and the tool.
  JumpMove move = e->jumpMove;
  move.origin.z = move.initialPos[2];
  // A jump never blends: the bounds are never halved.
  JUMPDynOpt(move, steps->data, profile, 0, c.loadFull, segment);
}
