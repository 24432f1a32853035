#include "json/udp_client.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

std::string defaultDestination() {
  const char* configured = std::getenv(UdpClient::kDestinationVariable);
  return configured != nullptr && configured[0] != '\0' ? configured : UdpClient::kDefaultDestination;
}

}  // namespace

UdpClient::~UdpClient() { release(); }

int UdpClient::openEndpoint(const std::string& address, int port, const char* interfaceName, Endpoint& out) {
  if (port <= 0 || port > 65535) return -1;
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(static_cast<std::uint16_t>(port));
  const std::string host = address.empty() ? defaultDestination() : address;
  if (inet_pton(AF_INET, host.c_str(), &destination.sin_addr) != 1) return -1;

  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  if (interfaceName != nullptr) {
    const std::size_t length = std::strlen(interfaceName);
    if (length == 0 || length >= IFNAMSIZ ||
        setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName, static_cast<socklen_t>(length)) != 0) {
      close(fd);
      return -1;
    }
  }
  out.fd = fd;
  out.destination = destination;
  return 0;
}

int UdpClient::createSocket(const std::string& address, int port) {
  Endpoint endpoint;
  if (openEndpoint(address, port, nullptr, endpoint) != 0) return -1;
  std::lock_guard lock(m_mutex);
  if (m_default.fd >= 0) close(m_default.fd);
  m_default = endpoint;
  return 0;
}

int UdpClient::CreateSocketEthX(const std::string& interfaceName, const std::string& address, int port) {
  Endpoint endpoint;
  if (openEndpoint(address, port, interfaceName.c_str(), endpoint) != 0) return -1;
  std::lock_guard lock(m_mutex);
  auto [it, inserted] = m_interfaces.try_emplace(interfaceName, endpoint);
  if (!inserted) {
    close(it->second.fd);
    it->second = endpoint;
  }
  return 0;
}

int UdpClient::sendOn(const Endpoint& endpoint, const char* data, int length) {
  if (endpoint.fd < 0 || data == nullptr || length < 0) return -1;
  const ssize_t sent = sendto(endpoint.fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&endpoint.destination), sizeof endpoint.destination);
  return sent < 0 ? -1 : static_cast<int>(sent);
}

int UdpClient::sendMsg(const char* data, int length) {
  std::lock_guard lock(m_mutex);
  return sendOn(m_default, data, length);
}

int UdpClient::sendMsg(const std::string& interfaceName, const char* data, int length) {
  std::lock_guard lock(m_mutex);
  const auto it = m_interfaces.find(interfaceName);
  if (it == m_interfaces.end()) return -1;
  return sendOn(it->second, data, length);
}

void UdpClient::release() {
  std::lock_guard lock(m_mutex);
  if (m_default.fd >= 0) close(m_default.fd);
  m_default = Endpoint{};
  for (auto& [name, endpoint] : m_interfaces) close(endpoint.fd);
  m_interfaces.clear();
}
