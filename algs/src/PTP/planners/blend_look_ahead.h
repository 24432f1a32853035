#pragma once

#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

// After a stop re-plan, the blend of the re-planned entry into the motion
// waiting next in gPreDealDataQueue: that motion is the first waiting entry
// (from the read position, at most the ring's count) of type 2 with motion
// type 1 or 2, or of type 4 or 5; a point-to-point entry of another motion
// type, a wait, an input trigger or an output ends the search with none. When
// its tool and user frame equal `tool` and `user` (x, y, z, r within 1e-5),
// the entry's blend time is lowered to that motion's acceleration time.
void LowerBlendTimeToWaitingMotion(PreDealData* entry, const tagToolParams& tool, const tagLocalParams& user);
