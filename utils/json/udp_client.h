#pragma once

#include <map>
#include <mutex>
#include <string>

#include <netinet/in.h>

#include "zelor_export.h"

// UDP sender of the script reports: one socket on the default route and one
// per named network interface, each with its own destination.
//
// A socket created without an address sends to the default destination: the
// address in the environment variable ZELOR_UDP_DESTINATION when set (tests
// and installations name one), else loopback: no datagram leaves the machine
// unless an installation names a destination.
class ZELOR_EXPORT UdpClient {
 public:
  static constexpr const char* kDestinationVariable = "ZELOR_UDP_DESTINATION";
  static constexpr const char* kDefaultDestination = "127.0.0.1";

  UdpClient() = default;
  ~UdpClient();
  UdpClient(const UdpClient&) = delete;
  UdpClient& operator=(const UdpClient&) = delete;

  // 0 on success, -1 when the address is not an IPv4 address or the socket
  // cannot be made. An empty address means the default destination.
  int createSocket(const std::string& address, int port);
  // As createSocket, bound to the named interface; -1 (and nothing kept) when
  // the interface does not exist or cannot be bound.
  int CreateSocketEthX(const std::string& interfaceName, const std::string& address, int port);
  // One datagram; the bytes sent, or -1.
  int sendMsg(const char* data, int length);
  int sendMsg(const std::string& interfaceName, const char* data, int length);
  void release();

 private:
  struct Endpoint {
    int fd = -1;
    sockaddr_in destination{};
  };

  static int openEndpoint(const std::string& address, int port, const char* interfaceName, Endpoint& out);
  static int sendOn(const Endpoint& endpoint, const char* data, int length);

  std::mutex m_mutex;
  Endpoint m_default;
  std::map<std::string, Endpoint> m_interfaces;
};
