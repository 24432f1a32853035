#pragma once

#include "PTP/path/circle_records.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

// Arcs (motion type 10): the tool tip runs on the circle through the start, a
// middle and an end point while r changes linearly, both on one profile.

// The plane frame, centre, radius and swept angle of the arc from p0 through
// p1 to p2 (x, y, z only; r travels |p2.r - p0.r|). Returns 0, or 1 when no
// arc passes through the points.
int TP_ArcPlanForScara(WCSPosition p0, WCSPosition p1, WCSPosition p2, CirlPlanPara* plan);

// The four operations, as those of the linear moves.
void MOVCPreDeal(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
void MOVCNewPlan(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
void MOVCPreDealTemp(PackedBaseCmd* cmd, PreDealData* last, PreDealData* entry);
void MOVC(PreDealData* cur, PreDealData* next);
