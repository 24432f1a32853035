#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kernel/ring_buffer.h"

// Reading the pipeline's rings in place.

// The pre-processed entry `offset` places from the head.
inline PreDealData* PreDealAt(const tagRingBuffer* preDeal, std::uint32_t offset) {
  return reinterpret_cast<PreDealData*>(RingBufferAt(preDeal, offset));
}

// Type word of the packed command `offset` places from the head.
inline std::uint32_t PackedTypeAt(const tagRingBuffer* packed, std::uint32_t offset) {
  std::uint32_t type = 0;
  std::memcpy(&type, RingBufferAt(packed, offset), sizeof type);
  return type;
}

// Moves the motion counts and the continuous-path wait look at.
inline bool IsCountedMotionType(std::uint32_t type) {
  return type == kPackedPTP || type == kPackedARC || type == kPackedCircle;
}

// Type 3 has no planner and no packed name; the walks treat it as a motion.
inline constexpr std::uint32_t kPackedNoPlan = 3;
