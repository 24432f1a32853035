#pragma once

#include "log/ombrel.h"

// The data sub-process logs its brace-format lines on channel 15.
namespace data_log {
inline constexpr int kChannel = ~15;
inline constexpr int kTrace = 0;
inline constexpr int kDebug = 1;
inline constexpr int kInfo = 2;
inline constexpr int kWarn = 3;
inline constexpr int kError = 4;
}  // namespace data_log

#define DATA_LOG(level, fmt, ...)                                                                   \
  ::spdlog::ombrel::basicLog(::data_log::kChannel, __LINE__, __func__, ::data_log::level, fmt __VA_OPT__(, ) \
                                 __VA_ARGS__)
