#pragma once

#include "PTP/profiles/traj_plan_data.h"
#include "common/kernel/pre_deal_data.h"

// Digital outputs switched while a point-to-point move runs (id 88): each is
// planned to a cycle of the move, then switched once in that cycle.

// Plans entry->poTriggerCycles from the entry's parallel-output block over the
// move's planned profile. L is the length that distances refer to (the
// translation length of a line, the profile distance of a joint move). A place
// by ratio is ratio/100 of the path; by distance d, d/L of it (negative d counts
// back from the end, clamped to the path); any other type the start. At most
// 8 outputs are read whatever the count says. Logs the block.
void ParallelIOPredeal(TrajPlanData* profile, PreDealData* entry, double L);

// Switches each output not yet switched whose cycle has come (its trigger
// count <= gPeriodCount), unless the kernel is paused: output n is byte n - 1
// of gPhyDOs. An output number outside 1..1000 is never written; it is marked
// done in its first due cycle with one log line. Called by the run phases
// once per cycle, after the set point.
void ParallelIOControl(PreDealData* entry);
