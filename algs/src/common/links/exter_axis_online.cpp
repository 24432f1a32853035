#include "common/links/exter_axis_online.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>

namespace ExterAxisRTU {

DriverOnlineWatch::DriverOnlineWatch(const char* marker) : marker_(marker), owner_(getpid()) {
  look();
  try {
    thread_ = std::thread(&DriverOnlineWatch::run, this);
  } catch (const std::system_error& e) {
    std::printf("[ExterAxisRTU] online watch not started (%s): the driver stays %s\n", e.what(),
                online() ? "online" : "offline");
  }
}

DriverOnlineWatch::~DriverOnlineWatch() {
  if (!thread_.joinable()) return;
  // A forked child holds the object but not the thread.
  if (getpid() != owner_) {
    thread_.detach();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stopping_ = true;
  }
  stopCv_.notify_all();
  thread_.join();
}

void DriverOnlineWatch::look() { online_.store(access(marker_, F_OK) == 0, std::memory_order_release); }

void DriverOnlineWatch::run() {
  // Started from the host's set-up, which may run under a real-time policy:
  // this thread must never compete with the cycle.
  sched_param normal{};
  pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
  std::unique_lock<std::mutex> lock(stopMutex_);
  while (!stopCv_.wait_for(lock, kPeriod, [this] { return stopping_; })) look();
}

}  // namespace ExterAxisRTU
