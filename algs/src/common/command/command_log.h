#pragma once

#include "common/kernel/algs_logs.h"
#include "common/command/command_handler.h"
#include "common/kernel/core_interface.h"

// A command handler's information line: to the data server's log and, with
// the "[INFO][path@func()#line] " prefix, to the kernel log queues.
#define CMD_LOG(fmt, ...)                                          \
  do {                                                             \
    KernelLog(fmt __VA_OPT__(, ) __VA_ARGS__);                     \
    ALGS_INFO(kCommandSourcePath, fmt __VA_OPT__(, ) __VA_ARGS__); \
  } while (0)
