#pragma once

#include "common/kernel/algs_logs.h"
#include "common/kernel/core_interface.h"

inline constexpr const char* kCycleSourcePath = "algs/src/common/cycle";

// An information line of the cycle: to the data server's log and, with the
// "[INFO][path@func()#line] " prefix, to the kernel log queues.
#define CYCLE_INFO(fmt, ...)                                     \
  do {                                                           \
    KernelLog(fmt __VA_OPT__(, ) __VA_ARGS__);                   \
    ALGS_INFO(kCycleSourcePath, fmt __VA_OPT__(, ) __VA_ARGS__); \
  } while (0)
