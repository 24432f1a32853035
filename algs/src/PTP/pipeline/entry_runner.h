#pragma once

#include "common/kernel/ring_buffer.h"

// Execution of pre-processed entries, once per cycle after the intake. When
// the entry in gPreDealData has finished (gCmdFinishFlag), the next one is
// taken from the head of the ring. Moves are handed to the profile stage
// (mode 4) with the following motion they may blend into; waits, triggers,
// outputs and frame changes are executed here, up to 41 instant entries per
// call.
void PreDealDataRunning(tagRingBuffer* preDeal);

// Pipeline state that lives between calls, back to its load values.
void ResetQueuedPipeline();
