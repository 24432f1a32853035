#include "common/network/socket_timeout.h"

#include <sys/socket.h>

#include <cstring>

namespace zelor::common::network {

int setSocketTimeout(int fd, int option, uint32_t ms) {
  const timeval tv = msToTimeval(ms);
  return setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

uint32_t sendLength(const char* data, uint32_t len) {
  return len != 0 ? len : static_cast<uint32_t>(std::strlen(data));
}

}  // namespace zelor::common::network
