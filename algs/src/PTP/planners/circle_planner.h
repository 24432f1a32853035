#pragma once

// Full-circle moves: whole turns on the circle through the start, a middle and
// an end pose, with r changing evenly along the path. The end pose fixes the
// plane; the move ends where its path ends, back at the start point's x, y, z
// with the end pose's r. Each plan fills the entry or raises one alarm and
// ends the command (gCmdFinishFlag).

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"

// A queued circle (packed type 5) planned from the look-ahead pose
// gPreDealPos, which it leaves at the end of the path. prev is the motion entry
// before it, or null.
void CirclePreDeal(PackedBaseCmd* cmd, PreDealData* prev, PreDealData* entry);

// Re-plan of a circle in progress from the joints the caller put into
// gPreDealPos (after a speed change): the remaining whole turns plus the rest,
// to the same end. prev is unused (null).
void CircleNewPlan(PackedBaseCmd* cmd, PreDealData* prev, PreDealData* entry);

// Re-plan of a stopped circle from the arm's present joints, over what the
// path stop left in the entry (angle run, remaining arc and rotation). The arm
// is at rest. prev is unused (null).
void CirclePreDealTemp(PackedBaseCmd* cmd, PreDealData* prev, PreDealData* entry);

// One control cycle of a circle entry, blending into `next` when given.
// Returns the inverse solution's result (0 when the set point was written).
int Circle(PreDealData* entry, PreDealData* next);
