#pragma once

#include <atomic>
#include <cstdint>

namespace interface {

// A mutex that is taken in the order it was asked for. The two command ports
// share one exchange; with a plain mutex the port that has just released it
// usually takes it again before the waiting port wakes, so one port's
// multi-packet command could run several exchanges while the other waits.
// Constant-initialised, as the exchange that holds it.
class FairMutex {
 public:
  constexpr FairMutex() = default;
  FairMutex(const FairMutex&) = delete;
  FairMutex& operator=(const FairMutex&) = delete;

  void lock() {
    const std::uint32_t ticket = next_.fetch_add(1, std::memory_order_relaxed);
    for (std::uint32_t serving = serving_.load(std::memory_order_acquire); serving != ticket;
         serving = serving_.load(std::memory_order_acquire)) {
      serving_.wait(serving, std::memory_order_acquire);
    }
  }

  void unlock() {
    serving_.fetch_add(1, std::memory_order_release);
    serving_.notify_all();
  }

 private:
  std::atomic<std::uint32_t> next_{0};
  std::atomic<std::uint32_t> serving_{0};
};

}  // namespace interface
