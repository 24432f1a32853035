#pragma once

#include <cstddef>
#include <cstdint>

#include "zelor_export.h"

// One sample of a load identification run, written by the motion kernel every
// fifth cycle and read back by the data server when the run has ended.
struct tagExcit6Pos {
  float q[4];            // joints 1-4: rad, joint 3 in its linear unit
  float torque[4];       // measured joint torques
  std::uint32_t zero[4]; // always 0
};
static_assert(sizeof(tagExcit6Pos) == 48);
static_assert(offsetof(tagExcit6Pos, q) == 0);
static_assert(offsetof(tagExcit6Pos, torque) == 16);
static_assert(offsetof(tagExcit6Pos, zero) == 32);

// Records one buffer holds.
inline constexpr std::uint32_t kExcitRecordCapacity = 30000;

// The identification buffer, owned by the data server: null while no run
// collects, and the number of records written into it. The motion library
// resolves both in the process that loads it.
extern "C" {
extern ZELOR_EXPORT tagExcit6Pos* g_tagExcit_6Pos;
extern ZELOR_EXPORT std::uint32_t g_tagExcit_6Pos_size;
}
