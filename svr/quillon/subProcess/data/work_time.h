#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Power-on and enabled totals of the controller, kept in a file of two
// little-endian 32-bit seconds counts.
namespace work_time {

// "PowerOnTime:<days>Day<hours>:<minutes>:<seconds>".
std::string powerOnText(std::int32_t seconds);

// Adds now - start to totals[0] and, when enableStart is given, now -
// *enableStart to totals[1]; each added span's start moves to now, so a
// later save counts it once. Then writes the file crash-safely; false when
// that failed.
bool save(const std::string& path, std::int32_t totals[2], std::time_t& start, std::time_t* enableStart,
          std::time_t now);

}  // namespace work_time
