#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace tramlet_detail {

// Converts a computed drive value to int32: truncates toward zero, saturates
// at the int32 range, and maps NaN to 0.
inline std::int32_t saturateInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

}  // namespace tramlet_detail
