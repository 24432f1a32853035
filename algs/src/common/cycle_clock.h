#pragma once

#include <cstdint>

// The kernel's cycle clock: monotonic microseconds. The cycle takes its start
// from it, and every stage stamp counts from that start.
std::int64_t CycleClockNowUs();
extern std::int64_t gCycleStartUs;

// Microseconds since the cycle start, clamped into the stamp's range.
std::int32_t CycleElapsedUs();

// A stage longer than this is reported.
inline constexpr std::int32_t kStageReportUs = 1500;

// Logs a stage that overran: its stamp and eight bytes of its input.
void AlgsDataPrint(const void* data8, int stage);
