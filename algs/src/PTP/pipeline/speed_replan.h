#pragma once

#include "common/kernel/ring_buffer.h"

// Re-planning after a change of the speed ratio made while queued execution
// was stopped: the entry in execution first, from where it stands, then the
// queued entries one per cycle, in place in the ring.

// Re-plans gPreDealData from the current set point and restarts its clock.
void DealDataCalculate();

// One cycle of the re-plan pass. True when the pass has ended in this cycle
// (gbModifySpeedRatio cleared) and the intake may take new commands.
bool SpeedReplanPass(tagRingBuffer* preDeal);
