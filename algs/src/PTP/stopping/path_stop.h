#pragma once

#include "common/kernel/pre_deal_data.h"

// Kind 2: the entry in execution (gPreDealData) brakes along its own path -
// a line (motion types 2, 5, 7), an arc (10) or a full circle (11) - on an
// S-curve of its path parameter, one inverse solution per cycle; other types
// are left alone. Lines and circles wait at rest until the input shaper has
// settled. A paused entry is re-planned at rest by its own re-planner, from
// where the arm stands. A stop that gets no finite stop time is handed to
// the smooth S-curve stop. The stop is requested by the playback after the
// entry's run phase, and runs in that same cycle: its first cycle only plans
// and keeps the run phase's set point, the braking starts in the next.
void PathStop();

// What the arc's and the circle's stop re-planners start from, taken at the
// path parameter s of the pose the arm stands at: the angle travelled, the
// arc and signed r change that remain, and s itself.
void StoreArcStopValues(PreDealData* entry, double s);
