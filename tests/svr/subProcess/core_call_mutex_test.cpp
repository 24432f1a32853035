// The kernel-call mutex inherits priority: a cycle thread of real-time
// priority that wants it never waits behind an ordinary holder that other
// ordinary threads keep from running.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "subProcess/core/core_sub_process.h"
#include "subProcess/factory_access.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Every thread of the test on one CPU, so that the busy threads really
// compete with the holder.
bool pinTo(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

int firstAllowedCpu() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (pthread_getaffinity_np(pthread_self(), sizeof set, &set) != 0) return 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &set)) return cpu;
  }
  return 0;
}

// Whether this thread may run under SCHED_FIFO; it is left under its old policy.
bool fifoGranted() {
  int policy = SCHED_OTHER;
  sched_param saved{};
  pthread_getschedparam(pthread_self(), &policy, &saved);
  sched_param rt{};
  rt.sched_priority = 20;
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &rt) != 0) return false;
  pthread_setschedparam(pthread_self(), policy, &saved);
  return true;
}

class CoreCallMutex : public ::testing::Test {
 protected:
  void SetUp() override { setSubProcessFactory(&factory_); }
  void TearDown() override { setSubProcessFactory(nullptr); }
  SubProcessFactory factory_;
};

}  // namespace

TEST_F(CoreCallMutex, AFifoCycleGetsItFromAStarvedOrdinaryHolderWithinFiveMilliseconds) {
  if (!fifoGranted()) GTEST_SKIP() << "SCHED_FIFO is not granted on this machine: priority inheritance not tested";
  // Enough of them that the ordinary scheduler leaves the holder waiting
  // several milliseconds for its turn.
  constexpr int kBusyThreads = 16;
  constexpr int kRounds = 5;
  const int cpu = firstAllowedCpu();
  CoreSubProcess core(20, nullptr);
  zelor::common::ipc::PiMutex& mutex = core.callMutex();
  ASSERT_TRUE(mutex.inherits()) << "the system refused the inheriting protocol";

  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::atomic<bool> held{false};
    std::atomic<bool> wanted{false};
    std::atomic<bool> done{false};
    std::atomic<int> busyRunning{0};

    // The holder: ordinary priority, keeps working while it holds the mutex
    // and lets go only once the cycle has asked for it.
    std::thread holder([&] {
      pinTo(cpu);
      std::lock_guard<zelor::common::ipc::PiMutex> lock(mutex);
      held = true;
      while (!wanted.load()) {
      }
    });
    while (!held.load()) std::this_thread::yield();

    // Busy threads at the holder's priority, on its CPU.
    std::vector<std::thread> busy;
    for (int i = 0; i < kBusyThreads; ++i) {
      busy.emplace_back([&] {
        pinTo(cpu);
        ++busyRunning;
        while (!done.load()) {
        }
      });
    }
    while (busyRunning.load() < kBusyThreads) std::this_thread::yield();

    // The cycle: SCHED_FIFO on the same CPU, takes the mutex as vantrel_run's caller does.
    Clock::duration waited{};
    bool fifo = false;
    std::thread cycle([&] {
      pinTo(cpu);
      sched_param rt{};
      rt.sched_priority = 20;
      fifo = pthread_setschedparam(pthread_self(), SCHED_FIFO, &rt) == 0;
      // Let the busy threads and the holder share the CPU for a while first.
      std::this_thread::sleep_for(20ms);
      const Clock::time_point start = Clock::now();
      wanted = true;
      mutex.lock();
      waited = Clock::now() - start;
      mutex.unlock();
    });
    cycle.join();
    done = true;
    holder.join();
    for (std::thread& t : busy) t.join();

    ASSERT_TRUE(fifo) << "the cycle thread did not get SCHED_FIFO";
    EXPECT_LT(waited, 5ms) << "the cycle waited "
                           << std::chrono::duration_cast<std::chrono::microseconds>(waited).count() << " us";
  }
}
