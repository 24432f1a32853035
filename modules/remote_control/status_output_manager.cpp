#include "status_output_manager.h"

#include <thread>

#include "common/thread/sched_policy.h"
#include "common/thread/zelor_sleep.h"
#include "remote_log.h"

namespace {
constexpr long kPeriodUs = 4000;
}

statusOutPutManager& statusOutPutManager::instance() {
  // Never destroyed: its detached thread may outlive static destruction.
  static statusOutPutManager* manager = new statusOutPutManager();
  return *manager;
}

void statusOutPutManager::reInit() {
  std::lock_guard<std::mutex> reInitLock(reInitMutex_);
  running_ = 0;
  while (inLoop_.load()) ZelorSleep::zelor_usleep(kPeriodUs);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outputs_.clear();
  }
  running_ = 1;
  inLoop_ = true;
  std::thread thread(MonitorLoopProcess, this);
  SetSchedPolicy(thread, "statusOutput", 1, 10);
  thread.detach();
}

int statusOutPutManager::registOutput(std::shared_ptr<statusOutput> output) {
  if (!output) {
    REMOTE_LOG(kError, "recv a null ptr , register faild !");
    return -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  outputs_.push_back(std::move(output));
  return 0;
}

void statusOutPutManager::MonitorLoopProcess(statusOutPutManager* manager) {
  if (manager == nullptr) {
    REMOTE_LOG(kError, "recv a nullptr ....   exit .");
    return;
  }
  REMOTE_LOG(kInfo, "begin loop ...");
  while (manager->running_.load() != 0) {
    {
      std::lock_guard<std::mutex> lock(manager->mutex_);
      for (const auto& output : manager->outputs_) output->OutputVal();
    }
    ZelorSleep::zelor_usleep(kPeriodUs);
  }
  REMOTE_LOG(kInfo, "exit ...");
  manager->inLoop_ = false;
}
