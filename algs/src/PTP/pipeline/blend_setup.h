#pragma once

#include "PTP/path/path_records.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kernel/ring_buffer.h"

// Blend set-up when an entry starts (look-ahead blending on): two path moves
// (lines and arcs) get a geometric corner blend and the first is re-planned
// over what the blends leave of its path; joint-like moves (joint moves of
// motion type 1 and circles) get an overlap time with the next move.

// Decides and computes the blend of gPreDealData into gpNextPreDealData.
void TrueMotionCalculate(tagRingBuffer* preDeal);

// Builds the blend between cur and next and re-plans cur. mode 1: cur is in
// execution, next's remaining path becomes the first path of the next blend;
// mode 0: both are still ahead.
void setBlendSeg(PreDealData* cur, PreDealData* next, int mode);

// The path record of a line (motion type 2) or an arc (10); other entries
// give an empty record (kind 0).
void BuildPathRecord(const PreDealData& entry, PathInfo& path);

// Re-plans cur's profile over the part of `first` outside its cuts.
void ReplanRemainder(PreDealData* cur, const PathInfo& first);
