#include "capture_manager.h"

#include <thread>

#include "common/thread/sched_policy.h"
#include "common/thread/zelor_sleep.h"
#include "remote_log.h"

namespace {
constexpr long kPeriodUs = 4000;
}

CaptureManager& CaptureManager::instance() {
  // Never destroyed: its detached thread may outlive static destruction.
  static CaptureManager* manager = new CaptureManager();
  return *manager;
}

void CaptureManager::reInit() {
  std::lock_guard<std::mutex> reInitLock(reInitMutex_);
  running_ = 0;
  while (inLoop_.load()) ZelorSleep::zelor_usleep(kPeriodUs);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    channels_.clear();
  }
  running_ = 1;
  inLoop_ = true;
  std::thread thread(CaptureProcess, this);
  SetSchedPolicy(thread, "inputCapture", 1, 10);
  thread.detach();
}

int CaptureManager::regsiterOneChannel(std::shared_ptr<CaptureOneChannel> channel) {
  if (!channel) {
    REMOTE_LOG(kError, "recv a null ptr , register faild !");
    return -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  channels_.push_back(std::move(channel));
  return 0;
}

void CaptureManager::CaptureProcess(CaptureManager* manager) {
  if (manager == nullptr) {
    REMOTE_LOG(kError, "recv a nullptr ....   exit .");
    return;
  }
  REMOTE_LOG(kInfo, "begin loop ...");
  while (manager->running_.load() != 0) {
    {
      std::lock_guard<std::mutex> lock(manager->mutex_);
      for (const auto& channel : manager->channels_) channel->CaptureStatus();
    }
    ZelorSleep::zelor_usleep(kPeriodUs);
  }
  REMOTE_LOG(kInfo, "exit ...");
  manager->inLoop_ = false;
}
