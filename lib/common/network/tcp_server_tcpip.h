#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace zelor::common::network {

// TCP server with keep-alive whose accept thread holds exactly one client:
// a connection that arrives while the slot is held is closed at once.
class TCPServer_TCPIP {
 public:
  TCPServer_TCPIP();
  // stop(): no accept thread or descriptor outlives the object.
  ~TCPServer_TCPIP();
  TCPServer_TCPIP(const TCPServer_TCPIP&) = delete;
  TCPServer_TCPIP& operator=(const TCPServer_TCPIP&) = delete;

  // Listens on any address at port (ip is not used) and starts the accept
  // thread: 0, or -1/-2/-3 when socket, bind or listen fail.
  int TCPServerStart(uint16_t port, std::string ip);
  // -1 before any client was accepted; len 0 sends up to the terminating zero.
  int sendData(const char* data, uint32_t len);
  // One recv with a receive time-out (0: no limit); -1 without a client, -3
  // when the time-out cannot be set. 0 or less: the owner calls closeRwfd.
  int recvData(char* buf, uint32_t size, uint32_t timeoutMs);
  // Frees the client slot for the next client; close's result.
  int closeRwfd();
  // Ends and joins the accept thread, closes the listening and client sockets.
  void stop();

  // Set by the first client and never cleared: not a test for a client now.
  bool isAccepted() const { return accepted_; }
  // A client holds the slot now.
  bool hasClient() const { return clientFd_ >= 0; }

 private:
  void listenSubProcess();

  std::atomic<int> listenFd_{-1};
  std::atomic<int> clientFd_{-1};
  std::atomic<bool> accepted_{false};
  std::atomic<bool> stopping_{false};
  uint16_t port_ = 0;
  std::thread acceptThread_;
};

}  // namespace zelor::common::network
