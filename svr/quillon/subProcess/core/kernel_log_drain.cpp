#include "subProcess/core/kernel_log_drain.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cstring>

#include "log/line_log.h"
#include "subProcess/core/kernel_log_ring.h"

namespace {

// Constant-initialised: the callback can run before any constructor.
KernelLogRing gKernelLogRing;

std::mutex gForwardMutex;
void* gForwardContext = nullptr;
KernelLineForward gForward = nullptr;

// The kernel ends its lines in "\r\n"; the log adds its own line end.
void trimLineEnd(char* line) {
  std::size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
}

}  // namespace

KernelLogRing& kernelLogRing() { return gKernelLogRing; }

void setKernelLineForward(void* context, KernelLineForward forward) {
  std::lock_guard<std::mutex> lock(gForwardMutex);
  gForwardContext = context;
  gForward = forward;
}

void KernelLogDrain::start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread(&KernelLogDrain::run, this);
}

void KernelLogDrain::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) return;
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void KernelLogDrain::drainOnce() {
  char line[KernelLogRing::kLineBytes];
  std::lock_guard<std::mutex> lock(gForwardMutex);
  while (ring_.pop(line)) {
    if (gForward != nullptr) gForward(gForwardContext, line);
    trimLineEnd(line);
    if (line[0] != '\0') ZLOG_DEBUG("%s", line);
  }
  const std::uint64_t dropped = ring_.dropped();
  if (dropped != reportedDropped_) {
    ZLOG_WARN("kernel log: %llu lines lost (%llu in all)", static_cast<unsigned long long>(dropped - reportedDropped_),
              static_cast<unsigned long long>(dropped));
    reportedDropped_ = dropped;
  }
}

void KernelLogDrain::run() {
  // Started from the host's set-up, which may run under a real-time policy:
  // writing the log must never compete with the cycle.
  sched_param normal{};
  pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
  pthread_setname_np(pthread_self(), "kernel-log");
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const bool stopping = wake_.wait_for(lock, std::chrono::milliseconds(kPeriodMs), [this] { return stopping_; });
    lock.unlock();
    drainOnce();
    lock.lock();
    if (stopping) return;
  }
}
