#include "common/network/listen_address.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>

namespace zelor::common::network {

namespace {

constexpr const char* kVariable = "ZELOR_LISTEN_ADDRESS";
constexpr const char* kAnyAddress = "0.0.0.0";
constexpr const char* kLoopback = "127.0.0.1";

}  // namespace

std::string listenAddress() {
  const char* value = std::getenv(kVariable);
  if (value == nullptr || *value == '\0') return kAnyAddress;
  in_addr parsed{};
  if (inet_pton(AF_INET, value, &parsed) != 1) {
    std::fprintf(stderr, "[listenAddress] %s=\"%s\" is not an IPv4 address; listening on %s\n", kVariable, value,
                 kLoopback);
    return kLoopback;
  }
  return value;
}

in_addr_t listenAddressIPv4() {
  in_addr parsed{};
  inet_pton(AF_INET, listenAddress().c_str(), &parsed);
  return parsed.s_addr;
}

}  // namespace zelor::common::network
