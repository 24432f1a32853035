#pragma once

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

// The smooth stop's re-plan, at rest, of the paused entry, so that starting
// the queue again finishes it at its target from where the arm stands:
// jumps (types 0, 3) by their own re-planner; every other point-to-point
// type (1, 2, 4-8), arcs (10) and circles (11) as a joint move to the
// entry's targetAngle. Entries planned as a joint move but of another kind
// become motion type 1, so that they resume in the joint run phase; an arc
// or a circle also becomes a point-to-point entry whose packed command is
// the joint move (ptpMode 1) to its end pose. Other types are left alone.
void ReplanForResume(PreDealData* entry);

// The packed arc or circle `cmd` as the point-to-point joint move (type 2,
// ptpMode 1) to `target` (in the command's user frame), with its motion
// parameters, frames, flags and load words and no parallel outputs.
void ArcAsJointMove(const PackedBaseCmd& cmd, const WCSPosition& target, PackedBaseCmd* out);
