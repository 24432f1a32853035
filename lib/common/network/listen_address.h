#pragma once

#include <netinet/in.h>

#include <string>

namespace zelor::common::network {

// The one address every server of the system listens on: the environment
// variable ZELOR_LISTEN_ADDRESS when set (the run command sets 127.0.0.1),
// otherwise every interface, as the real controller serves its pendant over
// Ethernet. A value that is not a dotted IPv4 address is refused with a
// message and loopback is used, so a typo never exposes the servers.
std::string listenAddress();

// The same address in network byte order, for sockaddr_in::sin_addr.
in_addr_t listenAddressIPv4();

}  // namespace zelor::common::network
