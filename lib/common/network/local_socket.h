#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelor::common::network {

// Local stream-socket server (UNIX domain, abstract name: nothing on disk).
// Each request travels as one frame [length, big-endian u16][bytes]; the
// handler gets the bytes and answers on the client descriptor itself.
// Clients are served one request at a time, in one thread.
class LocalSocket {
 public:
  using Handler = void (*)(void* context, int clientFd, const std::uint8_t* request, std::size_t length);
  static constexpr int kMaxClients = 16;

  explicit LocalSocket(std::string name);
  ~LocalSocket();
  LocalSocket(const LocalSocket&) = delete;
  LocalSocket& operator=(const LocalSocket&) = delete;

  // Binds and listens; 0, or -1 (errno set).
  int startServer();
  // Serves clients until stop(); returns at once without startServer().
  void runListener(void* context, Handler handler);
  // Ends runListener from another thread.
  void stop();

  // Client side: connects to the server of that name; descriptor or -1.
  static int connectTo(const std::string& name);
  // Sends one request frame; false when it cannot be sent whole.
  static bool sendFrame(int fd, const void* data, std::size_t length);
  // Writes all bytes (no SIGPIPE); false on failure.
  static bool sendAll(int fd, const void* data, std::size_t length);

 private:
  std::string name_;
  std::atomic<int> listenFd_{-1};
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
};

}  // namespace zelor::common::network
