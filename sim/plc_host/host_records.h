#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol/axes_group_ref.h"

namespace zelor::sim {

inline constexpr std::size_t kHostImageBytes = 64;
inline constexpr std::size_t kPlcStatusBytes = 8192;
// The i32 mode word of the PLC's robot status record: 0 teach pendant, 1 PC.
inline constexpr std::size_t kPlcModeWordOffset = 6612;

// The records the PLC-runtime stand-in owns, as one shared-memory segment:
// tests and tools attach it by key and read or change any field in place.
struct PlcHostRecords {
  AxesGroupRef axesGroup;
  alignas(4) std::uint8_t di[kHostImageBytes];    // controller inputs, handed to the kernel each cycle
  alignas(4) std::uint8_t dout[kHostImageBytes];  // controller outputs, taken from the kernel each cycle
  // The PLC's robot status record; kept zero until a data server reads it.
  alignas(8) std::uint8_t plcStatus[kPlcStatusBytes];
};
static_assert(offsetof(PlcHostRecords, axesGroup) == 0);
static_assert(offsetof(PlcHostRecords, di) == 4096);
static_assert(offsetof(PlcHostRecords, dout) == 4160);
static_assert(offsetof(PlcHostRecords, plcStatus) == 4224);
static_assert(sizeof(PlcHostRecords) == 4224 + 8192);

}  // namespace zelor::sim
