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

  // One message through the emergency or the normal handling, as the command
  // worker carries it out, without the loop's pauses.
  void runEmergency(const ExterAxisRTU::ExterAxisCmdMsg& msg);
  void runNormal(const ExterAxisRTU::ExterAxisCmdMsg& msg);

  static int sem_p(int semId);
  static int sem_v(int semId);

 private:
  void switchOn();
  void writeParams();
  void watchDevice();
  [[noreturn]] void endAfterDeviceLoss();
  // Copies s into the status memory under the semaphore; after the running
  // flag is cleared only the final publication is written.
  void publish(const ExterAxisRTU::ExterAxisStatus& s, bool final = false);
  // Deletes the marker file, printing the system error when that fails.
  static void removeMarker();
  // Takes every message off the queue without waiting.
  void drainQueue();

  // Command worker (tramlet_commands.cpp).
  void taskCmd();
  // Polls for the completion of a tracked move; false: start the loop again.
  bool pollCompletion();
  // Both under linkLock_, on msg_.
  void emergencyHandling();
  void normalHandling();
  void endCommand();
  void enable(std::int32_t value);
  void clearFault();
  void setZero();
  void jog(std::int32_t value);
  void relativeMove(float value);
  void absoluteMove(float value);
  void setRate(float value);
  void writeProfile(std::int32_t speed, std::int32_t acc);

  // Status worker (tramlet_status.cpp).
  void taskStatus();
  void statusPass();

  std::atomic<int> running_{0};
  char devicePath_[kPathSize] = {};
  // Shared fields below change only under linkLock_.
  ExterAxisRTU::ExterAxisStatus statusRecord_{};
  // Last block written to the status memory (under the semaphore).
  ExterAxisRTU::ExterAxisStatus published_{};
  std::thread cmdWorker_;
  std::thread statusWorker_;
  int msqId_ = -1;
  int shmId_ = -1;
  int semId_ = -1;
  void* statusMemory_ = nullptr;
  ExterAxisRTU::ExterAxisCmdMsg msg_{};
  // Index of the last command whose handling has ended.
  std::uint32_t handledIndex_ = 0;
  std::unique_ptr<tramlet_detail::SlideDrive> drive_;
  std::timed_mutex linkLock_;

  tramlet_detail::DriveParams params_{};
  std::uint8_t jogStopped_ = 1;
  float globalRate_ = 1.0f;
  float ptpSpeedRatio_ = 1.0f;
  float ptpAccRatio_ = 1.0f;
  std::int32_t cmdTypeLast_ = 0;
  std::int32_t cmdStatus_ = 0;
  std::int32_t limitState_ = 0;
  std::int32_t jogVelocity_ = 0;
  // Kept by the command worker from one pass to the next.
  int moveWaitFlag_ = 1;
  std::int32_t lastTarget_ = 0;
};
