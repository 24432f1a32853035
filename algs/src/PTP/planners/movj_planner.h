#pragma once

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"

// Joint-interpolated moves (motion types 1, 4, 6, 8): all four joints on one
// jerk-limited profile along the straight line in joint space, so that they
// start and arrive together. A refused move raises one alarm and sets
// gCmdFinishFlag.

// Plans the entry from the pre-processing position gPreDealPos and leaves the
// target there. `last` is the motion entry planned before (null when none);
// its blend time may be lowered.
void MOVJPreDeal(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);

// Re-plans the running entry after a speed change, from the joints the
// caller wrote into gPreDealPos and the speed the move runs at (the caller
// has set the profile's variableSpeed). `last` is not used.
void MOVJNewPlan(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);

// Re-plans any entry after a stop as a joint move from the actual joints to
// its targetAngle, from rest; gPreDealPos stays. `last` is not used.
void MOVJPreDealTemp(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);

// One control cycle of the entry: the joint set point, the blend into the
// following motion `next` (null when none) and the parallel outputs.
void MOVJ(PreDealData* cur, PreDealData* next);

// 1.0 above limit, -1.0 below -limit, else x / limit.
float signModified(float x, float limit);
