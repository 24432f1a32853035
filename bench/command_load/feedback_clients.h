#pragma once

// Feedback-port clients of the load run: each reads its stream, checks the
// framing of every packet and keeps the arrival times.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelor::bench {

using Clock = std::chrono::steady_clock;

// A connected socket, or -1. With a time-out the connect gives up after it.
int connectLoopback(int port, int timeoutMs = -1);

class FeedbackClient {
 public:
  // Packets of `length` bytes starting with its low and high byte.
  FeedbackClient(int port, std::size_t length);
  ~FeedbackClient();
  FeedbackClient(const FeedbackClient&) = delete;
  FeedbackClient& operator=(const FeedbackClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  int port() const { return port_; }
  // Arrival times (the kernel's receive time stamps) since the last call.
  std::vector<Clock::time_point> takeArrivals();
  std::uint64_t packets() const { return packets_.load(); }
  std::uint64_t framingErrors() const { return framingErrors_.load(); }
  bool dropped() const { return dropped_.load(); }
  // Stops reading (its socket buffers fill up) for the stall check.
  void pause(bool paused) { paused_ = paused; }

 private:
  void run();
  ssize_t receive(std::vector<unsigned char>& buf, Clock::time_point& arrival);

  int port_;
  std::size_t length_;
  int fd_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> dropped_{false};
  std::atomic<std::uint64_t> packets_{0};
  std::atomic<std::uint64_t> framingErrors_{0};
  std::mutex mutex_;
  std::vector<Clock::time_point> arrivals_;
  std::thread thread_;
};

}  // namespace zelor::bench
