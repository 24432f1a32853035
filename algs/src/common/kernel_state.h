#pragma once

#include <cstdint>

// Kernel-wide state: static single-instance records, zero at load unless said.

// Velocity profile kind: 0 five-segment, 1 seven-segment S-curve, 2 cosine;
// set from the robot parameters by the set-up.
extern std::int32_t gAccType;
// Control period in seconds.
extern double gPeriodTime;

// Stage stamps of the running cycle, microseconds since its start; 29 is the total.
inline constexpr int kStageStampCount = 30;
extern std::int32_t elapsed[kStageStampCount];

// Robot set-up records, filled from the parameter block.
// Inner arm L1, outer arm L2, screw lead of joint 3 (mm/rev), z offset, one more.
extern double gScaraMechPara[5];
// Maximum of joints 1-4, minimum of joints 1-4, smallest allowed |joint 2|.
extern double gSoftLimitPara[9];
