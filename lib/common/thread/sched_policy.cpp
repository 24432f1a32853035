#include "common/thread/sched_policy.h"

#include <pthread.h>
#include <sched.h>

void SetSchedPolicy(std::thread& thread, const char* name, int policy, int priority) {
  const pthread_t handle = thread.native_handle();
  if (name != nullptr) pthread_setname_np(handle, name);
  sched_param param{};
  param.sched_priority = priority;
  pthread_setschedparam(handle, policy, &param);
}
