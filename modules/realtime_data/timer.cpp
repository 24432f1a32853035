#include "realtime_data/timer.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <thread>

namespace zelor::modules::realTimeData {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t monotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

void sleepUntil(std::int64_t deadlineNs) {
  const timespec deadline{static_cast<time_t>(deadlineNs / kNsPerSecond), static_cast<long>(deadlineNs % kNsPerSecond)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace

std::int64_t Timer::nextDeadline(std::int64_t previousNs, std::int64_t periodNs, std::int64_t nowNs) {
  const std::int64_t next = previousNs + periodNs;
  if (next >= nowNs) return next;
  // Overrun: the deadlines already past are skipped, not caught up.
  const std::int64_t missed = (nowNs - next) / periodNs + 1;
  return next + missed * periodNs;
}

void Timer::start(int intervalMs, std::function<void()> task) {
  if (!stopped_.load()) return;
  stopped_ = false;
  std::thread([this, intervalMs, task = std::move(task)] {
    const std::int64_t periodNs = static_cast<std::int64_t>(intervalMs) * 1'000'000;
    std::int64_t deadline = monotonicNs();
    while (!stopRequested_.load()) {
      if (periodNs > 0) {
        deadline = nextDeadline(deadline, periodNs, monotonicNs());
        sleepUntil(deadline);
      }
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
