#include "common/thread/cpu_pinning.h"

#include <pthread.h>
#include <sched.h>

#include "log/line_log.h"

extern "C" void set_thread_to_cpu(unsigned cpu) {
  // cpu_set_t holds 1024 CPUs; a larger number leaves the set empty, which
  // the system refuses.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (cpu < CPU_SETSIZE) CPU_SET(cpu, &set);
  const pthread_t self = pthread_self();
  if (pthread_setaffinity_np(self, sizeof set, &set) != 0) ZLOG_ERROR("set thread affinity failed");

  cpu_set_t readBack;
  CPU_ZERO(&readBack);
  if (pthread_getaffinity_np(self, sizeof readBack, &readBack) != 0) ZLOG_ERROR("get thread affinity failed");
}
