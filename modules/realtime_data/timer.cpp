#include "realtime_data/timer.h"

#include <chrono>
#include <thread>

namespace zelor::modules::realTimeData {

void Timer::start(int intervalMs, std::function<void()> task) {
  if (!stopped_.load()) return;
  stopped_ = false;
  std::thread([this, intervalMs, task = std::move(task)] {
    while (!stopRequested_.load()) {
      if (intervalMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
      if (stopRequested_.load()) break;
      task();
    }
    // The stopper leaves only after taking the mutex, which this thread
    // releases last: nothing of this object is touched afterwards.
    std::lock_guard lock(mutex_);
    stopped_ = true;
    cv_.notify_one();
  }).detach();
}

void Timer::stop() {
  if (stopped_.load() || stopRequested_.load()) return;
  stopRequested_ = true;
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return stopped_.load(); });
  stopRequested_ = false;
}

}  // namespace zelor::modules::realTimeData
