#pragma once

namespace zelor::common::network {

// A peer that closes its connection while a reply is being written raises
// SIGPIPE, whose default action ends the whole process; the processes that
// serve sockets ignore it at start-up so that such a write only fails with
// EPIPE. Returns false when the disposition could not be changed.
bool IgnoreSigpipe();

}  // namespace zelor::common::network
