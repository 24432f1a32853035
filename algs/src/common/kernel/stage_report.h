#pragma once

#include <cstdint>

// A stage that ends later than this after the cycle start is reported.
inline constexpr std::int32_t kStageReportUs = 1500;

// Logs a stage that overran: its stamp and eight bytes of its input.
void AlgsDataPrint(const void* data8, int stage);
