#include "exchange/fair_mutex.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

void pinTo(std::thread::native_handle_type thread, int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  pthread_setaffinity_np(thread, sizeof set, &set);
}

// The holder gives the mutex up and asks again at once, as a port running a
// multi-packet command does; the thread already waiting must go first. The
// two run on different processors, where a plain mutex lets the holder win
// again before the waiter has woken.
TEST(FairMutex, AWaitingThreadGoesBeforeTheHolderAsksAgain) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs two processors";
  cpu_set_t saved;
  pthread_getaffinity_np(pthread_self(), sizeof saved, &saved);
  pinTo(pthread_self(), 0);
  interface::FairMutex mutex;
  std::string order;
  std::atomic<bool> asking{false};
  mutex.lock();
  std::thread waiter([&] {
    asking = true;
    std::lock_guard lock(mutex);
    order.push_back('W');
  });
  pinTo(waiter.native_handle(), 1);
  while (!asking) std::this_thread::yield();
  std::this_thread::sleep_for(50ms);  // the waiter is in line by now
  order.push_back('H');
  mutex.unlock();
  mutex.lock();
  order.push_back('H');
  mutex.unlock();
  waiter.join();
  pthread_setaffinity_np(pthread_self(), sizeof saved, &saved);
  EXPECT_EQ("HWH", order);
}

TEST(FairMutex, KeepsThreadsOutOfEachOther) {
  interface::FairMutex mutex;
  long counter = 0;  // unguarded but for the mutex
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        std::lock_guard lock(mutex);
        ++counter;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(80000, counter);
}

}  // namespace
