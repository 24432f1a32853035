#pragma once

#include <cstdio>

// printf-style line log: "[LEVEL|function@source,line] text\n", to standard
// output, or to the log descriptor when the program switched to mode 2.

namespace zelor::log {

inline constexpr int kLineLogDescriptorMode = 2;
inline constexpr int kLineLogBufferSize = 1000;

struct LineLogTarget {
  int fd = -1;
  int reserved = 0;
  int mode = 0;
};

// Sends later lines of this program to fd (mode 2); mode 0 returns to stdout.
void setLineLogTarget(int fd, int mode);

void lineLog(const char* tag, const char* func, const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));

}  // namespace zelor::log

extern zelor::log::LineLogTarget dlog;

#define ZLOG_LINE(tag, fmt, ...) \
  ::zelor::log::lineLog(tag, __func__, __FILE__, __LINE__, fmt __VA_OPT__(, ) __VA_ARGS__)
#define ZLOG_TRACE(fmt, ...) ZLOG_LINE("TRACE", fmt __VA_OPT__(, ) __VA_ARGS__)
#define ZLOG_DEBUG(fmt, ...) ZLOG_LINE("DEBUG", fmt __VA_OPT__(, ) __VA_ARGS__)
#define ZLOG_WARN(fmt, ...) ZLOG_LINE("WARNI", fmt __VA_OPT__(, ) __VA_ARGS__)
#define ZLOG_ERROR(fmt, ...) ZLOG_LINE("ERROR", fmt __VA_OPT__(, ) __VA_ARGS__)
#define ZLOG_CRTCL(fmt, ...) ZLOG_LINE("CRTCL", fmt __VA_OPT__(, ) __VA_ARGS__)
