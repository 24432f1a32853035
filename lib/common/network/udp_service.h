#pragma once

#include <cstdint>
#include <string>

namespace zelor::common::network {

// Datagram endpoint. Bound (receiving) only when started with "127.0.0.1";
// any other address gives a send-only endpoint.
class udpService {
 public:
  udpService();
  ~udpService();
  udpService(const udpService&) = delete;
  udpService& operator=(const udpService&) = delete;

  // 0, -2 when the socket cannot be made, -3 when the bind fails.
  int udpStart(uint16_t port, std::string ip);
  // One recv with this call's time-out (0: no limit); -3 when it cannot be set.
  int recvdata(char* buf, uint32_t size, uint32_t timeoutMs);
  // One datagram of len bytes (0: up to the terminating zero); the time-out is
  // only printed.
  int senddata(const char* buf, std::string ip, uint16_t port, uint32_t len, uint32_t timeout);

 private:
  void closeSocket();

  std::string name_;
  int fd_ = -1;
};

}  // namespace zelor::common::network
