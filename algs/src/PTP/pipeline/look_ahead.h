#pragma once

#include "common/kernel/ring_buffer.h"

// The motion that the entry in execution may blend into: only with a
// transition and no pause, in the same tool and user frame (within 1e-05) and
// with a fixed-speed profile. A wait, a trigger or an output between them
// ends the search.

// Sets gpNextPreDealData (null when there is none).
void SerchNextMotionCmd(tagRingBuffer* preDeal);
// Sets gpNextPreDealData and gpThirdPreDealData, the motion after the next
// one in the next one's frames; point-to-point entries only as joint (1) or
// linear (2) moves.
void SerchThirdMotionCmd(tagRingBuffer* preDeal);
