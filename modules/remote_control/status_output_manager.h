#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "status_output.h"

// The process's status-output engine: one thread ("statusOutput") steps
// every registered output every 4 ms.
class statusOutPutManager {
 public:
  static statusOutPutManager& instance();

  // Stops the polling thread (waiting until it has left its loop), empties
  // the list and starts a new thread.
  void reInit();
  // 0, or -1 for a null output.
  int registOutput(std::shared_ptr<statusOutput> output);

  static void MonitorLoopProcess(statusOutPutManager* manager);

 private:
  statusOutPutManager() = default;

  std::mutex reInitMutex_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<statusOutput>> outputs_;
  std::atomic<int> running_{0};
  std::atomic<bool> inLoop_{false};
};
