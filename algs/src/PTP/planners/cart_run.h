#pragma once

#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

// Pieces of the line and arc run phases.

// gLoad and gLoadFullParams from the entry's load words.
void CartLoadWords(const PreDealData* cur);

// Past the blend threshold, the next entry's share at its own time: a pose
// change for a next line (type 2), arc or circle, a joint offset for a next
// joint move. Other kinds do not blend, and gPeriodCount1 does not count for
// them: the execution would start them at the counted cycles.
void CartBlend(PreDealData* cur, PreDealData* next, double t, WCSPosition* pose, double offset[4]);

// The path pose of this cycle into the base frame: against the external tool
// point, or along the tracked conveyor (tag names the move in the log).
void CartPoseToBase(PreDealData* cur, WCSPosition* pose, const char* trackFormat);

// The set point from the base pose: joints + offset. False after a failed
// inverse solution (alarm 32, 33 or 34 by its code; failLog, when given, is
// logged) with the command ended.
bool CartSetPoint(PreDealData* cur, const WCSPosition& pose, const double offset[4], const char* failLog);

// End of a conveyor move: the look-ahead joints take the set point and the
// object is reached.
void CartConveyorFinish(const char* finishLog);

JointTheta SetPointJoints();
