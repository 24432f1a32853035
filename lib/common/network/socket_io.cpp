#include "common/network/socket_io.h"

#include <sys/socket.h>

#include <cstdio>
#include <cstring>

namespace zelor::common::network {

int setSocketTimeout(int fd, int option, uint32_t ms) {
  const timeval tv = msToTimeval(ms);
  return setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

uint32_t sendLength(const char* data, uint32_t len) {
  return len != 0 ? len : static_cast<uint32_t>(std::strlen(data));
}

int sendNoSignal(int fd, const char* data, uint32_t len) {
  return static_cast<int>(send(fd, data, sendLength(data, len), MSG_NOSIGNAL));
}

int recvWithTimeout(int fd, char* buf, uint32_t size, uint32_t timeoutMs, const char* failureText,
                    int failureCode) {
  if (setSocketTimeout(fd, SO_RCVTIMEO, timeoutMs == 0 ? kNoTimeLimitMs : timeoutMs) != 0) {
    std::fputs(failureText, stdout);
    return failureCode;
  }
  return static_cast<int>(recv(fd, buf, size, 0));
}

}  // namespace zelor::common::network
