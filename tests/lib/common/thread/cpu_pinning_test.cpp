// Pinning a thread to one CPU, and a refused pin that leaves it running.
#include <pthread.h>
#include <sched.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/thread/cpu_pinning.h"
#include "stdout_capture.h"

namespace {

cpu_set_t affinity() {
  cpu_set_t set;
  CPU_ZERO(&set);
  pthread_getaffinity_np(pthread_self(), sizeof set, &set);
  return set;
}

unsigned lowestAllowedCpu() {
  const cpu_set_t set = affinity();
  for (unsigned c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &set)) return c;
  return 0;
}

}  // namespace

TEST(CpuPinning, PinsTheCallingThreadOnly) {
  const unsigned cpu = lowestAllowedCpu();  // 0 wherever CPU 0 is ours
  const cpu_set_t start = affinity();
  const int before = CPU_COUNT(&start);
  std::thread([cpu] {
    zelor::test::StdoutCapture out;
    set_thread_to_cpu(cpu);
    const std::string printed = out.finish();
    const cpu_set_t set = affinity();
    EXPECT_EQ(CPU_COUNT(&set), 1);
    EXPECT_TRUE(CPU_ISSET(cpu, &set));
    EXPECT_EQ(printed, "") << "a pin that works prints nothing";
  }).join();
  const cpu_set_t mine = affinity();
  EXPECT_EQ(CPU_COUNT(&mine), before) << "the caller's other threads are not moved";
}

TEST(CpuPinning, CpuBeyondTheSetIsRefusedAndThreadKeepsItsCpus) {
  std::thread([] {
    const cpu_set_t before = affinity();
    zelor::test::StdoutCapture out;
    set_thread_to_cpu(1024);
    const std::string text = out.finish();
    EXPECT_NE(text.find("[ERROR|set_thread_to_cpu@"), std::string::npos) << text;
    EXPECT_NE(text.find("] set thread affinity failed\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("get thread affinity failed"), std::string::npos) << text;
    const cpu_set_t after = affinity();
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
  }).join();
}
