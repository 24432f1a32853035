#pragma once

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"

// The jump (motion types 0 and 3): joint 3 rises to the command's zLimit,
// joints 1, 2 and 4 move together on one profile, joint 3 comes down onto
// the target. The horizontal move starts once the lift has risen
// startJumpHeight and ends when the descent is endJumpHeight above the
// target. Heights are joint-3 values. A jump never blends and switches no
// parallel outputs. A failure raises one alarm and sets gCmdFinishFlag.

// Plans a queued jump from gPreDealPos and leaves its target joints there.
void JUMPPreDeal(const PackedBaseCmd* cmd, PreDealData* entry);
// Re-plans the running jump after a speed change, by the phase it is in; the
// caller has put the set point into gPreDealPos and restarts the clock after.
void JUMPNewPlan(const PackedBaseCmd* cmd, PreDealData* entry);
// Re-plans the jump from rest at the actual joints for a stop; gPreDealPos is
// not touched.
void JUMPPreDealTemp(const PackedBaseCmd* cmd, PreDealData* entry);
// One control cycle of a planned jump: writes gRobotAxisMove.nextPos.
void JUMP(PreDealData* entry);
