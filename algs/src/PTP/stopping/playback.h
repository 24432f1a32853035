#pragma once

#include "common/kernel/pre_deal_data.h"

// One control cycle of the entry in execution `cur`: its run phase by motion
// type (`next` is the motion it may blend into, or null), then a pending
// pause turned into the right stop or dropped. Nothing runs while the entry
// is finished; a pending pause is then dropped. An unknown motion type
// raises alarm 25 and finishes the entry.
void PlayBack(PreDealData* cur, PreDealData* next);

// The common end of a pause that starts a stop: queued execution off, the
// entry finished, both cycle counters 0. gPauseCmdFlag stays set: the stops
// read it at rest to re-plan the entry for resuming.
void PauseStopDeal();
