// The data server runs inside the PLC runtime's process, together with the
// motion kernel's cycle: a peer that closes a connection while a reply is
// being written must not end that process. SIGPIPE is ignored as soon as this
// library is loaded, before any of its servers can write.
#include "common/network/sigpipe.h"

namespace {
const bool kSigpipeIgnored = zelor::common::network::IgnoreSigpipe();
}  // namespace
