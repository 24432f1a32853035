#pragma once

#include <cstdint>

#include "common/protocol/packet.h"

// The auxiliary axis's state from the reply to its query (sub-command 14):
// the alarm code (u16 at 0) and the status word (u16 at 2); a non-zero
// result (u32 at 4) sets the fault bit of the status.
struct AuxAxisStatus {
  static constexpr std::uint32_t kQuery = 14;
  static constexpr std::uint16_t kFaultBit = 1u << 2;

  std::uint16_t code = 0;
  std::uint16_t status = 0;

  // Missing bytes read as 0.
  static AuxAxisStatus parse(const Packet& reply);
};
