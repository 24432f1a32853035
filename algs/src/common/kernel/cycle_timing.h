#pragma once

#include <time.h>

#include <cstdint>

// Cycle timing: stage stamps (elapsed, in kernel_state.h) are microseconds
// since tStart, the monotonic time the running cycle began. The monotonic
// clock keeps a step of the wall clock out of the stamps and over-run reports.

extern struct timespec tStart;

// Takes the monotonic clock as the cycle start.
void CycleStartNow();
// Microseconds since tStart.
std::int32_t ElapsedSinceCycleStart();
// Stores ElapsedSinceCycleStart() in stage stamp `stage` (0..29).
void StampStage(int stage);

// Largest cycle total since load and the mean of the 5000-cycle window
// averages since load, microseconds.
extern std::int32_t gAlgsMaxTime;
extern float gAveAlgsTime;
// Cycles per statistics window.
extern std::int32_t DivCount;
// Largest absolute actual torque seen per joint.
extern double gMaxTorque[4];

// Once per cycle after stamp 29 holds the cycle's total.
void TimeStatistics();
// Back to the load-time state (for a fresh statistics run).
void ResetTimeStatistics();
