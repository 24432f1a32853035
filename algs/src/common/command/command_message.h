#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol/packet.h"

// One command packet in the kernel's form.
struct tagMessage {
  std::uint16_t id;
  std::uint8_t rw;        // 1 write/set, 0 read/get
  std::uint8_t isQueued;  // 1 queued
  std::uint32_t paramsLen;
  std::uint8_t params[kKernelParamBytes];
};

// Results of MessageRead.
inline constexpr std::uint32_t kMessageTaken = 0;
inline constexpr std::uint32_t kMessageNone = 1;
// A packet whose length field does not fit a message (below 2, or more than
// 2048 parameter bytes): id, rw and isQueued are filled, paramsLen is 0.
inline constexpr std::uint32_t kMessageRefused = 2;

// Takes the next pending packet through the core's getPackage. Parameters
// beyond paramsLen are zero, so a short request never shows bytes of an
// earlier one.
std::uint32_t MessageRead(tagMessage* msg);
// Hands one reply packet (zero-filled, header bytes 0) to the core's
// sendPackage. At most 2048 parameter bytes are sent.
std::uint32_t MessageWrite(const tagMessage* msg);
