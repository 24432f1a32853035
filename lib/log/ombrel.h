#pragma once

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include <spdlog/logger.h>

#include "log/log_line.h"
#include "log/msq_sink.h"

namespace spdlog {

// The process's sixteen log channels: logger i writes only to the sink of
// queue ftok("/root/", i).
class ombrel {
 public:
  static ombrel& Instance();

  // Logs one line on the channels chosen by sel:
  //   sel > 0            bit mask of channels 0..15, prefix "[func#line]"
  //   -16 <= sel <= -1   the single channel ~sel, prefix "[func#line] "
  //   otherwise          nothing
  // fmt uses the formatting library's brace syntax; level 0..5 is trace..critical.
  template <typename... Args>
  static void basicLog(int sel, int line, const char* func, int level, const char* fmt,
                       Args&&... args);

  std::array<std::shared_ptr<logger>, kLogChannelCount> loggers;
  std::array<std::shared_ptr<sinks::msq_sink>, kLogChannelCount> sinks;

 private:
  ombrel();
  ombrel(const ombrel&) = delete;
  ombrel& operator=(const ombrel&) = delete;

  template <typename... Args>
  void logOn(int channel, const char* prefix, int line, const char* func, int level,
             const char* fmt, Args&&... args);
};

template <typename... Args>
void ombrel::basicLog(int sel, int line, const char* func, int level, const char* fmt,
                      Args&&... args) {
  if (level < 0 || level > 5) return;
  ombrel& self = Instance();
  if (sel > 0) {
    for (int ch = 0; ch < kLogChannelCount; ++ch) {
      if (sel & (1 << ch)) self.logOn(ch, "[%s#%d]%s", line, func, level, fmt, args...);
    }
  } else if (sel >= -kLogChannelCount && sel <= -1) {
    self.logOn(~sel, "[%s#%d] %s", line, func, level, fmt, std::forward<Args>(args)...);
  }
}

template <typename... Args>
void ombrel::logOn(int channel, const char* prefix, int line, const char* func, int level,
                   const char* fmt, Args&&... args) {
  const std::shared_ptr<logger>& target = loggers[channel];
  if (!target) return;
  char format[200];
  std::memset(format, 0, sizeof format);
  std::snprintf(format, sizeof format, prefix, func ? func : "", line, fmt ? fmt : "");
  // spdlog reports a bad format through its error handler; the caller goes on.
  target->log(static_cast<level::level_enum>(level), fmt::runtime(format),
              std::forward<Args>(args)...);
}

}  // namespace spdlog
