#pragma once

#include <cstdint>

// Kernel-wide state: static single-instance records, zero or set at load.

// Velocity profile kind: 0 five-segment, 1 seven-segment S-curve, 2 cosine.
extern std::int32_t gAccType;
// Control period in seconds.
extern double gPeriodTime;
