#pragma once

// Script numbers as integers: a non-finite or out-of-range number is never
// converted.

#include <cmath>

#include <lua.hpp>

// The number truncated toward zero; false when no 64-bit integer holds it.
inline bool truncateNumber(lua_Number value, lua_Integer& out) {
  if (!std::isfinite(value)) return false;
  const lua_Number whole = std::trunc(value);
  // 2^63 itself does not fit.
  if (whole >= 9223372036854775808.0 || whole < -9223372036854775808.0) return false;
  out = static_cast<lua_Integer>(whole);
  return true;
}

// A script number as a 32-bit float within [low, high]; NaN, infinities and
// values beyond a float fail.
inline bool floatInRange(lua_Number value, float low, float high, float& out) {
  if (!std::isfinite(value) || std::fabs(value) > 3.4e38) return false;
  out = static_cast<float>(value);
  return out >= low && out <= high;
}
