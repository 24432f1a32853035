#include "tramlet/tramlet.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "tramlet/limit_state.h"
#include "tramlet/queue_read.h"

using namespace std::chrono_literals;
using namespace tramlet_detail;

namespace {

// Looks an IPC object up every second until it exists.
template <typename Get>
int waitFor(Get get) {
  for (;;) {
    const int id = get();
    if (id >= 0) return id;
    sleep(1);
  }
}

}  // namespace

tramlet::tramlet(const char* devicePath, key_t key) {
  std::printf("RTU devise path:%s\n", devicePath);
  std::snprintf(devicePath_, sizeof devicePath_, "%s", devicePath);
  std::printf("RTU devise path:%s\n", devicePath_);
  drive_ = std::make_unique<SlideDrive>(devicePath);
  msqId_ = waitFor([key] { return msgget(key, 0); });
  shmId_ = waitFor([key] { return shmget(key, ExterAxisRTU::kStatusMemorySize, 0); });
  semId_ = waitFor([key] { return semget(key, 1, 0); });
}

tramlet::~tramlet() {
  if (statusMemory_ != nullptr) shmdt(statusMemory_);
}

int tramlet::sem_p(int semId) {
  sembuf op{0, -1, SEM_UNDO};
  return semop(semId, &op, 1) == 0 ? 1 : -1;
}

int tramlet::sem_v(int semId) {
  sembuf op{0, 1, SEM_UNDO};
  return semop(semId, &op, 1) == 0 ? 1 : -1;
}

void tramlet::start() {
  running_ = 1;

  std::uint16_t version = 0;
  drive_->readInputs(in::kVersion, 1, &version);
  std::printf("version:%d.%d.%d.%d\n", (version >> 12) & 0xF, (version >> 8) & 0xF, (version >> 4) & 0xF,
              version & 0xF);

  if (paramInit() < 0) {
    running_ = 0;
    removeMarker();
    drive_->close();
    return;
  }

  switchOn();

  void* memory = shmat(shmId_, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    std::printf("shmat: %s\n", std::strerror(errno));
  } else {
    statusMemory_ = memory;
  }

  // The workers end with the process; none is ever joined.
  cmdWorker_ = std::thread([this] { taskCmd(); });
  cmdWorker_.detach();
  statusWorker_ = std::thread([this] { taskStatus(); });
  statusWorker_.detach();

  watchDevice();
  endAfterDeviceLoss();
}

void tramlet::switchOn() {
  drive_->writeControlWord(6);
  drive_->writeRegister(reg::kOperationMode, kModeProfilePosition);
  std::this_thread::sleep_for(100ms);
  drive_->writeControlWord(7);
  std::this_thread::sleep_for(100ms);
}

void tramlet::watchDevice() {
  while (access(devicePath_, F_OK) == 0) std::this_thread::sleep_for(100ms);
}

void tramlet::endAfterDeviceLoss() {
  running_ = 0;
  // The failure is published at once: from the record when the workers let
  // go of it soon, else over the last published block.
  bool locked = linkLock_.try_lock_for(200ms);
  if (locked) {
    statusRecord_.alarmFlags |= kFlagCommFailure;
    publish(statusRecord_, true);
  } else if (statusMemory_ != nullptr) {
    sem_p(semId_);
    published_.alarmFlags |= kFlagCommFailure;
    std::memcpy(statusMemory_, &published_, sizeof published_);
    sem_v(semId_);
  }
  removeMarker();
  drainQueue();
  std::printf("[%s]is not exist\n", devicePath_);
  // The workers are not waited for: the process ends here. The link is closed
  // only while no worker can be inside a transfer; a worker stuck in a run of
  // time-outs on the vanished device leaves it to the system.
  if (!locked) locked = linkLock_.try_lock_for(1800ms);
  if (locked) drive_->close();
  std::fflush(stdout);
  _exit(0);
}

void tramlet::publish(const ExterAxisRTU::ExterAxisStatus& s, bool final) {
  if (statusMemory_ == nullptr) return;
  sem_p(semId_);
  if (final || running_ != 0) {
    std::memcpy(statusMemory_, &s, sizeof s);
    published_ = s;
  }
  sem_v(semId_);
}

void tramlet::removeMarker() {
  if (std::remove(ExterAxisRTU::kOnlineMarker) != 0) {
    std::printf("remove /tmp/slidesOnline: %s\n", std::strerror(errno));
  }
}

void tramlet::drainQueue() {
  ExterAxisRTU::ExterAxisCmdMsg msg{};
  while (readQueueMessage(msqId_, msg, 0, IPC_NOWAIT) != QueueRead::kFailed) {
  }
}
