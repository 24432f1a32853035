#pragma once

// The motion kernel's link to the slide-rail driver: commands go out on a
// System V message queue, the axis status comes back through a shared memory
// guarded by one semaphore. Every operation exists as a member of the
// singleton and as a free function of the same name that the command handlers
// call. Setters return the send result (0 sent, -1 not sent or driver
// offline) and hand back the command index; getters return 0, or -1 with the
// offline values while the driver is offline.
//
// Nothing here waits inside the control cycle: whether the driver is online is
// a flag kept by a watching thread, and the status semaphore is only tried,
// at most once per cycle: the first getter of a cycle copies the status (or,
// while the driver holds the semaphore, keeps the last copy) and every getter
// of that cycle answers from the copy. While the driver keeps holding the
// semaphore the try is repeated after 1, 2, 4 and then every
// kMaxBusyGapCycles cycles, so that a stalled driver costs the cycle a system
// call only now and then.

#include <cstdint>

#include "common/links/exter_axis_msg.h"
#include "common/links/exter_axis_online.h"

namespace ExterAxisRTU {

class exterAxisRTU {
 public:
  // Longest gap between two tries of a semaphore the driver holds: 32 ms,
  // about the driver's own status period.
  static constexpr std::uint32_t kMaxBusyGapCycles = 8;

  // Built by Init() at the kernel's set-up (or else on first use); never
  // removes the IPC objects (the driver waits for them).
  static exterAxisRTU& instance();
  ~exterAxisRTU();
  exterAxisRTU(const exterAxisRTU&) = delete;
  exterAxisRTU& operator=(const exterAxisRTU&) = delete;

  int setEnable(bool on, std::uint32_t* index);
  int setJog(int value, std::uint32_t* index);
  int setInch(float step, std::uint32_t* index);
  int setPause(int value, std::uint32_t* index);
  int setContinue(int value, std::uint32_t* index);
  int setStop(int value, std::uint32_t* index);
  int setEStop(int value, std::uint32_t* index);
  int setPosition(float position, std::uint32_t* index);
  int setZeroPos(std::uint32_t* index);
  int setReload(std::uint32_t* index);
  int setRate(float rate, std::uint32_t* index);
  int setSpeed(float speed, std::uint32_t* index);
  int setAccel(float accel, std::uint32_t* index);
  int clearAlarm(std::uint32_t* index);

  int getPosition(float* position);
  int getStopState(bool* stopped);
  int getAlarm(std::uint16_t* words);  // two words
  int getReady(int* ready);
  int getCmdIndex(std::uint32_t* index);
  int getCmdAllDone(bool* done);

  // One semop on semaphore 0 (SEM_UNDO): 1 on success, -1 on failure. P
  // never waits: a semaphore held by the driver fails it at once.
  int sem_p();
  int sem_v();

  // The online flag as the cycle sees it.
  bool driverOnline() const { return online_.online(); }
  // Tries of the status semaphore that found it held and kept the last status.
  std::uint32_t statusMisses() const { return misses_; }
  // The status memory is attached.
  bool attached() const { return shm_ != nullptr; }

 private:
  enum class Lock { kTaken, kBusy, kFailed };

  exterAxisRTU();

  void attach();
  Lock tryLock();
  // Counts a read that found the semaphore held; the first of a run logs.
  void noteBusy();
  int sendNew(long type, std::int32_t cmd, ExterAxisValue value, std::uint32_t* index);
  int sendCurrent(long type, std::int32_t cmd, std::int32_t value, std::uint32_t* index);
  int send(long type, std::int32_t cmd, ExterAxisValue value, std::uint32_t index);
  // The status of this cycle in status_: on the cycle's first call the block
  // is copied under the semaphore, or the last copy kept while the driver
  // holds it; later calls of the same cycle read that copy. False when the
  // memory is absent.
  bool readStatus();

  DriverOnlineWatch online_{kOnlineMarker};
  std::uint32_t misses_ = 0;
  bool missing_ = false;  // in a run of busy reads
  int msqId_ = -1;
  int shmId_ = -1;
  int semId_ = -1;
  ExterAxisCmdMsg msg_{};
  ExterAxisStatus status_{};
  // Cycle (gSystick) of the last status read; statusRead_ once there was one.
  std::uint32_t statusCycle_ = 0;
  bool statusRead_ = false;
  // Cycle of the last try that found the semaphore held, and the cycles to
  // wait from it before the next try (0: try every cycle).
  std::uint32_t busyTry_ = 0;
  std::uint32_t busyGap_ = 0;
  void* shm_ = nullptr;
  std::uint32_t counter_ = 0;
  // Index the driver reports at reachedIndex once the last numbered message is
  // done; no wait before the first one.
  bool awaitingDone_ = false;
  std::uint32_t doneIndex_ = 0;
};

// Builds the link now, at the kernel's set-up, so that no command handler
// creates its IPC objects inside the cycle: 0, or -1 when the status memory
// could not be had.
int Init();

int setEnable(bool on, std::uint32_t* index);
int setJog(int value, std::uint32_t* index);
int setInch(float step, std::uint32_t* index);
int setPause(int value, std::uint32_t* index);
int setContinue(int value, std::uint32_t* index);
int setStop(int value, std::uint32_t* index);
int setEStop(int value, std::uint32_t* index);
int setPosition(float position, std::uint32_t* index);
int setZeroPos(std::uint32_t* index);
int setReload(std::uint32_t* index);
int setRate(float rate, std::uint32_t* index);
int setSpeed(float speed, std::uint32_t* index);
int setAccel(float accel, std::uint32_t* index);
int clearAlarm(std::uint32_t* index);

int getPosition(float* position);
int getStopState(bool* stopped);
int getAlarm(std::uint16_t* words);
int getReady(int* ready);
int getCmdIndex(std::uint32_t* index);
int getCmdAllDone(bool* done);

}  // namespace ExterAxisRTU
