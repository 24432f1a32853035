#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace zelor::modules::realTimeData {

// Runs a task on its own thread once per interval, until stopped. Wake-ups
// follow fixed monotonic deadlines (each the previous plus the interval), so
// the task's own time does not stretch the period; after an overrun the
// deadlines already past are skipped.
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

  // The deadline after previousNs: previousNs + periodNs, or the first one
  // after nowNs when that has already passed (all in nanoseconds).
  static std::int64_t nextDeadline(std::int64_t previousNs, std::int64_t periodNs, std::int64_t nowNs);

 private:
  std::atomic<bool> stopped_{true};
  std::atomic<bool> stopRequested_{false};
  std::mutex mutex_;
  std::condition_variable cv_;
};

}  // namespace zelor::modules::realTimeData
