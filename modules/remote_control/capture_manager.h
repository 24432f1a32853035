#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "capture_channel.h"

// The process's capture engine: one thread ("inputCapture") steps every
// registered channel every 4 ms.
class CaptureManager {
 public:
  static CaptureManager& instance();

  // Stops the polling thread (waiting until it has left its loop), empties
  // the list and starts a new thread.
  void reInit();
  // 0, or -1 for a null channel.
  int regsiterOneChannel(std::shared_ptr<CaptureOneChannel> channel);

  static void CaptureProcess(CaptureManager* manager);

 private:
  CaptureManager() = default;

  std::mutex reInitMutex_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<CaptureOneChannel>> channels_;
  std::atomic<int> running_{0};
  std::atomic<bool> inLoop_{false};
};
