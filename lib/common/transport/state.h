#pragma once

#include <cstddef>
#include <cstdint>

namespace zelor::common::transport {

// Header at the start of every segment.
struct State {
  uint32_t tag;           // written by the creator, read by nobody
  uint8_t reserved[8];
  uint32_t refCount;      // processes that opened without creating; atomic only
  uint32_t messageClass;  // ShmConf class of the segment
};
static_assert(sizeof(State) == 20);
static_assert(offsetof(State, refCount) == 12);
static_assert(offsetof(State, messageClass) == 16);

}  // namespace zelor::common::transport
