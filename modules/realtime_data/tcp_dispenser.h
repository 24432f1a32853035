#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace zelor::modules::realTimeData {

// A broadcast server: accepts up to a maximum of clients on one port and
// writes every packet whole to each of them. Nothing a client sends is read.
// Client sockets never block: a client whose send buffer cannot take a whole
// packet at once is dropped, so a slow client never delays the others.
class tcpDispenser {
 public:
  static constexpr int kSlots = 20;
  // Each client's send buffer holds at least this many of the largest packets.
  static constexpr int kBufferedPackets = 8;
  static constexpr int kLargestPacket = 1440;

  tcpDispenser();
  // Stops the accept thread and closes the listening socket and every client.
  ~tcpDispenser();
  tcpDispenser(const tcpDispenser&) = delete;
  tcpDispenser& operator=(const tcpDispenser&) = delete;

  // 0, or -1 (socket), -2 (bind), -3 (listen); the accept thread runs only on
  // 0. Port 0 takes a free port.
  int init(int port, int maximum, bool noDelay);
  // Sends length bytes (0: up to the terminating zero) to every client; the
  // last send's result, or -1 without a client.
  int sendMsg(const char* data, unsigned short length);

  int clientCount();
  // The port listened on (the one the system chose after init with port 0).
  std::uint16_t port() const { return port_; }

 private:
  int _send(const char* data, int length);
  // Queues all of data at once; false when the client must go.
  static bool sendWhole(int fd, const char* data, int length, int& lastResult);
  static void ListenProcss(void* self);
  void acceptWalk();

  std::uint16_t maximum_ = 0;
  std::uint16_t port_ = 0;
  int listenFd_ = -1;
  // Written under the send mutex; read without it by the accept thread and
  // clientCount, so a broadcast never waits for them.
  std::atomic<int> clients_[kSlots];
  std::mutex sendMutex_;
  sockaddr_in addresses_[kSlots]{};
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
};

}  // namespace zelor::modules::realTimeData
