#pragma once

#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

// Per-cycle set points of the Cartesian moves, and the share of a following
// move while the running one blends into it. Called by the run phases once or
// twice per cycle; nothing allocates, nothing fails (the inverse kinematics of
// the result and its alarms are the callers').
//
// Progress values run over the entry's profile (trajPlan): s = 0..dist. With
// input shaping on, the running entry's s is shaped on channel 0, the
// following entry's on channel 1.

// Cartesian set point of the running entry `cur` at time t (seconds into the
// move) for lines (motion types 2, 5, 7), arcs (10) and full circles (11); any
// other type leaves *pose untouched. Every call writes the profile's sPrev and
// vCurrent and the entry's pathParam (= s) and pathSpeed (= vCurrent); for arcs
// and circles also arcRemaining, arcRemainingR and arcTravelled, taken at the
// shaped s when shaping is on. Lines and arcs under true motion with shaping
// on are taken at s unshaped: their whole pose is shaped by the caller
// (pose_shaping.h). Sets trajPlan.noMotion when the move has
// finished (then *pose = targetPose). With shaping on it logs
// "S2:x,y,z" once per cycle (and two circle lines for a full circle). With
// true motion on and a corner blend into `next`, the entry runs its profile
// and then the blend (see CornerBlendTime) before it finishes.
void MOVLCMain(double t, PreDealData* cur, PreDealData* next, WCSPosition* pose);

// The path pose of a line, arc or circle entry at progress s (other types:
// *pose untouched).
void PathPoseAt(const PreDealData& e, double s, WCSPosition* pose);

// With true motion on, a line or arc with a corner blend into a following
// line or arc runs its re-planned profile, which ends at the blend's cut, and
// then the blend: the blend's total time, which this returns (else 0).
double CornerBlendTime(const PreDealData& cur, const PreDealData* next);

// The following linear entry `next` at its time tn. Behind a joint move of
// `cur` (motion types 1, 4, 6, 8) *pose becomes next's absolute pose; behind
// any other move next's displacement is added to *pose. With true motion on
// and cur neither of type 11 nor 1, *pose is the blending object's pose.
void MOVLTrans(double tn, PreDealData* cur, PreDealData* next, WCSPosition* pose);

// The following arc `next` at tn: its absolute point behind a joint move of
// type 1, else its displacement from the arc's start added to *pose. With
// true motion on and cur neither of type 11 nor 1, the blending object's pose.
void MOVCTrans(double tn, PreDealData* cur, PreDealData* next, WCSPosition* pose);

// The following full circle `next` at tn, as MOVCTrans without the blending object.
void CircleTrans(double tn, PreDealData* cur, PreDealData* next, WCSPosition* pose);

// Joint offsets of the following joint move `next` at tn: joints[i] = s * u[i].
void MOVJTrans(double tn, PreDealData* next, double* joints);
