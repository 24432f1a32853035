#pragma once

#include <cstdint>

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kernel/ring_buffer.h"

// Pre-processing of queued commands: once per cycle, packed commands are
// taken from the head of the packed ring in order, motions are planned from
// the look-ahead pose gPreDealPos, and every command becomes one entry at the
// tail of the pre-processed ring. Waits, outputs and frame changes pass
// through in order, so they take effect between the moves around them.

// Cycles the first queued blending motion has waited for a successor.
extern std::int16_t CPTimeOutCount;

// One intake pass (runs the speed-change re-plan pass first while one is
// under way). At most two counted entries (moves, excitations, frame changes)
// per call; outputs, waits and triggers pass without limit.
void PreDealDataCalculate(tagRingBuffer* packed, tagRingBuffer* preDeal);

// Moves (types 2, 4, 5) in the packed and in the pre-processed ring.
std::int16_t CalcPackedMotionCmdNum(const tagRingBuffer* packed);
std::int16_t CalcPreDealMotionCmdNum(const tagRingBuffer* preDeal);
// Transition of the first move in the packed ring (0 when it holds none).
std::uint8_t GetFirstMotionCmdCP(const tagRingBuffer* packed);

// The motion entry a new one follows: a joint (1) or linear (2) point-to-point
// entry, or an entry of type 3, 4 or 5. A wait or another point-to-point mode
// ends the walk with nothing. *out stays unchanged when nothing is found.
void SearchLastMotionPreDealData(tagRingBuffer* preDeal, PreDealData** out);

// Motion pre-processing into entry; a failure raises an alarm.
void PreDealPTPCmd(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry);
void PreDealARCCmd(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry);
void PreDealCircleCmd(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry);

// Frame changes inside the queue: the look-ahead pose is carried into the
// new tool or user frame.
void PreDealToolParamsCmd(PackedBaseCmd* cmd);
void PreDealLocalParamsCmd(PackedBaseCmd* cmd);

// The pre-processing of one command by its type, shared by the intake and
// the re-plan pass. 1 for the types that count against the per-call limit.
int PreDealByType(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry);
