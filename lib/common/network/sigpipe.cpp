#include "common/network/sigpipe.h"

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelor::common::network {

bool IgnoreSigpipe() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGPIPE, &action, nullptr) == 0) return true;
  std::printf("[IgnoreSigpipe] SIGPIPE still has its default action: %s\n", std::strerror(errno));
  return false;
}

}  // namespace zelor::common::network
