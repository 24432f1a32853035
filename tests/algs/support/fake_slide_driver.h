#pragma once

// Test stand-in for the slide-rail driver's end of the link: it opens the
// queue, the status memory and the semaphore the way the driver does
// (without creating them), takes the 12-byte command messages and writes the
// 24-byte status block under the semaphore.

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "common/links/exter_axis_msg.h"

namespace zelor::test {

class FakeSlideDriver {
 public:
  FakeSlideDriver() {
    const key_t key = ftok(ExterAxisRTU::kKeyPath, ExterAxisRTU::kKeyId);
    msqId_ = msgget(key, 0);
    shmId_ = shmget(key, ExterAxisRTU::kStatusMemorySize, 0);
    semId_ = semget(key, 1, 0);
    if (shmId_ >= 0) {
      void* address = shmat(shmId_, nullptr, 0);
      if (address != reinterpret_cast<void*>(-1)) shm_ = static_cast<unsigned char*>(address);
    }
  }
  ~FakeSlideDriver() {
    if (shm_ != nullptr) shmdt(shm_);
  }
  FakeSlideDriver(const FakeSlideDriver&) = delete;
  FakeSlideDriver& operator=(const FakeSlideDriver&) = delete;

  bool opened() const { return msqId_ >= 0 && semId_ >= 0 && shm_ != nullptr; }
  int semaphoreId() const { return semId_; }

  // The next waiting message, without waiting.
  std::optional<ExterAxisRTU::ExterAxisCmdMsg> receive() {
    ExterAxisRTU::ExterAxisCmdMsg msg{};
    const ssize_t n = msgrcv(msqId_, &msg, ExterAxisRTU::kCmdBodySize, 0, IPC_NOWAIT);
    if (n != static_cast<ssize_t>(ExterAxisRTU::kCmdBodySize)) return std::nullopt;
    return msg;
  }

  std::size_t pending() {
    msqid_ds info{};
    if (msgctl(msqId_, IPC_STAT, &info) != 0) return 0;
    return info.msg_qnum;
  }

  void writeStatus(const ExterAxisRTU::ExterAxisStatus& status) {
    lock(-1);
    std::memcpy(shm_, &status, sizeof(status));
    lock(+1);
  }

  // Raw bytes of the status block (the whole 24).
  void readBytes(unsigned char (&bytes)[sizeof(ExterAxisRTU::ExterAxisStatus)]) {
    lock(-1);
    std::memcpy(bytes, shm_, sizeof(bytes));
    lock(+1);
  }

  void writeBytes(const unsigned char (&bytes)[sizeof(ExterAxisRTU::ExterAxisStatus)]) {
    lock(-1);
    std::memcpy(shm_, bytes, sizeof(bytes));
    lock(+1);
  }

  static void setOnline(bool online) {
    if (online) {
      if (FILE* f = std::fopen(ExterAxisRTU::kOnlineMarker, "w")) std::fclose(f);
    } else {
      unlink(ExterAxisRTU::kOnlineMarker);
    }
  }

 private:
  void lock(short delta) {
    sembuf op{0, delta, SEM_UNDO};
    semop(semId_, &op, 1);
  }

  int msqId_ = -1;
  int shmId_ = -1;
  int semId_ = -1;
  unsigned char* shm_ = nullptr;
};

}  // namespace zelor::test
