// The panel inside the data sub-process behind a plain factory, with the real
// core and kernel on a simulated axes group: stopping the data sub-process
// ends the panel's threads before its Modbus slave goes.
#include <dirent.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "axes_drive/sim_axes_group.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "subProcess/factory_access.h"
#include "subProcess/sub_process_factory.h"
#include "support/plc_host_run.h"

namespace {

using namespace std::chrono_literals;

// Names of the process's threads.
std::vector<std::string> threadNames() {
  std::vector<std::string> names;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    names.push_back(name);
  }
  closedir(dir);
  return names;
}

std::string joined(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& n : names) all += n + " ";
  return all;
}

std::uint16_t& holding(int n) {
  return *reinterpret_cast<std::uint16_t*>(robotMap::instance().entry() + robot_map::holdingRegister(n));
}

}  // namespace

TEST(HmiServerLifetime, StoppingTheDataSubProcessEndsThePanelThreads) {
  robotMap::instance();
  alignas(8) static AxesGroupRef record;
  static zelor::sim::SimAxesGroup drive(record);
  auto* factory = new SubProcessFactory();
  setSubProcessFactory(factory);
  SubProcessParam core;
  core.packet_size = 20;
  core.rtsParam = &record;
  factory->start(ISubProcess::CORE, &core);
  std::atomic<bool> cycling{true};
  std::thread cycle([&] {
    auto next = std::chrono::steady_clock::now();
    while (cycling.load()) {
      drive.Step();
      factory->interCall(ISubProcess::CORE, 0, &record, nullptr, nullptr);
      next += 4ms;
      std::this_thread::sleep_until(next);
    }
  });
  SubProcessParam data;
  data.data_port = 12345;
  data.version = "test";
  factory->start(ISubProcess::DATA, &data);

  std::atomic_ref<std::uint16_t>(holding(1300)).store(1);
  EXPECT_TRUE(zelor::test::pollUntil([] { return std::atomic_ref<std::uint16_t>(holding(1301)).load() == 1; }, 10s))
      << "not in jog mode";
  const std::vector<std::string> running = threadNames();
  EXPECT_NE(joined(running).find("HmiProc "), std::string::npos) << joined(running);
  EXPECT_NE(joined(running).find("HmiProcIO "), std::string::npos) << joined(running);

  factory->stop(ISubProcess::DATA);
  // Stop returns once both loops have ended; the threads are gone soon after.
  EXPECT_TRUE(zelor::test::pollUntil([] { return joined(threadNames()).find("Hmi") == std::string::npos; }, 1s))
      << joined(threadNames());
  // Nobody answers the panel any more.
  std::atomic_ref<std::uint16_t>(holding(1300)).store(0);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(std::atomic_ref<std::uint16_t>(holding(1301)).load(), 1);

  cycling = false;
  cycle.join();
  // The factory stays, as the data server's does: the Modbus slave's server
  // thread does not end with its object.
}
