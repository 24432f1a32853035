#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace zelor::modules::realTimeData {

// Runs a task on its own thread: sleep the interval, run the task, again,
// until stopped. The effective period is the interval plus the task's time.
class Timer {
 public:
  Timer() = default;
  // Stops a running thread (it uses this object).
  ~Timer() { stop(); }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // Only when stopped; intervalMs <= 0 runs the task back to back.
  void start(int intervalMs, std::function<void()> task);
  // Waits until the thread has ended: at most one sleep and one task run.
  void stop();

  bool stopped() const { return stopped_.load(); }
  // A long-running task polls this to give way to a stop.
  bool stopRequested() const { return stopRequested_.load(); }

 private:
  std::atomic<bool> stopped_{true};
  std::atomic<bool> stopRequested_{false};
  std::mutex mutex_;
  std::condition_variable cv_;
};

}  // namespace zelor::modules::realTimeData
