// The priority-inheriting mutex and its condition behave as std::mutex and
// a monotonic-clock condition variable do.
#include "common/ipc/pi_mutex.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using zelor::common::ipc::PiCondition;
using zelor::common::ipc::PiMutex;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(PiMutex, ExcludesOtherThreadsAndIsFreeAgainAfterUnlock) {
  PiMutex mutex;
  EXPECT_TRUE(mutex.inherits());
  {
    std::lock_guard<PiMutex> lock(mutex);
    bool other = true;
    std::thread([&] { other = mutex.try_lock(); }).join();
    EXPECT_FALSE(other) << "another thread took a held mutex";
  }
  bool other = false;
  std::thread([&] {
    other = mutex.try_lock();
    if (other) mutex.unlock();
  }).join();
  EXPECT_TRUE(other);

  // Many threads counting under it lose no increment.
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        std::lock_guard<PiMutex> lock(mutex);
        ++counter;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
}

TEST(PiCondition, WakesOnNotifyAndReportsThePassedDeadline) {
  PiMutex mutex;
  PiCondition cond;
  bool ready = false;

  // Nobody notifies: false once the deadline has passed, with the lock held.
  {
    std::unique_lock<PiMutex> lock(mutex);
    const Clock::time_point deadline = Clock::now() + 30ms;
    bool woken = true;
    while (woken && !ready) woken = cond.wait_until(lock, deadline);
    EXPECT_FALSE(woken);
    EXPECT_GE(Clock::now(), deadline);
    EXPECT_TRUE(lock.owns_lock());
  }

  // A notify under the mutex wakes the waiter long before its deadline.
  std::thread notifier([&] {
    std::this_thread::sleep_for(20ms);
    std::lock_guard<PiMutex> lock(mutex);
    ready = true;
    cond.notify_all();
  });
  {
    std::unique_lock<PiMutex> lock(mutex);
    const Clock::time_point deadline = Clock::now() + 10s;
    while (!ready && cond.wait_until(lock, deadline)) {
    }
    EXPECT_TRUE(ready);
    EXPECT_LT(Clock::now(), deadline);
  }
  notifier.join();
}

}  // namespace
