#pragma once

// Steps the socket classes share: time-outs in milliseconds, sends that never
// raise SIGPIPE, receives with a per-call time-out.

#include <sys/time.h>

#include <cstdint>

namespace zelor::common::network {

// Where a socket class maps a 0 ms time-out to "no limit": the largest
// unsigned 32-bit number of milliseconds.
inline constexpr uint32_t kNoTimeLimitMs = 4294967295u;

inline timeval msToTimeval(uint32_t ms) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(ms / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  return tv;
}

// SO_RCVTIMEO or SO_SNDTIMEO of fd; setsockopt's result.
int setSocketTimeout(int fd, int option, uint32_t ms);

// "Send up to the terminating zero" when len is 0.
uint32_t sendLength(const char* data, uint32_t len);

// One send of len bytes (0: up to the terminating zero). A peer that has gone
// gives an error result, never SIGPIPE.
int sendNoSignal(int fd, const char* data, uint32_t len);

// One recv with a receive time-out, 0 standing for no limit. When the
// time-out cannot be set, prints failureText and returns failureCode.
int recvWithTimeout(int fd, char* buf, uint32_t size, uint32_t timeoutMs, const char* failureText,
                    int failureCode);

}  // namespace zelor::common::network
