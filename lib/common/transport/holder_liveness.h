#pragma once

#include <sys/types.h>

namespace zelor::common::transport {

// True when the process that holds a lock can never release it: it no longer
// exists, or it has ended and only waits to be reaped (a zombie). A process
// that is alive, stopped, or owned by another user counts as alive.
bool HolderGone(pid_t pid);

}  // namespace zelor::common::transport
