#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace zelor::common::network {

// TCP client with a send time-out and a reconnect loop an owner may run.
class TCPClient {
 public:
  TCPClient() = default;
  ~TCPClient();
  TCPClient(const TCPClient&) = delete;
  TCPClient& operator=(const TCPClient&) = delete;

  // Stores the address, makes the socket with the send time-out (0: no limit)
  // and connects: 0, or a negative result.
  int TCPClientStart(uint16_t port, std::string ip, uint32_t timeoutMs);
  // 0 at once when connected; otherwise one connect to the stored address.
  int connectServer();
  // -1 when not connected; len 0 sends up to the terminating zero.
  int sendData(const char* data, uint32_t len);
  // One recv; the time-out goes to the socket as it is (0 waits without limit).
  // -10 when it cannot be set.
  int recvData(char* buf, uint32_t size, uint32_t timeoutMs);

  // Thread body an owner may start with the client as argument: keeps calling
  // connectServer, pausing the pause value + 1 ms after every attempt, until
  // stopLoop().
  static void* ReConnectSubProcess(void* client);
  void setPauseUs(uint32_t us) { pauseUs_ = us; }
  void stopLoop() { loopStop_ = true; }

  bool isConnected() const { return connected_; }

 private:
  int makeSocket(const char* who);
  int connectOnce(const char* who);
  void closeSocket();

  std::string name_;
  std::atomic<uint32_t> pauseUs_{0};
  std::string ip_;
  uint16_t port_ = 0;
  uint32_t timeoutMs_ = 0;
  std::atomic<int> fd_{-1};  // -1: no socket (0 is a real descriptor)
  std::atomic<bool> connected_{false};
  std::atomic<bool> loopStop_{false};
};

}  // namespace zelor::common::network
