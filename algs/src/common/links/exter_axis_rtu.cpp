#include "common/links/exter_axis_rtu.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/kernel/core_interface.h"
#include "common/kernel/motion_state.h"

namespace ExterAxisRTU {

namespace {

constexpr int kPermissions = 0666;
constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

union semun {
  int val;
  semid_ds* buf;
  unsigned short* array;
};

// At set-up only (off the cycle): how long to wait for a driver that holds
// the semaphore before its status is read anyway.
constexpr timespec kSetUpLockWait{0, 200 * 1000 * 1000};

void report(std::uint32_t* index, std::uint32_t value) {
  if (index != nullptr) *index = value;
}

// Creates the object exclusively; when a previous run left it behind, opens
// that one instead so the link keeps working with a driver that still waits on
// it. `created` tells which of the two happened.
template <typename Get>
int createOrOpen(Get get, const char* what, bool& created) {
  created = false;
  int id = get(IPC_CREAT | IPC_EXCL | kPermissions);
  if (id >= 0) {
    created = true;
    return id;
  }
  if (errno == EEXIST) id = get(kPermissions);
  if (id < 0) std::printf("[ExterAxisRTU] %s: %s\n", what, std::strerror(errno));
  return id;
}

}  // namespace

exterAxisRTU& exterAxisRTU::instance() {
  static exterAxisRTU link;
  return link;
}

exterAxisRTU::exterAxisRTU() { attach(); }

exterAxisRTU::~exterAxisRTU() {
  if (shm_ != nullptr) shmdt(shm_);
}

void exterAxisRTU::attach() {
  const key_t key = ftok(kKeyPath, kKeyId);
  if (key == -1) {
    std::printf("[ExterAxisRTU] ftok(%s, %d): %s\n", kKeyPath, kKeyId, std::strerror(errno));
    return;
  }
  bool msqCreated = false;
  msqId_ = createOrOpen([key](int flags) { return msgget(key, flags); }, "msgget", msqCreated);
  bool shmCreated = false;
  shmId_ = createOrOpen([key](int flags) { return shmget(key, kStatusMemorySize, flags); }, "shmget",
                        shmCreated);
  bool semCreated = false;
  semId_ = createOrOpen([key](int flags) { return semget(key, 1, flags); }, "semget", semCreated);
  // Only the creator initialises the semaphore: resetting a live driver's set
  // could release a lock it holds.
  if (semCreated) {
    semun arg{};
    arg.val = 1;
    if (semctl(semId_, 0, SETVAL, arg) == -1) {
      std::printf("[ExterAxisRTU] semctl SETVAL: %s\n", std::strerror(errno));
    }
  }
  if (shmId_ >= 0) {
    void* address = shmat(shmId_, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
      std::printf("[ExterAxisRTU] shmat: %s\n", std::strerror(errno));
    } else {
      shm_ = address;
    }
  }
  // A driver that already runs has handled indexes of an earlier link; new
  // indexes must lie above them or its completion report would look current.
  if (!shmCreated && shm_ != nullptr) {
    sembuf op{0, -1, SEM_UNDO};
    const bool locked = semtimedop(semId_, &op, 1, &kSetUpLockWait) == 0;
    std::memcpy(&status_, shm_, sizeof(status_));
    if (locked) sem_v();
    counter_ = std::max(status_.cmdIndex, status_.reachedIndex);
  }
}

exterAxisRTU::Lock exterAxisRTU::tryLock() {
  sembuf op{0, -1, SEM_UNDO | IPC_NOWAIT};
  if (semop(semId_, &op, 1) == 0) return Lock::kTaken;
  return errno == EAGAIN ? Lock::kBusy : Lock::kFailed;
}

int exterAxisRTU::sem_p() { return tryLock() == Lock::kTaken ? 1 : -1; }

int exterAxisRTU::sem_v() {
  sembuf op{0, 1, SEM_UNDO};
  return semop(semId_, &op, 1) == 0 ? 1 : -1;
}

void exterAxisRTU::noteBusy() {
  ++misses_;
  if (missing_) return;
  missing_ = true;
  KernelLog("[ExterAxisRTU] status semaphore held by the driver: last status used (%u misses)\r\n",
            static_cast<unsigned>(misses_));
}

bool exterAxisRTU::readStatus() {
  if (shm_ == nullptr) return false;
  const std::uint32_t cycle = gSystick;
  if (statusRead_ && statusCycle_ == cycle) return true;
  statusRead_ = true;
  statusCycle_ = cycle;
  if (busyGap_ != 0 && cycle - busyTry_ < busyGap_) return true;
  switch (tryLock()) {
    case Lock::kTaken:
      std::memcpy(&status_, shm_, sizeof(status_));
      sem_v();
      missing_ = false;
      busyGap_ = 0;
      break;
    case Lock::kBusy:
      busyTry_ = cycle;
      busyGap_ = busyGap_ == 0 ? 1 : std::min(2 * busyGap_, kMaxBusyGapCycles);
      noteBusy();
      break;
    case Lock::kFailed:
      // A semaphore that cannot be used guards nothing: the copy is taken anyway.
      std::memcpy(&status_, shm_, sizeof(status_));
      break;
  }
  return true;
}

int exterAxisRTU::send(long type, std::int32_t cmd, ExterAxisValue value, std::uint32_t index) {
  msg_.mtype = type;
  msg_.body.cmd = cmd;
  msg_.body.value = value;
  msg_.body.index = index;
  return msgsnd(msqId_, &msg_, kCmdBodySize, IPC_NOWAIT);
}

int exterAxisRTU::sendNew(long type, std::int32_t cmd, ExterAxisValue value, std::uint32_t* index) {
  if (!driverOnline()) {
    report(index, kNoIndex);
    return -1;
  }
  ++counter_;
  report(index, counter_);
  const int rc = send(type, cmd, value, counter_);
  // A message that never reached the queue is never finished; waiting for it
  // would never end.
  if (rc == 0) {
    awaitingDone_ = true;
    doneIndex_ = counter_ + 1;
  }
  return rc;
}

int exterAxisRTU::sendCurrent(long type, std::int32_t cmd, std::int32_t value, std::uint32_t* index) {
  if (!driverOnline()) {
    report(index, kNoIndex);
    return -1;
  }
  report(index, counter_);
  return send(type, cmd, ExterAxisValue{.i = value}, counter_);
}

int exterAxisRTU::setEnable(bool on, std::uint32_t* index) {
  return sendNew(kMsgSetting, kCmdEnable, ExterAxisValue{.i = on ? 1 : 0}, index);
}

int exterAxisRTU::setJog(int value, std::uint32_t* index) {
  return sendNew(kMsgMotion, kCmdJog, ExterAxisValue{.i = value}, index);
}

int exterAxisRTU::setInch(float step, std::uint32_t* index) {
  ExterAxisValue value;
  value.f = step;
  return sendNew(kMsgMotion, kCmdInch, value, index);
}

int exterAxisRTU::setPause(int value, std::uint32_t* index) {
  return sendCurrent(kMsgImmediate, kCmdPause, value, index);
}

int exterAxisRTU::setContinue(int value, std::uint32_t* index) {
  return sendCurrent(kMsgImmediate, kCmdContinue, value, index);
}

int exterAxisRTU::setStop(int value, std::uint32_t* index) {
  return sendCurrent(kMsgImmediate, kCmdStop, value, index);
}

int exterAxisRTU::setEStop(int value, std::uint32_t* index) {
  return sendCurrent(kMsgImmediate, kCmdEStop, value, index);
}

// The driver reports a finished move as its index + 1, so a move takes two
// indexes and the caller gets the one that means "arrived".
int exterAxisRTU::setPosition(float position, std::uint32_t* index) {
  if (!driverOnline()) {
    report(index, kNoIndex);
    return -1;
  }
  const std::uint32_t moveIndex = counter_ + 1;
  counter_ += 2;
  report(index, counter_);
  ExterAxisValue value;
  value.f = position;
  const int rc = send(kMsgMotion, kCmdPosition, value, moveIndex);
  if (rc == 0) {
    awaitingDone_ = true;
    doneIndex_ = moveIndex + 1;
  }
  return rc;
}

int exterAxisRTU::setZeroPos(std::uint32_t* index) {
  return sendNew(kMsgSetting, kCmdZeroPos, ExterAxisValue{.i = 0}, index);
}

int exterAxisRTU::setReload(std::uint32_t* index) {
  return sendNew(kMsgSetting, kCmdReload, ExterAxisValue{.i = 0}, index);
}

int exterAxisRTU::setRate(float rate, std::uint32_t* index) {
  ExterAxisValue value;
  value.f = rate;
  return sendNew(kMsgSetting, kCmdRate, value, index);
}

int exterAxisRTU::setSpeed(float speed, std::uint32_t* index) {
  ExterAxisValue value;
  value.f = speed;
  return sendNew(kMsgSetting, kCmdSpeed, value, index);
}

int exterAxisRTU::setAccel(float accel, std::uint32_t* index) {
  ExterAxisValue value;
  value.f = accel;
  return sendNew(kMsgSetting, kCmdAccel, value, index);
}

// Offline, a stale alarm of an absent driver is cleared in place.
int exterAxisRTU::clearAlarm(std::uint32_t* index) {
  if (driverOnline()) return sendNew(kMsgSetting, kCmdClearAlarm, ExterAxisValue{.i = 0}, index);
  report(index, kNoIndex);
  if (shm_ == nullptr) return -1;
  const Lock lock = tryLock();
  // Writing beside a holder could tear its status; this clear is dropped.
  if (lock == Lock::kBusy) {
    noteBusy();
    return -1;
  }
  std::memcpy(&status_, shm_, sizeof(status_));
  status_.alarmCode = 0;
  status_.alarmFlags = 0;
  std::memcpy(shm_, &status_, sizeof(status_));
  if (lock == Lock::kTaken) {
    sem_v();
    missing_ = false;
    busyGap_ = 0;
  }
  return -1;
}

int exterAxisRTU::getPosition(float* position) {
  if (!driverOnline() || !readStatus()) {
    *position = 0.0f;
    return -1;
  }
  *position = status_.position;
  return 0;
}

int exterAxisRTU::getStopState(bool* stopped) {
  if (!driverOnline() || !readStatus()) {
    *stopped = false;
    return -1;
  }
  *stopped = status_.stopState != 0;
  return 0;
}

int exterAxisRTU::getAlarm(std::uint16_t* words) {
  const bool online = driverOnline();
  if (!readStatus()) {
    words[0] = 0;
    words[1] = 0;
    return -1;
  }
  words[0] = status_.alarmCode;
  words[1] = status_.alarmFlags;
  return online ? 0 : -1;
}

int exterAxisRTU::getReady(int* ready) {
  if (!driverOnline() || !readStatus()) {
    *ready = 0;
    return -1;
  }
  *ready = (status_.statusWord & kStateReady) != 0 ? 1 : 0;
  return 0;
}

int exterAxisRTU::getCmdIndex(std::uint32_t* index) {
  if (!driverOnline() || !readStatus()) {
    *index = 0;
    return -1;
  }
  *index = status_.cmdIndex;
  return 0;
}

int exterAxisRTU::getCmdAllDone(bool* done) {
  if (!driverOnline() || !readStatus()) {
    *done = true;
    return -1;
  }
  *done = !awaitingDone_ || status_.reachedIndex >= doneIndex_;
  return 0;
}

int Init() { return exterAxisRTU::instance().attached() ? 0 : -1; }

int setEnable(bool on, std::uint32_t* index) { return exterAxisRTU::instance().setEnable(on, index); }
int setJog(int value, std::uint32_t* index) { return exterAxisRTU::instance().setJog(value, index); }
int setInch(float step, std::uint32_t* index) { return exterAxisRTU::instance().setInch(step, index); }
int setPause(int value, std::uint32_t* index) { return exterAxisRTU::instance().setPause(value, index); }
int setContinue(int value, std::uint32_t* index) {
  return exterAxisRTU::instance().setContinue(value, index);
}
int setStop(int value, std::uint32_t* index) { return exterAxisRTU::instance().setStop(value, index); }
int setEStop(int value, std::uint32_t* index) { return exterAxisRTU::instance().setEStop(value, index); }
int setPosition(float position, std::uint32_t* index) {
  return exterAxisRTU::instance().setPosition(position, index);
}
int setZeroPos(std::uint32_t* index) { return exterAxisRTU::instance().setZeroPos(index); }
int setReload(std::uint32_t* index) { return exterAxisRTU::instance().setReload(index); }
int setRate(float rate, std::uint32_t* index) { return exterAxisRTU::instance().setRate(rate, index); }
int setSpeed(float speed, std::uint32_t* index) { return exterAxisRTU::instance().setSpeed(speed, index); }
int setAccel(float accel, std::uint32_t* index) { return exterAxisRTU::instance().setAccel(accel, index); }
int clearAlarm(std::uint32_t* index) { return exterAxisRTU::instance().clearAlarm(index); }

int getPosition(float* position) { return exterAxisRTU::instance().getPosition(position); }
int getStopState(bool* stopped) { return exterAxisRTU::instance().getStopState(stopped); }
int getAlarm(std::uint16_t* words) { return exterAxisRTU::instance().getAlarm(words); }
int getReady(int* ready) { return exterAxisRTU::instance().getReady(ready); }
int getCmdIndex(std::uint32_t* index) { return exterAxisRTU::instance().getCmdIndex(index); }
int getCmdAllDone(bool* done) { return exterAxisRTU::instance().getCmdAllDone(done); }

}  // namespace ExterAxisRTU
