#pragma once

#include "log/ombrel.h"

// The remote control and its polling engines log on channel 15.
namespace remote_log {
inline constexpr int kChannel = ~15;
inline constexpr int kInfo = 2;
inline constexpr int kWarn = 3;
inline constexpr int kError = 4;
}  // namespace remote_log

#define REMOTE_LOG(level, fmt, ...)                                                                      \
  ::spdlog::ombrel::basicLog(::remote_log::kChannel, __LINE__, __func__, ::remote_log::level,            \
                             fmt __VA_OPT__(, ) __VA_ARGS__)
