#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/protocol/packet.h"

// One message of the command queue pair between the control program and the
// data server: the message type, then a body whose first 2056 bytes are a
// command packet (0xAA 0xAA, length LE, id LE, control byte, parameters).
inline constexpr std::size_t kQueueBodySize = 2400;
inline constexpr unsigned kRequestQueueId = 102;
inline constexpr unsigned kReplyQueueId = 103;
// A request's message type is any positive value, the control program's a
// sequence number; the data server answers with the request's type, so a
// reply belongs to one request. Type 1 is the type of unnumbered requests.
inline constexpr long kReplyMessageType = 1;
inline constexpr unsigned kCommandQueueBytes = 0x200000;
// Command id of a text command; its NUL-terminated text starts at byte 7.
inline constexpr std::uint16_t kTextCommandId = 262;

struct QueueMessage {
  long mtype;
  std::uint8_t body[kQueueBodySize];
};

// A reply whose exchange failed (no kernel reply in time, a refused request)
// carries this mark in the word after the packet: no kernel reply reaches it.
inline constexpr std::size_t kReplyStatusOffset = sizeof(Packet);
inline constexpr std::uint32_t kReplyFailedMark = 0x4641494C;

inline void markReplyFailed(std::uint8_t* body) {
  std::memcpy(body + kReplyStatusOffset, &kReplyFailedMark, sizeof kReplyFailedMark);
}

inline bool replyFailed(const std::uint8_t* body) {
  std::uint32_t mark;
  std::memcpy(&mark, body + kReplyStatusOffset, sizeof mark);
  return mark == kReplyFailedMark;
}

// A request may carry its send time (CLOCK_MONOTONIC, ns; 0 = not given) in
// the words after the mark: the data server's 2 s then count from it, so a
// request taken late is never handed on after its sender gave up.
inline constexpr std::size_t kRequestSentOffset = kReplyStatusOffset + sizeof(std::uint32_t);

inline void putRequestSentNs(std::uint8_t* body, std::int64_t ns) {
  std::memcpy(body + kRequestSentOffset, &ns, sizeof ns);
}

inline std::int64_t requestSentNs(const std::uint8_t* body) {
  std::int64_t ns;
  std::memcpy(&ns, body + kRequestSentOffset, sizeof ns);
  return ns;
}

static_assert(kReplyStatusOffset + sizeof kReplyFailedMark <= kQueueBodySize, "the failure mark lies inside the body");
static_assert(kRequestSentOffset + sizeof(std::int64_t) <= kQueueBodySize, "the send time lies inside the body");
static_assert(kReplyStatusOffset >= sizeof(Packet), "the failure mark lies past every packet");
static_assert(sizeof(long) == 8, "the queue message type is the platform's long");
static_assert(offsetof(QueueMessage, body) == sizeof(long));
static_assert(sizeof(Packet) <= kQueueBodySize);
