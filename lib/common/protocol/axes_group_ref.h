#pragma once

#include <cstddef>
#include <cstdint>

// The host runtime's axes-group record, as the data server receives it and
// hands it to the motion kernel: one 4096-byte record. Only the members laid
// down here are interpreted; the other bytes are reserved until their readers
// and writers name them.
struct AxesGroupRef {
  std::uint8_t reserved0[3760];
  // Bit mask of the joints found colliding (bit 0 = joint 1); set by the
  // kernel's dynamics stage, cleared by the data server.
  std::uint32_t m_CollisionWord;
  std::uint8_t reserved1[4096 - 3764];
};
static_assert(sizeof(AxesGroupRef) == 4096);
static_assert(offsetof(AxesGroupRef, m_CollisionWord) == 3760);
static_assert(alignof(AxesGroupRef) >= alignof(std::uint32_t));
