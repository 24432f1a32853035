#pragma once

// Waiting on a condition with a deadline, for tests that must not sleep a
// fixed time before they look.

#include <chrono>
#include <functional>
#include <thread>

namespace zelor::test {

// Polls cond every 10 ms (or the step given) until it holds or the time is
// up; the last look is taken at the deadline.
inline bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout,
                    std::chrono::milliseconds step = std::chrono::milliseconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(step);
  }
  return cond();
}

// Holds only when cond stays false for the whole time: for checks that
// something does not happen.
inline bool staysFalse(const std::function<bool()>& cond, std::chrono::milliseconds time,
                       std::chrono::milliseconds step = std::chrono::milliseconds(10)) {
  return !waitFor(cond, time, step);
}

}  // namespace zelor::test
