#pragma once

// Software position limits of the status worker, with a hysteresis of 9 pulses.

#include <cstdint>

namespace tramlet_detail {

inline constexpr std::uint16_t kFlagLimitPos = 1u << 0;
inline constexpr std::uint16_t kFlagLimitNeg = 1u << 1;
inline constexpr std::uint16_t kFlagCommFailure = 1u << 2;
inline constexpr std::uint16_t kFlagTargetOutside = 1u << 3;
inline constexpr std::uint16_t kFlagDriveState = 1u << 4;
inline constexpr std::int64_t kLimitHysteresis = 9;

// One poll at position pos (pulses): updates the limit state (-1, 0, +1) and
// the limit bits of flags. enabled: control word bit 3.
void applyLimitRules(std::int32_t pos, std::int32_t limitPos, std::int32_t limitNeg, bool enabled,
                     std::int32_t& state, std::uint16_t& flags);

}  // namespace tramlet_detail
