#pragma once

#include "zelor_export.h"

// Excitation trajectories for load identification. Each call is one control
// cycle of a one-second quintic segment from the previous excitation point to
// the new one (position, velocity and acceleration matched at both ends); it
// writes the joint set points of the cycle and marks the entry finished in the
// segment's last cycle. Positions in rad (joint 3 in its linear unit).

// Arm segment: joints 1 and 2 move to (q, qd, qdd)[0..1]; joint 3 is held at
// 100 and joint 4 at 0. The arrays hold at least four values.
ZELOR_EXPORT void RadomExcit_scara(float* q, float* qd, float* qdd);
// Vertical segment: joint 3 moves to (q, qd, qdd); joints 1, 2 and 4 are held at 0.
ZELOR_EXPORT void RadomExcit_scara_Z(float q, float qd, float qdd);
// Six-joint segment for general arms (arrays of six); this arm's set point
// record takes the first four.
ZELOR_EXPORT void RadomExcit_6(float* q, float* qd, float* qdd);
// Back to the start state: joint 3 at 100, everything else 0 and at rest.
ZELOR_EXPORT void resetQ();
