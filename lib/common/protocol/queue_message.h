#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol/packet.h"

// One message of the command queue pair between the control program and the
// data server: the message type, then a body whose first 2056 bytes are a
// command packet (0xAA 0xAA, length LE, id LE, control byte, parameters).
inline constexpr std::size_t kQueueBodySize = 2400;
inline constexpr unsigned kRequestQueueId = 102;
inline constexpr unsigned kReplyQueueId = 103;
inline constexpr long kReplyMessageType = 1;
inline constexpr unsigned kCommandQueueBytes = 0x200000;
// Command id of a text command; its NUL-terminated text starts at byte 7.
inline constexpr std::uint16_t kTextCommandId = 262;

struct QueueMessage {
  long mtype;
  std::uint8_t body[kQueueBodySize];
};

static_assert(sizeof(long) == 8, "the queue message type is the platform's long");
static_assert(offsetof(QueueMessage, body) == sizeof(long));
static_assert(sizeof(Packet) <= kQueueBodySize);
