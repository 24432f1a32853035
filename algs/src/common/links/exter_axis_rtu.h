#pragma once

// The motion kernel's link to the slide-rail driver: commands go out on a
// System V message queue, the axis status comes back through a shared memory
// guarded by one semaphore. Every operation exists as a member of the
// singleton and as a free function of the same name that the command handlers
// call. Setters return the send result (0 sent, -1 not sent or driver
// offline) and hand back the command index; getters return 0, or -1 with the
// offline values while the driver is offline.

#include <cstdint>

#include "common/links/exter_axis_msg.h"

namespace ExterAxisRTU {

class exterAxisRTU {
 public:
  // Built on first use; never removes the IPC objects (the driver waits for them).
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

  // One semop on semaphore 0 (SEM_UNDO): 1 on success, -1 on failure.
  int sem_p();
  int sem_v();

 private:
  exterAxisRTU();

  void attach();
  int sendNew(long type, std::int32_t cmd, ExterAxisValue value, std::uint32_t* index);
  int sendCurrent(long type, std::int32_t cmd, std::int32_t value, std::uint32_t* index);
  int send(long type, std::int32_t cmd, ExterAxisValue value, std::uint32_t index);
  // Copies the status block into status_ under the semaphore; false when the
  // memory is absent.
  bool readStatus();

  int msqId_ = -1;
  int shmId_ = -1;
  int semId_ = -1;
  ExterAxisCmdMsg msg_{};
  ExterAxisStatus status_{};
  void* shm_ = nullptr;
  std::uint32_t counter_ = 0;
  // Index the driver reports at reachedIndex once the last numbered message is
  // done; no wait before the first one.
  bool awaitingDone_ = false;
  std::uint32_t doneIndex_ = 0;
};

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
