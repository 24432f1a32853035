#pragma once

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"

// Linear moves (motion types 2, 5, 7): the tool tip runs along a straight line
// while r changes linearly, both on one profile. Each plan either fills the
// entry or raises one alarm and ends the command (gCmdFinishFlag).

// Plans the queued move from gPreDealPos and leaves its end there; last is
// the motion entry before it (or null), whose blend time it may lower.
void MOVLPreDeal(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
// Speed change: re-plans the running entry from gPreDealPos (the caller's
// actual joints) and the present path speed to its target.
void MOVLNewPlan(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
// Stop re-plan: plans the entry afresh from the actual joints, from rest.
void MOVLPreDealTemp(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
// Run phase: one set point per cycle; next is the entry it may blend into.
void MOVL(PreDealData* cur, PreDealData* next);
