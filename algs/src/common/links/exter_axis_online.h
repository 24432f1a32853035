#pragma once

// Whether the slide-rail driver is online, decided away from the control
// cycle: a thread of normal priority looks for the driver's marker file every
// 100 ms, and the cycle only reads the flag it keeps.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ExterAxisRTU {

class DriverOnlineWatch {
 public:
  static constexpr std::chrono::milliseconds kPeriod{100};

  // Looks once at once, then starts the watching thread.
  explicit DriverOnlineWatch(const char* marker);
  // Stops the thread (in the process that started it).
  ~DriverOnlineWatch();
  DriverOnlineWatch(const DriverOnlineWatch&) = delete;
  DriverOnlineWatch& operator=(const DriverOnlineWatch&) = delete;

  // The last look's answer; no system call.
  bool online() const { return online_.load(std::memory_order_acquire); }

 private:
  void look();
  void run();

  const char* marker_;
  std::atomic<bool> online_{false};
  std::mutex stopMutex_;
  std::condition_variable stopCv_;
  bool stopping_ = false;
  std::thread thread_;
  pid_t owner_;
};

}  // namespace ExterAxisRTU
