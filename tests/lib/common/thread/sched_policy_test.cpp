// Naming a thread and setting its policy; refused settings are ignored.
#include <pthread.h>
#include <sched.h>

#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/thread/sched_policy.h"

namespace {

std::string nameOf(std::thread& t) {
  char name[32] = {};
  pthread_getname_np(t.native_handle(), name, sizeof name);
  return name;
}

int policyOf(std::thread& t, int& priority) {
  int policy = -1;
  sched_param param{};
  pthread_getschedparam(t.native_handle(), &policy, &param);
  priority = param.sched_priority;
  return policy;
}

TEST(SchedPolicy, NamesTheThreadAndSetsItsPolicyIgnoringRefusals) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::thread worker([released] { released.wait(); });

  SetSchedPolicy(worker, "statusOutput", SCHED_OTHER, 0);
  EXPECT_EQ(nameOf(worker), "statusOutput");
  int priority = -1;
  EXPECT_EQ(policyOf(worker, priority), SCHED_OTHER);

  // No name keeps the one it has; an over-long name and an unknown policy are
  // refused by the system and change nothing.
  SetSchedPolicy(worker, nullptr, SCHED_OTHER, 0);
  EXPECT_EQ(nameOf(worker), "statusOutput");
  SetSchedPolicy(worker, "a-name-longer-than-fifteen", 12345, 10);
  EXPECT_EQ(nameOf(worker), "statusOutput");
  EXPECT_EQ(policyOf(worker, priority), SCHED_OTHER);

  release.set_value();
  worker.join();
}

}  // namespace
