#pragma once

#include <array>
#include <cstddef>

namespace zelor::modules::dynamics {

inline constexpr std::size_t kJointCount = 6;
inline constexpr std::size_t kBaseParameterCount = 52;
inline constexpr std::size_t kNameSlot = 16;

// The base dynamic parameters in the order of the fit's result.
extern const char kBaseParameterNames[kBaseParameterCount][kNameSlot];

}  // namespace zelor::modules::dynamics
