#pragma once

#include "common/protocol/axes_group_ref.h"

// This cycle's run data: set points, speeds and profile accelerations, the
// torque feed-forward, actual values, Cartesian accelerations, frames and the
// status bytes. Every double it does not name stays 0.
void FillRunData(AxesGroupRef& g);

// A joint value taken to the drive side through the drive's ratio words and
// the joint's gear ratio; 0 when the divisor word is 0 or the result is not finite.
double ToDriveSide(const AxesGroupJoint& joint, int j, double value);
