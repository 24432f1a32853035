#pragma once

#include <cstdio>

// The panel's progress lines go to standard output (the data server's FIFO),
// each flushed so that a reader sees it at once.
#define HMI_SAY(...)               \
  do {                             \
    std::printf(__VA_ARGS__);      \
    std::fflush(stdout);           \
  } while (0)
