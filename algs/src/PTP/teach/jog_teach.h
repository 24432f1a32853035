#pragma once

// Continuous jog while a key is held, one cycle per call: one joint at a time
// or one Cartesian coordinate at a time in the current tool and user frame.
// The velocity ramps linearly with the jog acceleration; the set point is the
// measured position plus one period of travel.
//
// Jog commands: 0 stop; 1..8 select axis (command - 1) / 2 (joints 1-4, or
// x, y, z, r), odd positive, even negative.

#include <cstdint>

#include "common/kinematics/pose_records.h"

// The jog command the profile stage hands the jog each cycle (id 73).
extern std::uint8_t gTeachMode;
// The Cartesian jog target of this cycle.
extern WCSPosition gDistPos;

// One ramp step of gTeachMove's velocity toward +target / -target.
void SinglePos();
void SingleNeg();

void JointTeach(int command);
void JointTeachStop();
void CrdTeach(int command);
void CrdTeachStop();
