#pragma once

// The slide-rail driver object: waits for the motion library's queue, status
// memory and semaphore, configures the drive from the project files, carries
// out the slide commands and publishes the axis status.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "common/links/exter_axis_msg.h"
#include "tramlet/drive_params.h"
#include "tramlet/slide_drive.h"

class tramlet {
 public:
  static constexpr std::size_t kPathSize = 512;

  // Opens the link on devicePath and waits (without limit) for the three IPC
  // objects under key.
  tramlet(const char* devicePath, key_t key);
  ~tramlet();
  tramlet(const tramlet&) = delete;
  tramlet& operator=(const tramlet&) = delete;

  // Start-up, then the device watch. Returns when start-up failed; ends the
  // process (status 0) when the device has disappeared.
  void start();
  int status() const { return running_.load(); }

  // Loads the four parameter files and writes the drive's registers: 0, or -1
  // (nothing written).
  int paramInit();

  static int sem_p(int semId);
  static int sem_v(int semId);

 private:
  void switchOn();
  void writeParams();
  void watchDevice();
  [[noreturn]] void endAfterDeviceLoss();
  void publish();
  // Deletes the marker file, printing the system error when that fails.
  static void removeMarker();
  // Takes every message off the queue without waiting.
  void drainQueue();

  std::atomic<int> running_{0};
  char devicePath_[kPathSize] = {};
  ExterAxisRTU::ExterAxisStatus statusRecord_{};
  int msqId_ = -1;
  int shmId_ = -1;
  int semId_ = -1;
  void* statusMemory_ = nullptr;
  ExterAxisRTU::ExterAxisCmdMsg msg_{};
  std::unique_ptr<tramlet_detail::SlideDrive> drive_;
  std::timed_mutex linkLock_;

  tramlet_detail::DriveParams params_{};
  std::uint8_t jogStopped_ = 1;
  float globalRate_ = 1.0f;
  float ptpSpeedRatio_ = 1.0f;
  float ptpAccRatio_ = 1.0f;
  std::uint16_t controlWord_ = 0;
  std::int32_t cmdTypeLast_ = 0;
  std::int32_t cmdStatus_ = 0;
  std::int32_t limitState_ = 0;
  std::int32_t jogVelocity_ = 0;
};
