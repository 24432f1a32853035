#pragma once

// What jog and inching share: the meaning of a jog command byte, the measured
// pose they start from and the jog speed scaled by the jog speed ratio.

#include "common/kinematics/pose_records.h"

namespace jog {

// 1..8: axis (command - 1) / 2, odd positive, even negative.
inline bool IsAxisCommand(int command) { return command >= 1 && command <= 8; }
inline int AxisOf(int command) { return (command - 1) / 2; }
inline bool IsPositive(int command) { return (command & 1) != 0; }

// The measured joints and pose of the system parameters.
JointTheta MeasuredJoints();
WCSPosition MeasuredPose();
// Coordinate 0..3 of a pose: x, y, z, r.
double& Coordinate(WCSPosition& pose, int axis);

struct Speed {
  double velocity;
  double acceleration;
};

// The configured jog velocity and acceleration of an axis times the jog speed
// ratio (percent). False, after the two log lines and alarm 26, when either
// is below 1e-5: no motion can be made of it.
bool ScaledSpeed(float velocity, float acceleration, Speed& out);

// ScaledSpeed into gTeachMove's target speed and acceleration.
bool LoadSpeed(float velocity, float acceleration);

}  // namespace jog
