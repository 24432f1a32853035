#pragma once

// A mutex with priority inheritance and the interface of std::mutex (usable
// with std::lock_guard, std::unique_lock and std::condition_variable_any): a
// thread of normal priority that holds it runs at the priority of the
// highest-priority thread waiting for it, so a real-time thread never waits
// behind a holder that other normal-priority threads keep from running.

#include <pthread.h>

#include <chrono>
#include <mutex>

namespace zelor::common::ipc {

class PiMutex {
 public:
  using native_handle_type = pthread_mutex_t*;

  PiMutex();
  ~PiMutex();
  PiMutex(const PiMutex&) = delete;
  PiMutex& operator=(const PiMutex&) = delete;

  void lock();
  bool try_lock();
  void unlock();

  native_handle_type native_handle() { return &mutex_; }
  // False where the system refused the inheriting protocol and the mutex is
  // a plain one.
  bool inherits() const { return inherits_; }

 private:
  pthread_mutex_t mutex_;
  bool inherits_ = false;
};

// A condition variable for a PiMutex: waits on the monotonic clock and takes
// no lock of its own besides the caller's mutex.
class PiCondition {
 public:
  PiCondition();
  ~PiCondition();
  PiCondition(const PiCondition&) = delete;
  PiCondition& operator=(const PiCondition&) = delete;

  void notify_one();
  void notify_all();
  // Waits (lock held on entry and on return) until notified, woken
  // spuriously or the deadline passes; false once the deadline has passed.
  bool wait_until(std::unique_lock<PiMutex>& lock, std::chrono::steady_clock::time_point deadline);

 private:
  pthread_cond_t cond_;
};

}  // namespace zelor::common::ipc
