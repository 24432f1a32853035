#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace zelor::common::network {

// Blocking TCP server for one client.
class TCPServer {
 public:
  TCPServer();
  ~TCPServer();
  TCPServer(const TCPServer&) = delete;
  TCPServer& operator=(const TCPServer&) = delete;

  // Listens on any address at port and blocks until one client connects.
  // 0, or -1/-2/-3/-4 when socket, bind, listen or accept fail. ip is not used.
  int TCPServerStart(uint16_t port, std::string ip);
  // Blocks until the next client connects; 0, or -1.
  int waitConnect(uint32_t timeout);
  // -1 when no client is connected; len 0 sends up to the terminating zero.
  int sendData(const char* data, uint32_t len);
  // One recv with a receive time-out (0: no limit); -1 without a client, -3
  // when the time-out cannot be set.
  int recvData(char* buf, uint32_t size, uint32_t timeoutMs);

  // Thread body an owner may start with the server as argument: accepts a
  // client whenever none is connected, until stopLoop().
  static void* listenSubProcess(void* server);
  void setPauseUs(uint32_t us) { pauseUs_ = us; }
  // Ends listenSubProcess, waking an accept in progress.
  void stopLoop();

  bool isConnected() const { return connected_; }

 private:
  void closeListener();
  // Accepts the next client into the client slot; perror(who) on failure.
  bool takeClient(const char* who);

  std::string name_;
  std::atomic<int> listenFd_{-1};
  std::atomic<bool> connected_{false};
  std::atomic<int> clientFd_{-1};
  std::atomic<uint32_t> pauseUs_{0};
  std::atomic<bool> loopStop_{false};
};

}  // namespace zelor::common::network
