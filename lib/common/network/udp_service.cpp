#include "common/network/udp_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "common/network/listen_address.h"
#include "common/network/socket_io.h"

namespace zelor::common::network {

udpService::udpService() { std::printf("[udpService::udpService] construct class!\n "); }

udpService::~udpService() { closeSocket(); }

void udpService::closeSocket() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int udpService::udpStart(uint16_t port, std::string ip) {
  std::printf("[udpService::udpStart] ip:%s , port : %d \n", ip.c_str(), port);
  closeSocket();
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd_ < 0) {
    std::perror("udpService::udpStart socket error ");
    return -2;
  }
  if (ip != "127.0.0.1") return 0;

  std::printf("udpService::udpStart got ip 127.0.0.1 in udp server mode , bind socket port %d\n", port);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = listenAddressIPv4();
  addr.sin_port = htons(port);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
    std::perror("udpService::udpStart bind faild");
    closeSocket();
    return -3;
  }
  return 0;
}

int udpService::recvdata(char* buf, uint32_t size, uint32_t timeoutMs) {
  return recvWithTimeout(fd_, buf, size, timeoutMs, "[udpService::recvdata] set time out faild!!!!!  ", -3);
}

int udpService::senddata(const char* buf, std::string ip, uint16_t port, uint32_t len, uint32_t timeout) {
  if (buf == nullptr) return -1;
  len = sendLength(buf, len);
  // The buffer need not end in a zero: print no more than it holds.
  std::printf("[%s] : ip:%s,port:%d;buf=%.*s,bufsize=%d,timeout=%d\n", "senddata", ip.c_str(), port,
              static_cast<int>(len), buf, static_cast<int>(len), static_cast<int>(timeout));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, ip.c_str(), &addr.sin_addr) != 1) {
    std::printf("[udpService::senddata] not an IPv4 address: %s\n", ip.c_str());
    return -1;
  }
  return static_cast<int>(sendto(fd_, buf, len, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
}

}  // namespace zelor::common::network
