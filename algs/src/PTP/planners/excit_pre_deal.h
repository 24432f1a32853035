#pragma once

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"

// Excitation moves of the load identification: the packed record's values
// into the entry's excitation block, bit for bit. The caller sets the motion
// type (12 or 13).

// The six values of id 103 in pairs, each pair followed by two zeros.
void ExcitPreDeal(PackedBaseCmd* cmd, PreDealData* entry);
// The three values of id 104 into the first three places.
void ExcitZPreDeal(PackedBaseCmd* cmd, PreDealData* entry);
