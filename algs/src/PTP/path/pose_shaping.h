#pragma once

#include <cstdint>

#include "common/kinematics/pose_records.h"

// Input shaping of a whole Cartesian set point (x, y, z, r) with the delays
// and weights of shaping channel 0. A corner blend of true motion hands the
// set point from the running path to the blending curve and on to the next
// path: shaping each profile's progress on its own would restart the shaper
// at every hand-over and make the set point jump by the shaper's lag. Lines
// and arcs under true motion with shaping on are shaped here instead, on one
// history that runs on through their blends.

// Lines and arcs of a true-motion program with input shaping on.
bool PoseShapingFor(std::uint32_t motionType);

// Whether the last shaped sample was taken in the cycle before this one:
// the history then continues, else it has to be seeded first.
bool PoseShapingRunning();

// Whether that sample was a corner blend's: the move after the blend goes on
// with the history, where any other restart of a move's profile seeds it.
bool PoseShapingAfterBlend();

// Seeds the history, up to the sample before this cycle's, with the progress
// values of channel 0's history (this cycle's included) mapped through
// `poseAt`: the move's start pose repeated after a start from rest, or the
// path the move took while it overlapped the one before.
void PoseShapingSeed(void (*poseAt)(const void* context, double s, WCSPosition* pose), const void* context);

// Shapes one sample in place (blendSample: a corner blend's pose); once per cycle.
void PoseShapingStep(WCSPosition* pose, bool blendSample);

// Forgets the history (the next shaped move is seeded again).
void PoseShapingReset();
