#include "common/ipc/pi_mutex.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zelor::common::ipc {

namespace {

[[noreturn]] void fail(const char* what, int rc) {
  std::fprintf(stderr, "PiMutex %s: %s\n", what, std::strerror(rc));
  std::abort();
}

}  // namespace

PiMutex::PiMutex() {
  pthread_mutexattr_t attr;
  if (const int rc = pthread_mutexattr_init(&attr); rc != 0) fail("attributes", rc);
  inherits_ = pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT) == 0;
  int rc = pthread_mutex_init(&mutex_, &attr);
  if (rc != 0 && inherits_) {
    // A system without the inheriting protocol still gets a working mutex.
    pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_NONE);
    inherits_ = false;
    rc = pthread_mutex_init(&mutex_, &attr);
  }
  pthread_mutexattr_destroy(&attr);
  if (rc != 0) fail("init", rc);
}

PiMutex::~PiMutex() { pthread_mutex_destroy(&mutex_); }

void PiMutex::lock() {
  // Locking a mutex this thread holds is a fault of the caller, as with
  // std::mutex; any other failure leaves no lock to continue under.
  if (const int rc = pthread_mutex_lock(&mutex_); rc != 0) fail("lock", rc);
}

bool PiMutex::try_lock() {
  const int rc = pthread_mutex_trylock(&mutex_);
  if (rc == 0) return true;
  if (rc == EBUSY) return false;
  fail("try_lock", rc);
}

void PiMutex::unlock() { pthread_mutex_unlock(&mutex_); }

PiCondition::PiCondition() {
  pthread_condattr_t attr;
  if (const int rc = pthread_condattr_init(&attr); rc != 0) fail("condition attributes", rc);
  // std::chrono::steady_clock is CLOCK_MONOTONIC on Linux.
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  const int rc = pthread_cond_init(&cond_, &attr);
  pthread_condattr_destroy(&attr);
  if (rc != 0) fail("condition init", rc);
}

PiCondition::~PiCondition() { pthread_cond_destroy(&cond_); }

void PiCondition::notify_one() { pthread_cond_signal(&cond_); }

void PiCondition::notify_all() { pthread_cond_broadcast(&cond_); }

bool PiCondition::wait_until(std::unique_lock<PiMutex>& lock, std::chrono::steady_clock::time_point deadline) {
  const auto since = deadline.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  timespec at{};
  at.tv_sec = static_cast<time_t>(seconds.count());
  at.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
  const int rc = pthread_cond_timedwait(&cond_, lock.mutex()->native_handle(), &at);
  return rc != ETIMEDOUT;
}

}  // namespace zelor::common::ipc
