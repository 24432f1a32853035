#pragma once

// Script request memory: the one synchronous channel between the script
// plug-in (clients 1..8) and the data server's Lua sub-process. Every offset
// both sides use is named here.
//
// A client takes the lock semaphore, writes its frame into the request area and
// raises the request semaphore; the server copies the frame out, gives the lock
// back, and answers in the reply area of the frame's client, raising that
// client's reply semaphore. Each area holds a whole frame, so no reply can
// overlap the request area, another client's reply or the alarm bytes.

#include <cstddef>
#include <cstdint>

// One request or reply.
struct semlib_frame {
  uint8_t client;       // 1..8
  uint8_t status;       // reply: 0 executed, 1 not executed (the client sends it again)
  uint8_t reserved[6];
  uint16_t commandId;   // the packet's command id
  uint16_t length;      // request: packet length field + 6; reply: reply packet bytes
  uint8_t packet[2064]; // the command packet, header included
};
static_assert(sizeof(semlib_frame) == 2076);
static_assert(offsetof(semlib_frame, status) == 1);
static_assert(offsetof(semlib_frame, commandId) == 8);
static_assert(offsetof(semlib_frame, length) == 10);
static_assert(offsetof(semlib_frame, packet) == 12);

// The whole request memory.
struct semlib_shm {
  semlib_frame request;
  uint8_t unused0[324];
  uint8_t alarmFlag;     // 1: a script alarm code waits for the data server
  uint8_t alarmCode[4];  // 32-bit little-endian, unaligned
  uint8_t unused1[3];
  semlib_frame reply[8]; // reply area of client k is reply[k - 1]
};
static_assert(offsetof(semlib_shm, request) == 0);
static_assert(offsetof(semlib_shm, alarmFlag) == 2400);
static_assert(offsetof(semlib_shm, alarmCode) == 2401);
static_assert(offsetof(semlib_shm, reply) == 2408);
static_assert(sizeof(semlib_shm) == 19016);

namespace zelor::common::ipc {

inline constexpr int kSemlibKeyId = 11;
inline constexpr int kSemlibSemCount = 18;
inline constexpr int kSemlibClientCount = 8;
inline constexpr int kSemlibLockSem = 0;     // 1 = request area free
inline constexpr int kSemlibRequestSem = 1;  // raised when a request waits

// Semaphore raised once by client k's start; nobody waits on it.
constexpr int semlibClientSem(int k) { return 2 * k; }
// Semaphore that wakes client k when its reply waits.
constexpr int semlibReplySem(int k) { return 2 * k + 1; }
constexpr uint32_t semlibReplyOffset(int k) {
  return static_cast<uint32_t>(offsetof(semlib_shm, reply) + sizeof(semlib_frame) * (k - 1));
}
static_assert(semlibReplyOffset(4) == 2408 + 3 * 2076);
static_assert(semlibReplyOffset(kSemlibClientCount) + sizeof(semlib_frame) == sizeof(semlib_shm));

// The channel table both sides hold: record 0 is the request channel
// {lock, request semaphore, request offset}, record k client k
// {client semaphore, reply semaphore, reply offset}.
struct semlib_channel {
  int32_t waitSem;
  int32_t signalSem;
  uint32_t offset;
  int32_t reserved;
};
static_assert(sizeof(semlib_channel) == 16);

struct SemlibChannelTable {
  semlib_channel entry[kSemlibClientCount + 1];
};

constexpr SemlibChannelTable makeSemlibChannelTable() {
  SemlibChannelTable t{};
  t.entry[0] = {kSemlibLockSem, kSemlibRequestSem, 0, 0};
  for (int k = 1; k <= kSemlibClientCount; ++k)
    t.entry[k] = {semlibClientSem(k), semlibReplySem(k), semlibReplyOffset(k), 0};
  return t;
}
inline constexpr SemlibChannelTable kSemlibChannels = makeSemlibChannelTable();

}  // namespace zelor::common::ipc
