#pragma once

// The stops that bring every joint to rest with its own small profile, run
// once per control cycle while the mode asks for them. Each writes the
// joint speeds into gRobotAxisMove.nextVel and ends its cycle with nextPos =
// commanded joint + period * speed; at rest it finishes through
// StopFinishDeal. They brake from the speeds gRobotAxisMove.nextVel holds
// when the stop is planned.

// Kind 0: every joint stops within 0.1 s, sooner when its soft limit is near.
void EmergencyStop();
// Kind 1: an S-curve stop of 0.2 s per joint (0.1155 s under a collision
// pause), or at the entry's target when that is nearer. A paused entry is
// re-planned at rest so that it can resume.
void SmoothStopS();
// Mode 14: an S-curve stop of 0.1 s; at rest the set point becomes the
// pre-processing's start joints.
void ConvSmoothStopS();
// Kind 3: every joint decelerates evenly to rest in 0.1 s.
void TeachStop();

// Per joint, the deceleration that stops it at its soft limit and its
// direction of motion. Joint 3 rises up to the jump's upper travel (jump
// entries) or its maximum and falls down to the entry's joint-3 target.
void StopWithSoftLimit(double deceleration[4], int direction[4]);
// Per joint, the jerk whose S-curve stop ends exactly at the entry's target
// (joint 3 of a jump rising: at the jump's upper travel), and its direction.
void StopWithTargetPosS(double jerk[4], int direction[4]);
