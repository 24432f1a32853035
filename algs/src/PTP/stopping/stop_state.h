#pragma once

#include <cstdint>

// State of the stop in progress (one at a time, kernel-wide) and the small
// pieces every per-joint stop profile shares. The stop kind, its planned flag
// and its cycle count live with the motion state (gStopMode,
// gStopCmdPlanFlag, gPeriodCount).

inline constexpr int kStopJoints = 4;
// A joint (or the path) is at rest below this speed.
inline constexpr double kRestSpeed = 1e-5;

struct tagStopState {
  // Per joint, fixed when the stop is planned.
  double stopSpeed[kStopJoints];  // speed when the stop was planned
  double rate[kStopJoints];       // deceleration (emergency, teach) or jerk (S-curves)
  double stopTime[kStopJoints];   // seconds; S-curves only
  int direction[kStopJoints];
  // Path stop: speed and stop time of the path parameter, its jerk, the
  // cycles spent at rest and the path parameter of the last pose commanded.
  double pathStopSpeed;
  double pathStopTime;
  double pathJerk;
  std::uint32_t restCycles;
  double poseParam;
};
extern tagStopState gStopState;

// Commanded joint j (the parameter record is packed: read bytewise).
void CommandedJoints(double out[kStopJoints]);

// Every |joint speed| below kRestSpeed.
bool JointsAtRest();

// The profile's end of every cycle: nextPos j = commanded joint j + period *
// speed j, for the speeds in gRobotAxisMove.nextVel.
void SetPointsFromSpeeds();

// Whole control cycles in `seconds` (truncated), as a double so that no
// conversion can overflow; 0 for a time that is negative or not finite.
double CyclesIn(double seconds);

// Speed of a symmetric S-curve stop from u with jerk J and stop time Ts at
// cycle n (t = n * period): u - J/2 t^2 in the first half of the N = Ts /
// period cycles, J/2 (Ts - t)^2 in the second, 0 from N on.
double SCurveStopSpeed(double u, double jerk, double stopTime, std::uint32_t n);
